// The sub-ticket scan: its refusals, the write-off loop and its counts, the sub-ticket mark and the
// one stock booking per sub-ticket, through the scan and a recording display.
#include "StockScanRig.h"

#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace vek;
using vek::test::Box;
using vek::test::StockScanRig;
using vek::test::TestBox;

namespace {

const std::string kLabel = "2000123000100A1"; // programme 000123, ticket 0001, sub-ticket 00A1

class SubTicket : public ::testing::Test {
protected:
    void SetUp() override { setCurrentFormatSettings(brazilianFormatSettings()); }

    std::set<int> writtenOff() const {
        std::set<int> out;
        for (const auto& r : rig.rows("select CODIGO_CX from CODCXUNIT where DTBAIXA_CX is not null"))
            out.insert(std::stoi(r[0]));
        return out;
    }
    bool marked() const { return rig.count("from SUBPROD where DTBAIXA_PR is not null") == 1; }
    std::string message() { return rig.display.text("pnMens"); }

    StockScanRig rig;
};

TEST_F(SubTicket, RefusalsWriteNothing) {
    const struct {
        const char* caso;
        std::vector<TestBox> boxes;
        const char* subficha; // the SUBPROD row, none when empty
        const char* message;
    } cases[] = {
        {"no sub-ticket", {{.code = 1}}, "", "Subficha não localizada (000123/0001/00A1)."},
        {"sub-ticket of another ticket", {{.code = 1}}, "0A1", "Subficha não localizada (000123/0001/00A1)."},
        {"no box of the size", {{.code = 1, .tam = "40"}}, "00A1", "Cód. cx unit não encontrados. (000123/0001/00A1)."},
        {"first box cancelled and too old",
         {{.code = 1, .emission = "timestamp '2020-01-01 00:00:00'", .cancelled = "timestamp '2024-03-05 14:07:00'"},
          {.code = 2}},
         "00A1",
         "Código CANCELADO em 05/03 14:07"},
        {"first box too old",
         {{.code = 1, .emission = "timestamp '2020-01-01 00:00:00'"}, {.code = 2}},
         "00A1",
         "Código com data Emissão 01/01/20 maior que 90 dias."},
        {"first box without emission date",
         {{.code = 1, .emission = "null"}},
         "00A1",
         "Código com data Emissão 30/12/99 maior que 90 dias."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caso);
        StockScanRig r;
        r.ctx.params.ATUALIZAR_ESTOQUE = true;
        for (const auto& b : c.boxes) r.box(b);
        if (*c.subficha) r.subTicket(c.subficha, "38", 2);
        r.display.texts["edProd"] = "OLD";
        r.scan.ProcessScan(kLabel);
        EXPECT_EQ(toQString(r.display.text("pnMens")), QString::fromUtf8(c.message));
        EXPECT_EQ(r.display.messageColour, MessageColour::Error);
        EXPECT_EQ(r.display.text("edCodBar"), "");
        EXPECT_EQ(r.count("from CODCXUNIT where DTBAIXA_CX is not null"), 0);
        EXPECT_EQ(r.count("from SUBPROD where DTBAIXA_PR is not null"), 0);
        EXPECT_EQ(r.count("from PROD_ESTOQUE_MOV"), 0);
        EXPECT_EQ(r.monitor.dayCount(), 0);
        if (std::string(c.caso) == "no box of the size") {
            EXPECT_EQ(r.display.text("edProd"), "");
        }
    }
}

TEST_F(SubTicket, WritesOffItsQuantityShowsTheCountAndBooksTheLastBoxWrittenOff) {
    rig.ctx.params.ATUALIZAR_ESTOQUE = true;
    rig.ctx.params.TIPO_MOVTO_ESTOQUE = "EPA";
    // Five pending boxes of the size, each of its own order item; one of another size; a cancelled
    // box further down is written off like the others.
    for (int i = 1; i <= 5; ++i) {
        rig.box({.code = 10 + i,
                 .pedido = "00001000",
                 .item = "00" + std::to_string(i),
                 .cancelled = i == 2 ? "timestamp '2024-03-05 14:07:00'" : "null"});
    }
    rig.box({.code = 30, .tam = "40"});
    rig.subTicket("00A1", "38", 3);

    rig.scan.ProcessScan(kLabel);
    EXPECT_EQ(message(), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.display.text("edTotEtiq"), "3/3");
    EXPECT_EQ(rig.display.text("edProg"), "000123");
    EXPECT_EQ(rig.display.text("edFicha"), "0001/00A1");
    EXPECT_EQ(rig.display.text("edTam"), "38");
    EXPECT_EQ(rig.monitor.dayCount(), 3);
    EXPECT_EQ(rig.monitor.monthCount(), 3);
    EXPECT_EQ(rig.display.text("pnQtParesDia"), "3");
    const std::set<int> done = writtenOff();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_FALSE(done.count(30));
    EXPECT_TRUE(marked());

    // One movement for the sub-ticket, from the last box the loop wrote off, not from the next one.
    const auto mv = rig.rows("select ITEMPED_ENTRADA_MV, DOCTO_MV, CODIGO_CXUNIT_MV, OBS_MV, PROG_MV, FICHA_MV, "
                             "QTDE_MV, TIPOMOV_MV, USUARIO_MV, MARCA_MV from PROD_ESTOQUE_MOV");
    ASSERT_EQ(mv.size(), 1u);
    const int bookedBox = 10 + std::stoi(mv[0][0]);
    EXPECT_TRUE(done.count(bookedBox)) << "booked box " << bookedBox;
    EXPECT_EQ(mv[0][1], "00001000");
    EXPECT_EQ(mv[0][2], "0");
    EXPECT_EQ(mv[0][3], "Entrada pelo programa Quilbar Baixa de SubFicha Prog/Ficha/SubFicha \"000123/0001/00A1\".");
    EXPECT_EQ(mv[0][4], "000123");
    EXPECT_EQ(mv[0][5], "0001");
    EXPECT_EQ(std::stod(mv[0][6]), 1.0);
    EXPECT_EQ(mv[0][7], "EPA");
    EXPECT_EQ(mv[0][8], "ESTEIRA 01");
    EXPECT_EQ(mv[0][9], "M7");

    // A second scan of the marked sub-ticket.
    rig.scan.ProcessScan(kLabel);
    EXPECT_EQ(toQString(message()), QString::fromUtf8("Subficha já baixada (000123/0001/00A1)."));
    EXPECT_EQ(writtenOff().size(), 3u);
    EXPECT_EQ(rig.count("from PROD_ESTOQUE_MOV"), 1);
}

TEST_F(SubTicket, FewerBoxesThanItsQuantityAndAQuantityOfZero) {
    const struct {
        const char* caso;
        int pending;
        int qtde;
        const char* count;
        const char* message;
        bool booked;
    } cases[] = {
        {"2 of 3", 2, 3, "2/3", "Etiqueta Atualizada.", true},
        {"quantity 0", 2, 0, "", "Códigos da subficha já baixados. (000123/0001/00A1).", false},
        {"quantity -1", 1, -1, "", "Códigos da subficha já baixados. (000123/0001/00A1).", false},
    };
    for (const bool ownMovement : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.caso) + (ownMovement ? " / movement" : " / production stock"));
            StockScanRig r;
            r.ctx.params.ATUALIZAR_ESTOQUE = ownMovement;
            r.ctx.params.FILIAL_ESTOQUE_PRODUCAO = 5;
            r.orderItem("00001000", "001", 10);
            for (int i = 1; i <= c.pending; ++i) r.box({.code = i, .pedido = "00001000", .item = "001"});
            r.subTicket("00A1", "38", c.qtde);
            r.scan.ProcessScan(kLabel);
            EXPECT_EQ(toQString(r.display.text("pnMens")), QString::fromUtf8(c.message));
            EXPECT_EQ(r.display.text("edTotEtiq"), c.count);
            EXPECT_EQ(r.count("from SUBPROD where DTBAIXA_PR is not null"), 1) << "the sub-ticket is marked";
            EXPECT_EQ(r.monitor.dayCount(), c.booked ? c.pending : 0);
            // No box written off, nothing produced: no stock step at all.
            EXPECT_EQ(r.count("from PROD_ESTOQUE_MOV"), ownMovement && c.booked ? 1 : 0);
            EXPECT_EQ(r.count("from ENTRADAMP"), !ownMovement && c.booked ? 1 : 0);
            if (!ownMovement && c.booked) {
                EXPECT_EQ(r.count("from PRODUCAO_ESTOQUE where CODIGO_CXUNIT_ES = " + std::to_string(c.pending)), 1)
                    << "the last box written off is booked";
            }
        }
    }
}

