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

#include <optional>
#include <vector>

namespace vek {

SubTicketCode SubTicketCode::of(const std::string& code) {
    return {code.substr(1, 6), code.substr(7, 4), code.substr(11, 4)};
}

SubTicketScan::SubTicketScan(StationContext& ctx, ProductionMonitor& monitor, StockMovement& stock)
    : m_ctx(ctx), m_monitor(monitor), m_stock(stock), sqlSubFicha(ctx.sqlCon, "sqlSubFicha"),
      sqlCodCxUnSubProd(ctx.sqlCon, "sqlCodCxUnSubProd"), sqlAtuSubFicha(ctx.sqlCon, "sqlAtuSubFicha"),
      sqlAtuSubFichaEm(ctx.sqlCon, "sqlAtuSubFichaEm") {
    sqlSubFicha.setSql("select * from SUBPROD\n"
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
    sqlAtuSubFicha.setSql("update SUBPROD\n"
                          "set DTBAIXA_PR = cast('now' as timestamp)\n"
                          "where PROG_PR=:PROG\n"
                          "and FICHA_PR=:FICHA\n"
                          "and SUBFICHA_PR=:SUBFICHA\n"
                          // The claim: a sub-ticket another station marked meanwhile is left alone.
                          "and DTBAIXA_PR is null");
    sqlAtuSubFichaEm.setSql("update SUBPROD\n"
                            "set DTBAIXA_PR = :DTBAIXA\n"
                            "where PROG_PR=:PROG\n"
                            "and FICHA_PR=:FICHA\n"
                            "and SUBFICHA_PR=:SUBFICHA\n"
                            "and DTBAIXA_PR is null");
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
    const DateTime serverTime = settling ? *keptAt : m_monitor.ReadServerTime();

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
            if (claim.execSql() != 1) {
                t.rollback();
                return o;
            }
            o.claimed = true;
            inLoop = true;
            for (std::size_t i = 0; i < rows.size() && o.written < quantity; ++i) {
                // A box another station wrote off after we listed it is theirs: take the next.
                if (WriteOffBox(m_ctx, rows[i].code, keptAt)) {
                    ++o.written;
                    last = &rows[i];
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

} // namespace vek
