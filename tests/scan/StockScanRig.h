#pragma once

// A conveyor station on a fresh database for the stock and sub-ticket scans: no window.
#include "db/Query.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "support/Box.h"
#include "support/ScanStation.h"

#include <string>
#include <vector>

namespace vek::test {

struct TestBox {
    int code = 0;
    std::string pedido{}; // empty: no sales order
    std::string item{};
    std::string tam = "38";
    std::string prod = "P100";
    std::string emission = "cast('now' as timestamp)"; // SQL expressions, on the server's clock
    std::string cancelled = "null";
    std::string ficha = "0001";
};

class StockScanRig : public WithTestDb, public ScanStation {
public:
    StockScanRig() : ScanStation(db.path()) {
        db.exec("insert into PRODUTO (COD_PR, GRUPO_PR) values ('P100', '20');"
                "insert into PRODUTO (COD_PR, GRUPO_PR) values ('P200', ' 20');"
                "insert into PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) values ('00001000', 'EX', 0);"
                "insert into TABELA (NUM_TA, COD_TA, DESC_TA) values ('70', 'M7', 'MARCA SETE')");
    }

    void box(const TestBox& b) const {
        db.exec(Box::usual(b.code)
                    .prod(b.prod)
                    .tam(b.tam)
                    .marca("MARCA SETE")
                    .ficha(b.ficha)
                    .pedido(b.pedido)
                    .item(b.item)
                    .emitted(b.emission)
                    .cancelled(b.cancelled)
                    .sql());
    }
    void subTicket(const std::string& sub, const std::string& tam, int qtde, int id = 1) const {
        db.exec("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values (" +
                std::to_string(id) + ", '000123', '0001', '" + sub + "', '" + tam + "', " + std::to_string(qtde) + ")");
    }
    /// An order item of one size with `qtped` pairs, for the production stock module.
    void orderItem(const std::string& ped, const std::string& item, int qtped) const {
        db.exec("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) values ('" +
                ped + "', '" + item +
                "', 'P100', '00001', '000123', '0001', 'P');"
                "insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values ('" +
                ped + "', '" + item + "', '38', " + std::to_string(qtped) + ")");
    }

    /// Every row of a select, each column as text (null as "<null>").
    std::vector<std::vector<std::string>> rows(const std::string& sql) const {
        auto c = db.connect();
        db::Query q(*c);
        q.setSql(sql);
        q.open();
        std::vector<std::vector<std::string>> out;
        for (; !q.eof(); q.next()) {
            std::vector<std::string> r;
            for (std::size_t i = 0; i < q.columns().size(); ++i) {
                r.push_back(q.fieldAt(i).isNull() ? "<null>" : q.fieldAt(i).asString());
            }
            out.push_back(std::move(r));
        }
        return out;
    }
    int count(const std::string& fromWhere) const {
        return std::stoi(rows("select count(*) " + fromWhere).at(0).at(0));
    }
    bool isWrittenOff(int code) const {
        return count("from CODCXUNIT where DTBAIXA_CX is not null and CODIGO_CX = " + std::to_string(code)) == 1;
    }
};

} // namespace vek::test
