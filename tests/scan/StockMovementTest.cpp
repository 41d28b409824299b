// Stock booking of a scanned box: the list filters, the movement insert and its transaction, the
// order-item completion and the production stock module, through the scan and a recording display.
#include "StockScanRig.h"

#include "scan/StockMovement.h"
#include "stock/TdmEstoqueProducao.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

using namespace vek;
using vek::test::StockScanRig;

namespace {

class StockMovementScan : public ::testing::Test {
protected:
    void SetUp() override {
        setCurrentFormatSettings(brazilianFormatSettings());
        rig.ctx.params.ATUALIZAR_ESTOQUE = true;
    }
    int movements() const { return rig.count("from PROD_ESTOQUE_MOV"); }

    StockScanRig rig;
};

TEST(StockLists, ItemsSplitAtCommasAndLineBreaksAndCompareExactly) {
    const struct {
        const char* list;
        const char* value;
        bool holds;
    } cases[] = {
        {"10, 20", "20", true},
        {"10, 20", " 20", false},
        {"10, 20", "10", true},
        {"10,\r\n20\n30", "30", true},
        {"10,\r\n20\n30", "20", true},
        {"ex,PD", "EX", false},
        {",,EX,", "EX", true},
        {",,", "", false},
        {"", "", false},
        // A blank item is no item: a box without an order (type "") is not selected by it.
        {"EX, ", "", false},
        {"EX,  ,PD", "", false},
        {"1020", "10", false},
        {"10 20", "10", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " / " + c.value);
        EXPECT_EQ(listHolds(c.list, c.value), c.holds);
    }
}

TEST_F(StockMovementScan, FiltersOnProductGroupAndOrderType) {
    // P100 is of group "20", P200 of group " 20"; order 00001000 is of type "EX", no order has no type.
    const struct {
        const char* groups;
        const char* types;
        const char* prod;
        const char* pedido;
        bool booked;
    } cases[] = {
        {"10, 20", "", "P100", "", true},          {"10, 20", "", "P200", "", false},
        {"10,\n20", "", "P100", "00001000", true}, {"", "", "P200", "", true},
        {"", "PD, EX", "P100", "00001000", true},  {"", "PD, EX", "P100", "", false},
        {"", "ex", "P100", "00001000", false},     {"20", "EX", "P200", "00001000", false},
    };
    int code = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.groups) + " | " + c.types + " | " + c.prod + " | " + c.pedido);
        rig.ctx.params.GRUPO_PROD_ATUALIZAR_ESTOQUE = c.groups;
        rig.ctx.params.TIPO_PEDIDO_ATUALIZAR_ESTOQUE = c.types;
        test::TestBox b;
        b.code = ++code;
        b.prod = c.prod;
        b.pedido = c.pedido;
        b.item = *c.pedido ? "009" : "";
        rig.box(b);
        const int before = movements();
        rig.scan.ProcessScan(std::to_string(code));
        EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
        EXPECT_EQ(movements() - before, c.booked ? 1 : 0);
        EXPECT_EQ(rig.count("from PROD_ESTOQUE_MOV where CODIGO_CXUNIT_MV = " + std::to_string(code)),
                  c.booked ? 1 : 0);
    }
}

TEST_F(StockMovementScan, ARefusedInsertRollsBackTheWholeScan) {
    rig.db.exec("alter table PROD_ESTOQUE_MOV add constraint CK_NO_P100 check (PROD_MV <> 'P100')");
    rig.box({.code = 51});
    rig.box({.code = 52, .prod = "P200"});
    EXPECT_THROW(rig.scan.ProcessScan("51"), std::exception);
    const auto boxes = rig.boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Erro"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"51\".\r")));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("CK_NO_P100")));
    EXPECT_FALSE(rig.ctx.sqlCon.inTransaction());
    EXPECT_EQ(movements(), 0);
    EXPECT_FALSE(rig.isWrittenOff(51)) << "the write-off is part of the scan's unit of work";
    EXPECT_EQ(rig.monitor.dayCount(), 0);

    // The next box books normally: nothing of the failed insert was left open.
    rig.scan.ProcessScan("52");
    EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(movements(), 1);
    EXPECT_FALSE(rig.ctx.sqlCon.inTransaction());
}

