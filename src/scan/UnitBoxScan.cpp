#include "scan/UnitBoxScan.h"

#include "db/DbError.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/BoxWriteOff.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/TextCodec.h"
#include "validation/TdmProducaoValidacao.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace vek {

namespace sql {
const char* const kBloqCxUnit = "select DTBAIXA_CX from CODCXUNIT\n"
                                "where CODIGO_CX = :COD\n"
                                "for update with lock";
} // namespace sql

namespace {

std::optional<DateTime> optionalTime(const db::Value& v) {
    if (v.isNull()) {
        return std::nullopt;
    }
    return v.asDateTime();
}

} // namespace

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

UnitBoxScan::UnitBoxScan(StationContext& ctx, ProductionMonitor& monitor, ProductPictures& pictures)
    : m_ctx(ctx), m_monitor(monitor), m_pictures(pictures), m_sector(ctx), m_stock(ctx), m_dashboard(ctx),
      m_subTicket(ctx, monitor, m_stock), sqlBloqCxUnit(ctx.sqlCon, "sqlBloqCxUnit") {
    sqlBloqCxUnit.setSql(sql::kBloqCxUnit);
}

void UnitBoxScan::ProcessScan(const std::string& text) {
    OperatorDisplay& display = m_ctx.display;
    if (isSubTicketCode(text)) {
        m_subTicket.ProcessSubTicket(text);
        return;
    }
    const auto number = parseScanCode(text, currentFormatSettings().decimalSeparator);
    if (!number) {
        display.ShowErrorMessage(cp1252("Código Inválido."));
        display.ClearScanField();
        return;
    }
    display.ClearScanField();

    // A number that is no box code cannot match a box, whatever type the installation's column has.
    db::Query& box = m_ctx.sqlCodCxUn;
    box.close();
    const auto code = boxCodeOf(*number);
    if (code) {
        box.param("COD").setInt(*code);
        box.open();
    }
    if (!code || box.eof()) {
        display.ClearBoxFields();
        display.ShowErrorMessage(cp1252("Código não localizado."));
        return;
    }
    const DateTime serverTime = m_ctx.ReadServerTime();
    const std::string prod = box.field("PROD_CX").asString();
    const std::string padron = box.field("PADRON_CX").asString();
    const std::string prog = box.field("PROG_CX").asString();
    const std::string ficha = box.field("FICHA_CX").asString();
    display.ShowBoxFields(
        {prod, padron + " " + box.field("DESC_PA").asString(), box.field("TAM_CX").asString(), prog, ficha});
    display.ShowTicketCount({});

    const BoxDates dates{optionalTime(box.field("DTEMISSAO_CX")), optionalTime(box.field("DATA_CANC_CX")),
                         optionalTime(box.field("DTBAIXA_CX"))};
    if (auto refusal = boxRefusal(dates, serverTime, m_ctx.params.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, *code)) {
        display.ShowErrorMessage(*refusal);
        return;
    }

    if (m_ctx.settings.showPictures() && m_ctx.ImagesOn) {
        const std::string picture = m_pictures.LookupThumbnail(prod, padron);
        if (!picture.empty()) {
            m_ctx.cdsImgProd = picture;
            display.ShowProductPicture(m_ctx.cdsImgProd);
        }
    }

    try {
        if (m_ctx.settings.sectorMode()) {
            int id = 0;
            if (!RecordInSector(*code, prog, ficha, id)) {
                return;
            }
            m_dashboard.NotifyDashboard(id);
        } else {
            if (!WriteOffBox(m_ctx, *code)) {
                showWrittenOffMeanwhile(*code);
                return;
            }
            m_sector.RecordTicketCompletion(prog, ficha, "0000", prod);
        }
        if (m_ctx.params.ATUALIZAR_ESTOQUE) {
            m_stock.PostStockMovement(*code, serverTime);
        } else {
            m_stock.PostProductionStockEntry(*code);
        }
    } catch (const std::exception& e) {
        display.ShowErrorBox("Erro ao atualizar a Etiqueta \"" + text + "\".\r" + e.what());
        throw;
    }

    m_monitor.AddHourlyWriteOff(serverTime);
    ++m_ctx.DayCount;
    ++m_ctx.MonthCount;
    m_monitor.ShowCounters();
    display.ShowTicketCount(m_ctx.ticketCountText());
    display.ShowSuccessMessage("Etiqueta Atualizada.");
}