TEST_F(SubTicket, WithBoxesLeftOverTheLastBoxWrittenOffIsBooked) {
    for (const bool ownMovement : {true, false}) {
        SCOPED_TRACE(ownMovement ? "movement" : "production stock");
        StockScanRig r;
        r.ctx.params.ATUALIZAR_ESTOQUE = ownMovement;
        r.ctx.params.FILIAL_ESTOQUE_PRODUCAO = 5;
        for (int i = 1; i <= 5; ++i) {
            r.orderItem("00001000", "00" + std::to_string(i), 10);
            r.box({.code = i, .pedido = "00001000", .item = "00" + std::to_string(i)});
        }
        r.subTicket("00A1", "38", 3);
        // The order in which the loop writes the boxes off, whatever order the database lists them in.
        std::vector<std::string> order;
        r.display.onTicketCount = [&](const std::string& shown) {
            if (shown.empty()) return;
            for (const auto& row : r.rows("select CODIGO_CX from CODCXUNIT where DTBAIXA_CX is not null"))
                if (std::find(order.begin(), order.end(), row[0]) == order.end()) order.push_back(row[0]);
        };
        r.scan.ProcessScan(kLabel);
        r.display.onTicketCount = nullptr;
        ASSERT_EQ(order.size(), 3u);
        const std::string last = order.back();
        if (ownMovement) {
            const auto mv = r.rows("select ITEMPED_ENTRADA_MV from PROD_ESTOQUE_MOV");
            ASSERT_EQ(mv.size(), 1u);
            EXPECT_EQ(std::stoi(mv[0][0]), std::stoi(last)) << "box i is of order item i";
        } else {
            EXPECT_EQ(r.count("from PRODUCAO_ESTOQUE"), 1);
            EXPECT_EQ(r.count("from PRODUCAO_ESTOQUE where CODIGO_CXUNIT_ES = " + last), 1);
        }
    }
}