TEST_F(StockMovementScan, OnlyTheLastBoxOfAnOrderItemCompletesItAndBoxesWithoutOrderWriteNoAuditRow) {
    rig.orderItem("00001000", "001", 2);
    rig.box({.code = 61, .pedido = "00001000", .item = "001"});
    rig.box({.code = 62, .pedido = "00001000", .item = "001"});
    rig.box({.code = 63});
    rig.box({.code = 64});
    const std::string sit = "select SIT_IT from ITENSPV where PEDIDO_IT = '00001000' and ITEM_IT = '001'";

    rig.scan.ProcessScan("63");
    rig.scan.ProcessScan("64");
    EXPECT_EQ(rig.count("from LOG"), 0) << "no order item was completed";
    EXPECT_EQ(rig.rows("select DOCTO_MV, PEDIDO_ENTRADA_MV from PROD_ESTOQUE_MOV where CODIGO_CXUNIT_MV = 64"),
              (std::vector<std::vector<std::string>>{{"ETAVULSA", ""}}));

    rig.scan.ProcessScan("61");
    EXPECT_EQ(rig.rows(sit).at(0).at(0), "P");
    EXPECT_EQ(rig.count("from LOG"), 0);
    rig.scan.ProcessScan("62");
    EXPECT_EQ(rig.rows(sit).at(0).at(0), "E");
    EXPECT_EQ(
        rig.rows("select CHAVE_LG, ARQ_LG, CAMPO_LG, USUARIO_LG, VRANT_LG, VRATU_LG from LOG"),
        (std::vector<std::vector<std::string>>{{"00001000|001", "ITENSPV", "SIT_IT", "ESTEIRA 01",
                                                cp1252("ESTOQUE AUTOMÁTICO PELA ATUALIZAÇÃO CX UNITÁRIA"), "E"}}));
    EXPECT_EQ(movements(), 4);
}

TEST(StockProductionEntry, BooksKindZeroWithTheClockDateAndKeepsItsModule) {
    setCurrentFormatSettings(brazilianFormatSettings());
    StockScanRig rig;
    rig.orderItem("00001000", "001", 2);
    for (int code : {71, 72, 73, 74}) rig.box({.code = code, .pedido = "00001000", .item = "001"});

    // No production-stock branch: nothing is booked and no module is made.
    rig.scan.ProcessScan("71");
    EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.modules.dmEstoqueProducaoIfMade(), nullptr);
    EXPECT_EQ(rig.count("from ENTRADAMP"), 0);

    rig.ctx.params.FILIAL_ESTOQUE_PRODUCAO = 5;
    rig.monitor.setClockTime(DateTime::fromDateTime(2025, 2, 3, 15, 20, 41));
    rig.scan.ProcessScan("72");
    ASSERT_NE(rig.modules.dmEstoqueProducaoIfMade(), nullptr);
    const stock::TdmEstoqueProducao* module = rig.modules.dmEstoqueProducaoIfMade();
    EXPECT_EQ(rig.count("from ENTRADAMP where USUARIO_EMP = 'QUILBAR' and QTDE_EMP = 1 and TAMANHO_EMP = '38' and "
                        "DATA_EMP = timestamp '2025-02-03 00:00:00'"),
              1);
    EXPECT_EQ(rig.count("from PRODUCAO_ESTOQUE where CODIGO_CXUNIT_ES = 72 and STATUS_ES = 'A'"), 1);

    // Kept before midnight, settled after it: entered on the day it was written off.
    rig.scan.ProcessScan("73", DateTime::fromDateTime(2025, 2, 2, 23, 59, 50));
    EXPECT_EQ(rig.modules.dmEstoqueProducaoIfMade(), module) << "the module is kept";
    EXPECT_EQ(rig.count("from ENTRADAMP where DATA_EMP = timestamp '2025-02-02 00:00:00'"), 1);
    EXPECT_EQ(rig.count("from CODCXUNIT where CODIGO_CX = 73 and DTBAIXA_CX = timestamp '2025-02-02 23:59:50'"), 1);
    // The order line of two pairs is fully booked now.
    rig.scan.ProcessScan("74");
    EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("from ENTRADAMP"), 2);
    EXPECT_EQ(rig.count("from PROD_ESTOQUE_MOV"), 0);
}