void UnitBoxScan::showWrittenOffMeanwhile(std::int32_t code) {
    // Another station wrote the box off between our look-up and our write-off: tell it as if it had
    // been written off before the scan, with that station's time.
    db::Query& box = m_ctx.sqlCodCxUn;
    box.close();
    box.param("COD").setInt(code);
    box.open();
    m_ctx.display.ShowErrorMessage(writtenOffMessage(code, box.field("DTBAIXA_CX").asDateTime()));
}

bool UnitBoxScan::RecordInSector(std::int32_t code, const std::string& prog, const std::string& ficha, int& id) {
    // The box's row is locked first, so two stations recording the same box wait for each other; the
    // write-off and the box's two sector rows are then one unit of work, never left half recorded.
    db::Connection& con = m_ctx.sqlCon;
    const bool own = !con.inTransaction();
    db::ConflictRetry retry(con, kLockAttempts);
    for (;;) {
        if (own) con.startTransaction();
        try {
            sqlBloqCxUnit.param("COD").setInt(code);
            sqlBloqCxUnit.open();
            const bool writtenOff = !sqlBloqCxUnit.field("DTBAIXA_CX").isNull();
            sqlBloqCxUnit.close();
            if (writtenOff) {
                if (own) con.rollback();
                showWrittenOffMeanwhile(code);
                return false;
            }
            // Validated inside the unit of work: a station that waited sees what the other recorded.
            m_ctx.OpenSectorData(m_ctx.settings.SETOR);
            std::string refusal;
            if (!ValidateUnitBoxInSector(code, refusal)) {
                m_sector.CountTicketBoxesInSector(prog, ficha, m_ctx.settings.SETOR);
                // The box's lock goes before the alarm: another station must not wait for our tones.
                if (own) con.rollback();
                m_ctx.display.ShowErrorMessage(refusal);
                m_ctx.display.ShowTicketCount(m_ctx.ticketCountText());
                return false;
            }
            if (m_ctx.settings.ULTIMO_SETOR_ATU_CXUNIT == m_ctx.settings.SETOR && !WriteOffBox(m_ctx, code)) {
                if (own) con.rollback();
                showWrittenOffMeanwhile(code);
                return false;
            }
            id = m_sector.RecordUnitBoxSectorUpdate(prog, ficha, "0000", code);
            if (own) con.commit();
            return true;
        } catch (const db::DbError& e) {
            if (own && con.inTransaction()) con.rollback();
            if (own && retry.again(e.isUpdateConflict())) {
                continue;
            }
            throw;
        } catch (...) {
            if (own && con.inTransaction()) con.rollback();
            throw;
        }
    }
}

bool UnitBoxScan::ValidateUnitBoxInSector(std::int32_t code, std::string& refusal) {
    const db::Query& box = m_ctx.sqlCodCxUn;
    const validation::TDadosValidacao dados(box.field("PROD_CX").asString(), m_ctx.settings.SETOR,
                                            box.field("PROG_CX").asString(), box.field("FICHA_CX").asString(), "0000",
                                            m_ctx.sqlDadosSetor.field("SETORANT_SE").asString(), "U", 0, m_ctx.sqlCon);
    const validation::TRetorno r =
        validation::TdmProducaoValidacao(dados).ValidarCxUnit(code, m_ctx.params.VALIDAR_SETOR_ANT_OBRIG);
    if (!r.Valido) {
        refusal = cp1252("Erro Atu.Produção.CxUnit Setor: ") + r.Mensagem;
        return false;
    }
    return true;
}

} // namespace vek
