#include "scan/SubTicketScan.h"

#include "db/UnitOfWork.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/BoxRow.h"
#include "scan/BoxWriteOff.h"
#include "scan/OutcomeInDoubt.h"
#include "scan/StockMovement.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vek {

namespace {

// Each listed box written off as sqlQuilbar writes one off, in the list's order, until `QTDE` are:
// a box another station wrote off after we listed it is theirs, and the next is taken. One
// statement for all the boxes, so that a sub-ticket costs one exchange rather than one per box.
// The codes are decimal numbers separated by commas.
std::string subTicketWriteOff(bool kept) {
    return std::string("execute block (CODES varchar(32000) = :CODES, QTDE integer = :QTDE,\n"
                       "  ESTEIRA type of column CODCXUNIT.ESTEIRA_CX = :ESTEIRA,\n"
                       "  SETOR type of column CODCXUNIT.SETOR_CX = :SETOR,\n"
                       "  FUNCIONARIO type of column CODCXUNIT.FUNCIONARIO_CX = :FUNCIONARIO") +
           (kept ? ",\n  DTBAIXA timestamp = :DTBAIXA" : "") +
           ")\n"
           "returns (WRITTEN integer, LAST_CX integer)\n"
           "as\n"
           "declare P integer;\n"
           "declare C integer;\n"
           "begin\n"
           "  WRITTEN = 0;\n"
           "  while (CODES <> '' and WRITTEN < QTDE) do\n"
           "  begin\n"
           "    P = position(',' in CODES);\n"
           "    if (P = 0) then P = char_length(CODES) + 1;\n"
           "    C = cast(substring(CODES from 1 for P - 1) as integer);\n"
           "    CODES = substring(CODES from P + 1);\n"
           "    update CODCXUNIT\n" +
           (kept ? "    set DTBAIXA_CX=:DTBAIXA, " : "    set DTBAIXA_CX=cast('now' as timestamp), ") +
           "ESTEIRA_CX=:ESTEIRA, SETOR_CX = :SETOR, FUNCIONARIO_CX = :FUNCIONARIO\n"
           "    where CODIGO_CX=:C\n"
           "    and DTBAIXA_CX is null;\n"
           "    if (row_count = 1) then\n"
           "    begin\n"
           "      WRITTEN = WRITTEN + 1;\n"
           "      LAST_CX = C;\n"
           "    end\n"
           "  end\n"
           "  suspend;\n"
           "end";
}

// The sub-ticket's claim, and how many rows it marked (more than one only on duplicated rows).
std::string subTicketClaim(bool kept) {
    return std::string("execute block (PROG type of column SUBPROD.PROG_PR = :PROG,\n"
                       "  FICHA type of column SUBPROD.FICHA_PR = :FICHA,\n"
                       "  SUBFICHA type of column SUBPROD.SUBFICHA_PR = :SUBFICHA") +
           (kept ? ",\n  DTBAIXA timestamp = :DTBAIXA" : "") +
           ")\n"
           "returns (MARKED integer)\n"
           "as\n"
           "begin\n"
           "  update SUBPROD\n" +
           (kept ? "  set DTBAIXA_PR = :DTBAIXA\n" : "  set DTBAIXA_PR = cast('now' as timestamp)\n") +
           "  where PROG_PR=:PROG\n"
           "  and FICHA_PR=:FICHA\n"
           "  and SUBFICHA_PR=:SUBFICHA\n"
           "  and DTBAIXA_PR is null;\n"
           "  MARKED = row_count;\n"
           "  suspend;\n"
           "end";
}

// Codes per statement: their list stays within the longest text a parameter takes.
constexpr std::size_t kCodesPerWriteOff = 2500;

} // namespace

SubTicketCode SubTicketCode::of(const std::string& code) {
    return {code.substr(1, 6), code.substr(7, 4), code.substr(11, 4)};
}

