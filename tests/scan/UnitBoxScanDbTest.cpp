// The unit-box scan against test databases, through a recording display: no window.
#include "db/Query.h"
#include "db/UnitOfWork.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "support/Box.h"
#include "support/ScanStation.h"
#include "support/TestDb.h"
#include "support/Tones.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

using namespace vek;
using vek::test::kAlarm;
using vek::test::kSuccess;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

// A conveyor station on a fresh database, with the success message and the tones on.
class ScanRig : public vek::test::WithTestDb, public vek::test::ScanStation {
public:
    explicit ScanRig(const std::string& codeColumnType = {}) : ScanStation(db.path()) {
        if (!codeColumnType.empty()) {
            // Another installation's box table: the same columns, another type for the code.
            db.exec("drop table CODCXUNIT");
            db.exec("create table CODCXUNIT (CODIGO_CX " + codeColumnType +
                    " not null primary key, PROD_CX varchar(8), PADRON_CX varchar(5), TAM_CX char(2), MARCA_CX "
                    "varchar(75), PROG_CX varchar(6), FICHA_CX varchar(4), PEDIDO_CX varchar(8), ITEM_CX varchar(3), "
                    "DTEMISSAO_CX timestamp, DTBAIXA_CX timestamp, DATA_CANC_CX timestamp, ESTEIRA_CX varchar(10), "
                    "SETOR_CX varchar(2), FUNCIONARIO_CX varchar(6))");
        }
        ctx.settings.FUNCIONARIO = "7";
        ctx.params.ALERTA_SONORO = true;
    }

    void box(const std::string& code, const std::string& ficha = "0001") {
        db.exec(vek::test::Box::usual(code).ficha(ficha).sql());
    }
    int writtenOff() const { return db.count("CODCXUNIT where DTBAIXA_CX is not null"); }
    bool isWrittenOff(const std::string& code) const {
        return db.count("CODCXUNIT where DTBAIXA_CX is not null and CODIGO_CX = " + code) == 1;
    }
};

class UnitBoxScanDb : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { setCurrentFormatSettings(brazilianFormatSettings()); }
};

// Box codes are whole 32-bit numbers whatever the installation's column type: a number that is not
// one matches no box, and text with letters is not a code, so nothing near it is written off.
TEST_P(UnitBoxScanDb, OnlyWholeCodesInRangeReachABox) {
    ScanRig rig(GetParam());
    for (const char* code : {"1001", "1102", "500606", "2147483647"}) rig.box(code);
    struct Row {
        const char* scanned;
        const char* message;
    } rows[] = {
        {"1101,5", "Código não localizado."},
        {"1001,0001", "Código não localizado."},
        {"1102,0000001", "Código não localizado."},
        {"99999999999999", "Código não localizado."},
        {"999999999999999", "Código não localizado."},
        {"2147483648", "Código não localizado."},
        {"-1001", "Código não localizado."},
        {"0", "Código não localizado."},
        {"5,00606e5", "Código Inválido."},
        {"1e3", "Código Inválido."},
        {"10O1", "Código Inválido."},
        {"", "Código Inválido."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.scanned);
        rig.scan.ProcessScan(r.scanned);
        EXPECT_EQ(toQString(rig.display.text("pnMens")), QString::fromUtf8(r.message));
        EXPECT_EQ(rig.display.messageColour, MessageColour::Error);
        EXPECT_EQ(rig.tones.take(), kAlarm);
        EXPECT_TRUE(rig.boxes.take().empty());
    }
    EXPECT_EQ(rig.writtenOff(), 0);

    // The same boxes by their own codes, leading zeros and a whole decimal form included.
    for (const char* code : {"1001", "0001102", "500606,0", "2147483647"}) {
        SCOPED_TRACE(code);
        rig.scan.ProcessScan(code);
        EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
        EXPECT_EQ(rig.display.messageColour, MessageColour::Success);
    }
    EXPECT_EQ(rig.writtenOff(), 4);
    EXPECT_EQ(rig.monitor.dayCount(), 4);
}

INSTANTIATE_TEST_SUITE_P(CodeColumnTypes, UnitBoxScanDb,
                         ::testing::Values(std::string(), "DOUBLE PRECISION", "NUMERIC(18,0)", "BIGINT"));