TEST(StockProductionEntry, ARefusalOfTheModuleIsAnUpdateError) {
    StockScanRig rig;
    rig.ctx.params.FILIAL_ESTOQUE_PRODUCAO = 5;
    rig.monitor.setClockTime(DateTime::fromDate(2016, 12, 31));
    rig.box({.code = 81});
    EXPECT_THROW(rig.scan.ProcessScan("81"), stock::ELancProducaoEstoqueException);
    const auto boxes = rig.boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.endsWith(QString::fromUtf8("O parametro DataLanc não foi informado corretamente.")));
    EXPECT_FALSE(rig.isWrittenOff(81)) << "a box that cannot be booked is not written off either";
}

} // namespace

TEST(StockMovementTwoStations, TheLastTwoBoxesOfAnOrderItemCompleteItOnce) {
    // Each station would count the other's uncommitted box as pending, and neither would complete
    // the item: the item's lock, taken before the count, makes the second wait and count again.
    setCurrentFormatSettings(brazilianFormatSettings());
    StockScanRig rig;
    rig.ctx.params.ATUALIZAR_ESTOQUE = true;
    rig.db.exec("insert into ITENSPV (PEDIDO_IT, ITEM_IT, SIT_IT) values ('00001000', '009', 'P')");
    rig.box({.code = 61, .pedido = "00001000", .item = "009"});
    rig.box({.code = 62, .pedido = "00001000", .item = "009"});
    test::ScanStation other(rig.db.path());
    other.ctx.settings.CODESTEIRA = "02";
    other.ctx.params.ATUALIZAR_ESTOQUE = true;

    auto holder = rig.db.connect();
    holder->startTransaction();
    holder->executeImmediate("update ITENSPV set SIT_IT = SIT_IT where PEDIDO_IT = '00001000'");
    std::string errors;
    std::mutex errorsMutex;
    auto scan = [&](UnitBoxScan& station, const char* code) {
        try {
            station.ProcessScan(code);
        } catch (const std::exception& e) {
            const std::lock_guard lock(errorsMutex);
            errors += e.what();
        }
    };
    std::thread a([&] { scan(rig.scan, "61"); });
    std::thread b([&] { scan(other.scan, "62"); });
    auto monitor = rig.db.connect();
    db::Query waiting(*monitor);
    waiting.setSql("select count(*) as N from MON$STATEMENTS where MON$STATE = 1 and MON$ATTACHMENT_ID <> "
                   "current_connection and MON$SQL_TEXT starting with 'select PEDIDO_IT from ITENSPV'");
    bool together = false;
    for (int i = 0; i < 250 && !together; ++i) {
        waiting.open();
        together = waiting.field("N").asInt() == 2;
        waiting.close();
        if (!together) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    holder->rollback();
    a.join();
    b.join();
    EXPECT_TRUE(together) << "both stations wait for the order item before counting";
    EXPECT_EQ(errors, "");
    EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(other.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("from ITENSPV where SIT_IT = 'E'"), 1);
    EXPECT_EQ(rig.count("from LOG where ARQ_LG = 'ITENSPV'"), 1);
    EXPECT_EQ(rig.count("from PROD_ESTOQUE_MOV"), 2);
}