SubTicketScan::SubTicketScan(StationContext& ctx, ProductionMonitor& monitor, StockMovement& stock)
    : m_ctx(ctx), m_monitor(monitor), m_stock(stock), sqlSubFicha(ctx.sqlCon, "sqlSubFicha"),
      sqlCodCxUnSubProd(ctx.sqlCon, "sqlCodCxUnSubProd"), sqlAtuSubFicha(ctx.sqlCon, "sqlAtuSubFicha"),
      sqlAtuSubFichaEm(ctx.sqlCon, "sqlAtuSubFichaEm"), sqlBaixaCxSubFicha(ctx.sqlCon, "sqlBaixaCxSubFicha"),
      sqlBaixaCxSubFichaEm(ctx.sqlCon, "sqlBaixaCxSubFichaEm") {
    sqlBaixaCxSubFicha.setSql(subTicketWriteOff(false));
    sqlBaixaCxSubFichaEm.setSql(subTicketWriteOff(true));
    sqlBaixaCxSubFicha.setSingleRow(true);
    sqlBaixaCxSubFichaEm.setSingleRow(true);
    // The server's clock read with it: the scan's time costs no exchange of its own.
    sqlSubFicha.setSql("select S.*, cast('NOW' as timestamp) as DATA_SERV from SUBPROD S\n"
                       "where PROG_PR=:PROG\n"
                       "and FICHA_PR=:FICHA\n"
                       "and SUBFICHA_PR=:SUBFICHA");
    sqlCodCxUnSubProd.setSql(
        "SELECT C.*, PR.GRUPO_PR,\n"
        "(SELECT DESC_PP FROM PADRONIZ_PRODUTO P WHERE C.PADRON_CX = P.PADRONIZ_PP AND C.PROD_CX = P.PROD_PP) AS "
        "DESC_PA,\n"
        "(SELECT M.COD_TA FROM TABELA M WHERE M.DESC_TA = C.MARCA_CX AND M.NUM_TA = '70') AS COD_MARCA,\n"
        "(select PV.TIPO_PV from PEDVENDA PV where PV.NUM_PV = C.PEDIDO_CX) TIPO_PEDIDO\n"
        "FROM CODCXUNIT C\n"
        "LEFT JOIN PRODUTO PR ON PR.COD_PR = C.PROD_CX\n"
        "WHERE PROG_CX = :PROG AND FICHA_CX = :FICHA AND TAM_CX = :TAM AND DTBAIXA_CX IS NULL");
    // The claim: a sub-ticket another station marked meanwhile is left alone. Its row count comes
    // back with it, so that it costs no exchange of its own.
    sqlAtuSubFicha.setSql(subTicketClaim(false));
    sqlAtuSubFichaEm.setSql(subTicketClaim(true));
    sqlAtuSubFicha.setSingleRow(true);
    sqlAtuSubFichaEm.setSingleRow(true);
}