TEST(UnitBoxScanFlow, WriteOffCountersAndTheRescan) {
    setCurrentFormatSettings(brazilianFormatSettings());
    ScanRig rig;
    rig.box("1234567");
    rig.box("1234568");
    rig.scan.ProcessScan(" 1234567 ");
    EXPECT_EQ(rig.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.tones.take(), kSuccess);
    EXPECT_EQ(rig.display.text("edProd"), "P100");
    EXPECT_EQ(rig.display.text("edPad"), "00001 ");
    EXPECT_EQ(rig.display.text("edTotEtiq"), "1/2");
    EXPECT_EQ(rig.display.text("pnQtParesDia"), "1");
    EXPECT_EQ(rig.monitor.cdsProdHora.recordCount(), 1);
    EXPECT_GE(rig.display.repaints, 1) << "the counters are painted at once";
    EXPECT_TRUE(rig.isWrittenOff("1234567"));
    EXPECT_FALSE(rig.isWrittenOff("1234568"));

    rig.scan.ProcessScan("1234567");
    EXPECT_TRUE(
        toQString(rig.display.text("pnMens")).startsWith(QString::fromUtf8("Código \"1.234.567\" já baixado em ")));
    EXPECT_EQ(rig.tones.take(), kAlarm);
    EXPECT_EQ(rig.monitor.dayCount(), 1);

    // With the success message off a good scan only beeps and leaves the panel as the scan found it.
    rig.ctx.params.MSG_CONLUSAO = false;
    rig.display.ClearMessage();
    rig.scan.ProcessScan("1234568");
    EXPECT_EQ(rig.display.text("pnMens"), "");
    EXPECT_EQ(rig.display.messageColour, MessageColour::Neutral);
    EXPECT_EQ(rig.tones.take(), kSuccess);
    EXPECT_EQ(rig.display.text("edTotEtiq"), "2/2");
}

// A scan's reads share the connection's kept read-only transaction: with forced writes each
// transaction costs the disk, so a scan starts only its unit of work's, and a refusal none.
TEST(UnitBoxScanFlow, AScanStartsOnlyItsUnitOfWorksTransaction) {
    setCurrentFormatSettings(brazilianFormatSettings());
    ScanRig rig;
    constexpr int kBoxes = 10;
    for (int i = 0; i <= kBoxes; ++i) rig.box(std::to_string(100 + i));
    db::Connection probe;
    probe.setDatabase(rig.db.path());
    auto nextTransaction = [&] {
        db::Transaction t(probe); // the monitoring tables are a snapshot per transaction
        db::Query q(probe);
        q.setSql("select MON$NEXT_TRANSACTION as N from MON$DATABASE");
        q.open();
        const std::int64_t n = q.field("N").asInt64();
        t.commit();
        return n;
    };
    rig.scan.ProcessScan("100"); // prepares what a scan uses
    const std::int64_t before = nextTransaction();
    for (int i = 1; i <= kBoxes; ++i) {
        rig.scan.ProcessScan(std::to_string(100 + i));
        rig.scan.ProcessScan(std::to_string(100 + i)); // the rescan: refused on its reads
        rig.monitor.ClockTick();
    }
    rig.scan.ProcessScan("99"); // no such box
    // The write-offs and the probe's own; the engine's garbage collector may start one of its own
    // meanwhile. A read with a transaction of its own would add several per scan.
    const std::int64_t started = nextTransaction() - before;
    EXPECT_GE(started, kBoxes + 1);
    EXPECT_LE(started, kBoxes + 2);
    EXPECT_EQ(rig.writtenOff(), kBoxes + 1);
    probe.close();
}

TEST(UnitBoxScanFlow, AnUpdateErrorShowsTheUpdateBoxAndIsPassedOn) {
    ScanRig rig;
    rig.box("42");
    // A check stands in for a database that refuses the write-off.
    rig.db.exec("alter table CODCXUNIT add constraint CK_NO_WRITE_OFF check (DTBAIXA_CX is null)");
    EXPECT_THROW(rig.scan.ProcessScan("42"), std::exception);
    const auto boxes = rig.boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Erro"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"42\".\r")));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("CK_NO_WRITE_OFF")));
    EXPECT_EQ(rig.monitor.dayCount(), 0);
    EXPECT_NE(rig.display.text("pnMens"), "Etiqueta Atualizada.");
}

} // namespace