TEST_F(SubTicket, BoxesAnotherStationWritesOffMeanwhileAreNeitherCountedNorBooked) {
    rig.ctx.params.FILIAL_ESTOQUE_PRODUCAO = 5;
    rig.orderItem("00001000", "001", 10);
    for (int code = 1; code <= 4; ++code) rig.box({.code = code, .pedido = "00001000", .item = "001"});
    rig.subTicket("00A1", "38", 3);
    // Once our station has listed the pending boxes, another one writes off all of them but the first.
    auto other = rig.db.connect();
    bool taken = false;
    rig.display.onTicketCount = [&](const std::string& shown) {
        if (!shown.empty() || taken) return;
        taken = true;
        db::Query q(*other);
        q.setSql("update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '02' "
                 "where DTBAIXA_CX is null and CODIGO_CX <> 1");
        q.execSql();
    };
    rig.scan.ProcessScan(kLabel);
    rig.display.onTicketCount = nullptr;
    const auto ours = rig.rows("select CODIGO_CX from CODCXUNIT where ESTEIRA_CX = '01'");
    ASSERT_EQ(ours.size(), 1u) << "no box taken over from the other station";
    EXPECT_EQ(rig.count("from CODCXUNIT where ESTEIRA_CX = '02'"), 3);
    EXPECT_EQ(rig.monitor.dayCount(), 1) << "only the box this station wrote off counts";
    EXPECT_EQ(rig.display.text("edTotEtiq"), "1/3");
    EXPECT_EQ(rig.count("from PRODUCAO_ESTOQUE"), 1);
    EXPECT_EQ(rig.count("from PRODUCAO_ESTOQUE where CODIGO_CXUNIT_ES = " + ours[0][0]), 1)
        << "the stock booking is of our own box";
    EXPECT_TRUE(marked());
}

TEST_F(SubTicket, LeadingZerosReachTheDatabaseAsText) {
    // Programme 000123 as a number would be 123 and find nothing.
    rig.db.exec(Box(5).tam("38").prog("123").ficha("1").emitted().sql());
    rig.box({.code = 6});
    rig.subTicket("0000", "38", 1);
    rig.scan.ProcessScan("200012300010000");
    EXPECT_EQ(message(), "Etiqueta Atualizada.");
    EXPECT_EQ(writtenOff(), std::set<int>{6});
}

TEST_F(SubTicket, AWriteOffErrorLeavesTheWholeSubTicketOpen) {
    rig.ctx.params.ATUALIZAR_ESTOQUE = true;
    rig.box({.code = 1});
    rig.box({.code = 2});
    rig.box({.code = 3});
    rig.subTicket("00A1", "38", 3);
    // A check stands in for a database that refuses the second write-off.
    rig.db.exec("alter table CODCXUNIT add constraint CK_NOT_2 check (CODIGO_CX <> 2 or DTBAIXA_CX is null)");
    EXPECT_THROW(rig.scan.ProcessScan(kLabel), std::exception);
    const auto boxes = rig.boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Erro"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"2000123000100A1\".\r")));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("CK_NOT_2")));
    // Wholly or not at all: a rescan must not write off the full quantity on top of a part.
    EXPECT_EQ(writtenOff(), std::set<int>{});
    EXPECT_EQ(rig.display.text("edTotEtiq"), "");
    EXPECT_EQ(rig.monitor.dayCount(), 0);
    EXPECT_FALSE(marked());
    EXPECT_EQ(rig.count("from PROD_ESTOQUE_MOV"), 0);
}

} // namespace