ScanOutcome SubTicketScan::ProcessSubTicket(const std::string& code, const std::optional<DateTime>& keptAt) {
    OperatorDisplay& display = m_ctx.display;
    display.ClearScanField();
    display.ClearMessage();

    const SubTicketCode sub = SubTicketCode::of(code);
    const std::string pfs = sub.text();

    sqlSubFicha.close();
    sqlSubFicha.param("PROG").setString(sub.prog);
    sqlSubFicha.param("FICHA").setString(sub.ficha);
    sqlSubFicha.param("SUBFICHA").setString(sub.subficha);
    sqlSubFicha.open();
    if (sqlSubFicha.eof()) {
        return refuse(display, cp1252("Subficha não localizada (") + pfs + ").");
    }
    if (!sqlSubFicha.field("DTBAIXA_PR").isNull()) {
        return refuse(display, cp1252("Subficha já baixada (") + pfs + ").");
    }
    const int quantity = sqlSubFicha.field("QTDE_PR").asInt();
    const DateTime readAt = sqlSubFicha.field("DATA_SERV").asDateTime();

    db::Query& boxes = sqlCodCxUnSubProd;
    boxes.close();
    boxes.param("PROG").setString(sub.prog);
    boxes.param("FICHA").setString(sub.ficha);
    boxes.param("TAM").setString(sqlSubFicha.field("TAMA_PR").asString());
    boxes.open();
    if (boxes.eof()) {
        display.ClearBoxFields();
        return refuse(display, cp1252("Cód. cx unit não encontrados. (") + pfs + ").");
    }
    std::vector<BoxRow> rows;
    for (; !boxes.eof(); boxes.next()) rows.push_back(BoxRow::of(boxes));
    boxes.close();
    const BoxRow& first = rows.front();
    display.ShowBoxFields({first.product, first.pattern + " " + first.patternDescription, first.size, sub.prog,
                           sub.ficha + "/" + sub.subficha});
    display.ShowTicketCount({});

    const bool settling = keptAt.has_value();
    const DateTime serverTime = settling ? *keptAt : m_monitor.NoteServerTime(readAt);

    // Only the first box is checked, cancellation before age.
    if (first.cancelled) {
        return refuse(display, cp1252("Código CANCELADO em ") + formatDateTime("dd/MM HH:mm", *first.cancelled));
    }
    if (auto refusal = boxRefusal({first.emission, {}, {}}, serverTime, m_ctx.params.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, 0)) {
        return refuse(display, *refusal);
    }

    // The sub-ticket is claimed, its boxes written off and its stock booked in one unit of work:
    // wholly or not at all, and by one station only. A station that waited for another's claim runs
    // again and finds it taken; a connection lost on the way leaves nothing half done to guess at.
    struct Outcome {
        bool claimed = false;
        int written = 0;
    };
    bool inLoop = false;
    Outcome out;
    try {
        out = db::runInTransaction(m_ctx.sqlCon, [&](db::Transaction& t) {
            Outcome o;
            const BoxRow* last = nullptr; // the box written off last
            inLoop = false;
            // A kept scan claims at the time it was made, as its boxes are written off.
            db::Query& claim = settling ? sqlAtuSubFichaEm : sqlAtuSubFicha;
            if (settling) {
                claim.param("DTBAIXA").setDateTime(*keptAt);
            }
            claim.param("PROG").setString(sub.prog);
            claim.param("FICHA").setString(sub.ficha);
            claim.param("SUBFICHA").setString(sub.subficha);
            claim.open();
            const int marked = claim.field("MARKED").asInt();
            claim.close();
            if (marked != 1) {
                t.rollback();
                return o;
            }
            o.claimed = true;
            inLoop = true;
            for (std::size_t from = 0; from < rows.size() && o.written < quantity; from += kCodesPerWriteOff) {
                const auto [written, lastCode] = writeOffBoxes(rows, from, quantity - o.written, keptAt);
                if (written > 0) {
                    o.written += written;
                    last = &*std::find_if(rows.begin(), rows.end(),
                                          [code = lastCode](const BoxRow& b) { return b.code == code; });
                }
            }
            inLoop = false;
            // The stock step books what was written off last; without a box written off there is
            // nothing produced to book.
            if (last) {
                if (m_ctx.params.ATUALIZAR_ESTOQUE) {
                    StockMovementArgs a = m_stock.argsOfBoxRow(*last, serverTime);
                    a.programme = sub.prog;
                    a.ticket = sub.ficha;
                    a.subTicket = sub.subficha;
                    a.boxCode = 0;
                    m_stock.PostStockMovement(a);
                } else {
                    m_stock.PostProductionStockEntry(last->code, keptAt);
                }
            }
            t.commit();
            return o;
        });
    } catch (const db::DbError& e) {
        if (e.isConnectionLost()) {
            throw OutcomeInDoubt(e.what(), e.isNoAnswer());
        }
        if (inLoop) {
            display.ShowErrorBox("Erro ao atualizar a Etiqueta \"" + code + "\".\r" + e.what());
        }
        throw;
    } catch (const std::exception& e) {
        if (inLoop) {
            display.ShowErrorBox("Erro ao atualizar a Etiqueta \"" + code + "\".\r" + e.what());
        }
        throw;
    }
    if (!out.claimed) {
        return refuse(display, cp1252("Subficha já baixada (") + pfs + ").");
    }

    const int written = out.written;
    if (settling) {
        m_monitor.CountSettledWriteOffs(serverTime, written);
    } else {
        for (int i = 0; i < written; ++i) {
            m_monitor.CountWriteOff(serverTime);
        }
    }
    if (written == 0) {
        return refuse(display, cp1252("Códigos da subficha já baixados. (") + pfs + ").");
    }
    showBooked(display, m_monitor, std::to_string(written) + "/" + std::to_string(quantity), "Etiqueta Atualizada.");
    return ScanOutcome::booked("Etiqueta Atualizada.", written);
}

std::pair<int, std::int32_t> SubTicketScan::writeOffBoxes(const std::vector<BoxRow>& rows, std::size_t from,
                                                          int quantity, const std::optional<DateTime>& keptAt) {
    std::string codes;
    for (std::size_t i = from; i < rows.size() && i < from + kCodesPerWriteOff; ++i) {
        if (!codes.empty()) {
            codes += ',';
        }
        codes += std::to_string(rows[i].code);
    }
    db::Query& q = keptAt ? sqlBaixaCxSubFichaEm : sqlBaixaCxSubFicha;
    if (keptAt) {
        q.param("DTBAIXA").setDateTime(*keptAt);
    }
    q.param("CODES").setString(codes);
    q.param("QTDE").setInt(quantity);
    q.param("ESTEIRA").setString(m_ctx.settings.CODESTEIRA);
    q.param("SETOR").setString(m_ctx.settings.SETOR);
    q.param("FUNCIONARIO").setString(m_ctx.settings.FUNCIONARIO);
    q.open();
    const int written = q.field("WRITTEN").asInt();
    const std::int32_t last = written > 0 ? q.field("LAST_CX").asInt() : 0;
    q.close();
    return {written, last};
}

} // namespace vek
