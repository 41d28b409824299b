#include "scan/UnitBoxScan.h"

#include "db/DbError.h"
#include "db/UnitOfWork.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/BoxWriteOff.h"
#include "scan/OutcomeInDoubt.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/TextCodec.h"
#include "validation/TdmProducaoValidacao.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace vek {

bool isSubTicketCode(const std::string& code) {
    return code.size() == 15 && code[0] == '2';
}

std::optional<double> parseScanCode(const std::string& text, char decimalSeparator) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    if (b == e) {
        return std::nullopt;
    }
    // Rewrite into the C notation, rejecting anything a plain decimal number cannot hold.
    std::string c;
    std::size_t i = b;
    if (text[i] == '+' || text[i] == '-') c.push_back(text[i++]);
    bool digits = false, point = false;
    for (; i < e; ++i) {
        const char ch = text[i];
        if (ch >= '0' && ch <= '9') {
            c.push_back(ch);
            digits = true;
        } else if (ch == decimalSeparator && !point) {
            c.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits || i != e) {
        return std::nullopt;
    }
    // The text holds only digits, a sign and '.', so strtod's locale cannot differ.
    char* end = nullptr;
    const double v = std::strtod(c.c_str(), &end);
    if (end != c.c_str() + c.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<std::int32_t> boxCodeOf(double number) {
    if (!(number >= 1.0 && number <= static_cast<double>(std::numeric_limits<std::int32_t>::max())) ||
        std::trunc(number) != number) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

std::string writtenOffMessage(double code, const DateTime& writtenOff) {
    return cp1252("Código \"") + formatFloat("###,###,##0", code) + cp1252("\" já baixado em ") +
           formatDateTime("dd/MM/yyyy HH:mm", writtenOff);
}

std::optional<std::string> boxRefusal(const BoxDates& box, const DateTime& serverTime, int maxAgeDays, double code) {
    // A box without an emission date counts as older than any limit.
    const bool tooOld = !box.emission || static_cast<double>(maxAgeDays) < serverTime.daysSince(*box.emission);
    if (tooOld) {
        const std::string emission = box.emission ? formatDateTime("dd/MM/YY", *box.emission)
                                                  : formatDateTime("dd/MM/YY", DateTime::fromSerial(0));
        return cp1252("Código com data Emissão ") + emission + " maior que " + formatFloat("#,###", maxAgeDays) +
               " dias.";
    }
    if (box.cancelled) {
        return cp1252("Código CANCELADO em ") + formatDateTime("dd/MM HH:mm", *box.cancelled);
    }
    if (box.writtenOff) {
        return writtenOffMessage(code, *box.writtenOff);
    }
    return std::nullopt;
}

UnitBoxScan::UnitBoxScan(StationContext& ctx, ProductionMonitor& monitor, ProductPictures& pictures,
                         StationModules& modules)
    : m_ctx(ctx), m_monitor(monitor), m_pictures(pictures), m_sector(ctx, monitor, modules),
      m_stock(ctx, monitor, modules), m_dashboard(ctx.params), m_subTicket(ctx, monitor, m_stock),
      sqlBloqCxUnit(ctx.sqlCon, "sqlBloqCxUnit") {
    sqlBloqCxUnit.setSql(sql::kBloqCxUnit);
    sqlBloqCxUnit.setSingleRow(true);
}

ScanOutcome UnitBoxScan::ProcessScan(const std::string& text, const std::optional<DateTime>& keptAt) {
    OperatorDisplay& display = m_ctx.display;
    if (isSubTicketCode(text)) {
        return m_subTicket.ProcessSubTicket(text, keptAt);
    }
    const auto number = parseScanCode(text, currentFormatSettings().decimalSeparator);
    if (!number) {
        ScanOutcome refused = refuse(display, cp1252("Código Inválido."));
        display.ClearScanField();
        return refused;
    }
    display.ClearScanField();

    // A number that is no box code cannot match a box, whatever type the installation's column has.
    const auto code = boxCodeOf(*number);
    const std::optional<BoxRow> found = code ? ReadBox(*code) : std::nullopt;
    if (!found) {
        display.ClearBoxFields();
        return refuse(display, cp1252("Código não localizado."));
    }
    const BoxRow& box = *found;
    // A kept scan settled later is checked and written off at the time it was made.
    const bool settling = keptAt.has_value();
    const DateTime serverTime = settling         ? *keptAt
                                : box.serverTime ? m_monitor.NoteServerTime(*box.serverTime)
                                                 : m_monitor.ReadServerTime();
    display.ShowBoxFields(
        {box.product, box.pattern + " " + box.patternDescription, box.size, box.programme, box.ticket});
    display.ShowTicketCount({});

    if (auto refusal = boxRefusal({box.emission, box.cancelled, box.writtenOff}, serverTime,
                                  m_ctx.params.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, *code)) {
        return refuse(display, *refusal);
    }

    if (m_ctx.settings.showPictures() && m_ctx.ImagesOn && !settling) {
        showPicture(box);
    }

    try {
        if (m_ctx.settings.sectorMode()) {
            int id = 0;
            if (auto refusal = RecordInSector(box, serverTime, keptAt, id)) {
                return ScanOutcome::refused(*refusal);
            }
            m_dashboard.NotifyDashboard(id);
        } else if (auto refusal = WriteOffOnConveyor(box, serverTime, keptAt)) {
            return ScanOutcome::refused(*refusal);
        }
    } catch (const db::DbError& e) {
        if (e.isConnectionLost()) {
            // Told by the caller once the database has answered, or not.
            throw OutcomeInDoubt(e.what(), e.isNoAnswer());
        }
        display.ShowErrorBox("Erro ao atualizar a Etiqueta \"" + text + "\".\r" + e.what());
        throw;
    } catch (const std::exception& e) {
        display.ShowErrorBox("Erro ao atualizar a Etiqueta \"" + text + "\".\r" + e.what());
        throw;
    }

    if (settling) {
        m_monitor.CountSettledWriteOffs(serverTime, 1);
    } else {
        m_monitor.CountWriteOff(serverTime);
    }
    showBooked(display, m_monitor, m_monitor.ticketCountText(), "Etiqueta Atualizada.");
    return ScanOutcome::booked("Etiqueta Atualizada.", 1);
}

void UnitBoxScan::showPicture(const BoxRow& box) {
    // A catalogue that does not answer costs the scan its picture, never the scan itself.
    if (const std::optional<std::string> picture = m_pictures.TryLookupThumbnail(box.product, box.pattern)) {
        if (!picture->empty()) {
            m_pictures.cdsImgProd = *picture;
            m_ctx.display.ShowProductPicture(m_pictures.cdsImgProd);
        }
    } else {
        m_ctx.display.ShowPlaceholderPicture();
    }
}

std::optional<BoxRow> UnitBoxScan::ReadBox(std::int32_t code) {
    db::Query& q = m_ctx.sqlCodCxUn;
    q.close();
    q.param("COD").setInt(code);
    q.open();
    std::optional<BoxRow> row;
    if (!q.eof()) {
        row = BoxRow::of(q);
    }
    q.close();
    return row;
}

std::string UnitBoxScan::showWrittenOffMeanwhile(std::int32_t code) {
    // Another station wrote the box off between our look-up and our write-off: tell it as if it had
    // been written off before the scan, with that station's time.
    const std::optional<BoxRow> box = ReadBox(code);
    std::string message;
    if (box && box->writtenOff) {
        message = writtenOffMessage(code, *box->writtenOff);
    } else if (box && box->cancelled) {
        message = cp1252("Código CANCELADO em ") + formatDateTime("dd/MM HH:mm", *box->cancelled);
    } else {
        // Its write-off was taken back again meanwhile: there is no time to name, and this scan wrote nothing.
        message = cp1252("Código \"") + formatFloat("###,###,##0", code) + cp1252("\" já baixado");
    }
    m_ctx.display.ShowErrorMessage(message);
    return message;
}

void UnitBoxScan::postStock(const BoxRow& box, const DateTime& serverTime, const std::optional<DateTime>& keptAt) {
    if (m_ctx.params.ATUALIZAR_ESTOQUE) {
        m_stock.PostStockMovement(box, serverTime);
    } else {
        m_stock.PostProductionStockEntry(box.code, keptAt);
    }
}

std::optional<std::string> UnitBoxScan::WriteOffOnConveyor(const BoxRow& box, const DateTime& serverTime,
                                                           const std::optional<DateTime>& keptAt) {
    // The write-off, the ticket's completion and the stock rows are one unit of work: a scan that
    // fails leaves nothing of itself behind, and one that meets another station's commit runs again.
    std::optional<std::string> ticketRefusal;
    const bool done = db::runInTransaction(m_ctx.sqlCon, [&](db::Transaction& t) {
        ticketRefusal.reset();
        if (!WriteOffBox(m_ctx, box.code, keptAt)) {
            t.rollback();
            return false;
        }
        ticketRefusal = m_sector.RecordTicketCompletion(box.programme, box.ticket, "0000", box.product, keptAt);
        postStock(box, serverTime, keptAt);
        t.commit();
        return true;
    });
    if (!done) {
        return showWrittenOffMeanwhile(box.code);
    }
    if (ticketRefusal) {
        // The box stays written off; the ticket's refusal is told, and the scan goes on as a success.
        m_ctx.display.ShowErrorMessage(*ticketRefusal);
    }
    return std::nullopt;
}

std::optional<std::string> UnitBoxScan::RecordInSector(const BoxRow& box, const DateTime& serverTime,
                                                       const std::optional<DateTime>& keptAt, int& id) {
    // The box's row is locked first, so two stations recording the same box wait for each other; the
    // write-off, the box's two sector rows and its stock rows are then one unit of work, never left
    // half recorded.
    enum class Outcome { Recorded, WrittenOff, Refused };
    std::string refusal;
    const Outcome outcome = db::runInTransaction(m_ctx.sqlCon, [&](db::Transaction& t) {
        sqlBloqCxUnit.close();
        sqlBloqCxUnit.param("COD").setInt(box.code);
        sqlBloqCxUnit.open();
        const bool writtenOff = !sqlBloqCxUnit.eof() && !sqlBloqCxUnit.field("DTBAIXA_CX").isNull();
        sqlBloqCxUnit.close();
        if (writtenOff) {
            t.rollback();
            return Outcome::WrittenOff;
        }
        // Validated inside the unit of work: a station that waited sees what the other recorded.
        m_ctx.OpenSectorData(m_ctx.settings.SETOR);
        if (!ValidateUnitBoxInSector(box, refusal)) {
            m_sector.CountTicketBoxesInSector(box.programme, box.ticket, m_ctx.settings.SETOR);
            // The box's lock goes before the alarm: another station must not wait for our tones.
            t.rollback();
            return Outcome::Refused;
        }
        if (m_ctx.settings.ULTIMO_SETOR_ATU_CXUNIT == m_ctx.settings.SETOR && !WriteOffBox(m_ctx, box.code, keptAt)) {
            t.rollback();
            return Outcome::WrittenOff;
        }
        id = m_sector.RecordUnitBoxSectorUpdate(box.programme, box.ticket, "0000", box.code, keptAt);
        postStock(box, serverTime, keptAt);
        t.commit();
        return Outcome::Recorded;
    });
    switch (outcome) {
    case Outcome::Recorded:
        return std::nullopt;
    case Outcome::WrittenOff:
        return showWrittenOffMeanwhile(box.code);
    case Outcome::Refused:
        m_ctx.display.ShowErrorMessage(refusal);
        m_ctx.display.ShowTicketCount(m_monitor.ticketCountText());
        return refusal;
    }
    return refusal;
}

bool UnitBoxScan::ValidateUnitBoxInSector(const BoxRow& box, std::string& refusal) {
    const validation::TDadosValidacao dados(box.product, m_ctx.settings.SETOR, box.programme, box.ticket, "0000",
                                            m_ctx.sqlDadosSetor.field("SETORANT_SE").asString(), "U", 0, m_ctx.sqlCon);
    const validation::TRetorno r =
        validation::TdmProducaoValidacao(dados).ValidarCxUnit(box.code, m_ctx.params.VALIDAR_SETOR_ANT_OBRIG);
    if (!r.Valido) {
        refusal = cp1252("Erro Atu.Produção.CxUnit Setor: ") + r.Mensagem;
        return false;
    }
    return true;
}

} // namespace vek
