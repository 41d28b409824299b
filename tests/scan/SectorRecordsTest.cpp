// Sector records through the scan classes on a test database: a sector station along a route, a
// conveyor station completing a ticket, and the dashboard notification. No window.
#include "db/Query.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "support/Box.h"
#include "support/HttpReceiver.h"
#include "support/ScanStation.h"
#include "support/TestDb.h"
#include "support/Tones.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <regex>

using namespace vek;
using vek::test::HttpReceiver;
using vek::test::kAlarm;
using vek::test::ReceivedPost;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

// Route of product P100: 10 cutting, 20 sewing (after 10), 30 finishing (after 20, last sector).
class SectorRig : public vek::test::WithTestDb, public vek::test::ScanStation {
public:
    SectorRig() : ScanStation(db.path()) {
        setCurrentFormatSettings(brazilianFormatSettings());
        int order = 0;
        for (const auto& [code, previous] : {std::pair{"10", ""}, {"20", "10"}, {"30", "20"}}) {
            db.exec(
                std::string("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, TIPO_ATU_PRODUCAO_SETOR_SE, "
                            "TIPO_OPERACAO_SE, SEQPROD_SE) values ('") +
                code + "', 'SETOR " + code + "', '" + previous + "', " + std::to_string(++order) + ", 'U', 'P', 'S')");
            db.exec(std::string("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '") +
                    code + "')");
        }
        db.exec("insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', '0001', 2)");
        ctx.settings.FUNCIONARIO = "7";
        ctx.settings.ATU_PRODUCAO_SETOR_CXUNIT = "S";
        ctx.settings.ULTIMO_SETOR_ATU_CXUNIT = "30";
        ctx.params.ALERTA_SONORO = true;
    }

    void box(int code, const std::string& ficha = "0001") { db.exec(vek::test::Box::usual(code).ficha(ficha).sql()); }
    std::string scanIn(const std::string& sector, int code) {
        ctx.settings.SETOR = sector;
        scan.ProcessScan(std::to_string(code));
        return toQString(display.text("pnMens")).toStdString();
    }
    int count(const std::string& where) const { return db.count(where); }
};

TEST(SectorMode, ABoxGoesAlongTheRouteAndIsWrittenOffInTheLastSector) {
    SectorRig rig;
    rig.box(501);
    rig.box(502);
    rig.box(503, "0000");

    // Out of order: refused in red with the alarm, the sector's counts shown, nothing written; the
    // box's lock is gone before the alarm sounds.
    bool lockedDuringMessage = true;
    rig.display.onMessage = [&] { lockedDuringMessage = rig.ctx.sqlCon.inTransaction(); };
    EXPECT_EQ(rig.scanIn("20", 501), "Erro Atu.Produção.CxUnit Setor: Setor anterior 10 não foi baixado!");
    rig.display.onMessage = nullptr;
    EXPECT_FALSE(lockedDuringMessage);
    EXPECT_EQ(rig.display.messageColour, MessageColour::Error);
    EXPECT_EQ(rig.tones.take(), kAlarm);
    EXPECT_EQ(rig.display.text("edTotEtiq"), "0/2");
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT"), 0);

    EXPECT_EQ(rig.scanIn("10", 501), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.display.text("edTotEtiq"), "1/2");
    EXPECT_EQ(rig.count("CODCXUNIT where DTBAIXA_CX is not null"), 0) << "only the last sector writes off";
    EXPECT_EQ(rig.scanIn("20", 501), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.scanIn("30", 501), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("CODCXUNIT where CODIGO_CX = 501 and DTBAIXA_CX is not null and SETOR_CX = '30'"), 1);
    EXPECT_EQ(rig.monitor.dayCount(), 3);

    // Every column of both rows, with the time of the last clock tick.
    auto c = rig.db.connect();
    db::Query u(*c);
    u.setSql("select * from PRODUCAO_SETOR_CXUNIT where SETOR_PU = '20'");
    u.open();
    ASSERT_FALSE(u.eof());
    EXPECT_GT(u.field("ID_PU").asInt(), 0);
    EXPECT_EQ(u.field("PROG_PU").asString(), "000123");
    EXPECT_EQ(u.field("FICHA_PU").asString(), "0001");
    EXPECT_EQ(u.field("SUBFICHA_PU").asString(), "0000");
    EXPECT_EQ(u.field("FUNCIONAR_PU").asString(), "7");
    EXPECT_EQ(u.field("TIPO_OPERACAO_SETOR_PU").asString(), "P");
    EXPECT_EQ(u.field("TIPO_ATUALIZACAO_PU").asString(), "U");
    EXPECT_EQ(u.field("DTSAIDA_PU").asDateTime(), rig.monitor.lastClockTime());
    EXPECT_EQ(u.field("HORASAIDA_PU").asString(), rig.monitor.lastClockTimeText());
    EXPECT_EQ(u.field("CODCXUNIT_PU").asInt(), 501);
    EXPECT_EQ(u.field("QTDE_PU").asInt(), 1);
    db::Query p(*c);
    p.setSql("select * from PRODUCAO_SETOR where SETOR_PS = '20'");
    p.open();
    ASSERT_FALSE(p.eof());
    EXPECT_GT(p.field("ID_PS").asInt(), 0) << "numbered by the database";
    EXPECT_EQ(p.field("PROG_PS").asString(), "000123");
    EXPECT_EQ(p.field("FICHA_PS").asString(), "0001");
    EXPECT_EQ(p.field("SUBFICHA_PS").asString(), "0000");
    EXPECT_EQ(p.field("CODCXUNIT_PS").asInt(), 501);
    EXPECT_EQ(p.field("TIPO_OPERACAO_SETOR_PS").asString(), "P");
    EXPECT_EQ(p.field("TIPO_ATUALIZACAO_PS").asString(), "U");
    EXPECT_EQ(p.field("FUNCIONAR_PS").asString(), "7");
    EXPECT_EQ(p.field("DTSAIDA_PS").asDateTime(), rig.monitor.lastClockTime());
    EXPECT_EQ(p.field("HORASAIDA_PS").asString(), rig.monitor.lastClockTimeText());
    EXPECT_EQ(p.field("QTDE_PS").asInt(), 1);

    // Once written off in the last sector, every sector refuses the box.
    EXPECT_NE(rig.scanIn("10", 501).find("já baixado em"), std::string::npos);

    // A box without a ticket is written off nowhere but writes no sector rows either.
    const int before = rig.count("PRODUCAO_SETOR_CXUNIT");
    EXPECT_EQ(rig.scanIn("10", 503), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT"), before);
}

TEST(SectorMode, ABoxIsRecordedWhollyOrNotAtAll) {
    SectorRig rig;
    rig.box(601);
    rig.ctx.settings.ULTIMO_SETOR_ATU_CXUNIT = "10";
    rig.db.exec("alter table PRODUCAO_SETOR add constraint CK_NOT_HERE check (SETOR_PS <> '10')");
    EXPECT_THROW(rig.scanIn("10", 601), std::exception);
    const auto boxes = rig.boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"601\".\r")));
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT"), 0) << "the box row went back with the refused sector row";
    EXPECT_EQ(rig.count("CODCXUNIT where DTBAIXA_CX is not null"), 0) << "and so did the write-off";
    EXPECT_FALSE(rig.ctx.sqlCon.inTransaction());

    // Mended, the same box goes through at its next scan.
    rig.db.exec("alter table PRODUCAO_SETOR drop constraint CK_NOT_HERE");
    EXPECT_EQ(rig.scanIn("10", 601), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT"), 1);
}

TEST(ConveyorMode, TheLastBoxOfATicketRecordsItOnceWithItsAuditRows) {
    SectorRig rig;
    rig.ctx.settings.ATU_PRODUCAO_SETOR_CXUNIT = "N";
    rig.ctx.settings.SETOR_ATU_PRODUCAO_SETOR = "10";
    rig.db.exec("update SETOR set TIPO_ATU_PRODUCAO_SETOR_SE = 'F' where COD_SE = '10'");
    for (int code : {701, 702, 703}) rig.box(code);
    rig.db.exec("update CODCXUNIT set DATA_CANC_CX = cast('now' as timestamp) where CODIGO_CX = 703");
    EXPECT_EQ(rig.scanIn("", 701), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("PRODUCAO_SETOR"), 0) << "a box still pending";
    EXPECT_EQ(rig.scanIn("", 702), "Etiqueta Atualizada.");
    ASSERT_EQ(rig.display.messages.size(), 2u) << toQString(rig.display.messages[1].text).toUtf8().toStdString();
    EXPECT_EQ(rig.display.text("edTotEtiq"), "2/2");
    EXPECT_EQ(rig.count("PRODUCAO_SETOR where SETOR_PS = '10' and QTDE_PS = 2 and TIPO_ATUALIZACAO_PS = 'F' and "
                        "CODCXUNIT_PS is null and FUNCIONAR_PS is null"),
              1);
    auto c = rig.db.connect();
    db::Query p(*c);
    p.setSql("select * from PRODUCAO_SETOR");
    p.open();
    ASSERT_FALSE(p.eof());
    EXPECT_EQ(p.field("PROG_PS").asString(), "000123");
    EXPECT_EQ(p.field("FICHA_PS").asString(), "0001");
    EXPECT_EQ(p.field("SUBFICHA_PS").asString(), "0000");
    EXPECT_EQ(p.field("TIPO_OPERACAO_SETOR_PS").asString(), "P") << "of the recording sector's row";
    EXPECT_EQ(p.field("DTSAIDA_PS").asDateTime(), rig.monitor.lastClockTime()) << "the last clock tick, not the scan";
    EXPECT_EQ(p.field("HORASAIDA_PS").asString(), rig.monitor.lastClockTimeText());
    // The row is logged before it is applied, while the database has not numbered it yet.
    EXPECT_EQ(rig.count("LOG where ARQ_LG = 'PRODUCAO_SETOR' and CHAVE_LG = '0' and CAMPO_LG = 'INSERIDO' and "
                        "VRANT_LG = 'INSERIDO' and VRATU_LG = 'INSERIDO' and USUARIO_LG = 'QUILBAR'"),
              1);

    // A ticket is recorded once per sector.
    rig.db.exec("update CODCXUNIT set DTBAIXA_CX = null where CODIGO_CX = 702");
    EXPECT_EQ(rig.scanIn("", 702), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.count("PRODUCAO_SETOR"), 1);
}

TEST(ConveyorMode, ARefusedTicketStillEndsTheScanAsASuccess) {
    SectorRig rig;
    rig.ctx.settings.ATU_PRODUCAO_SETOR_CXUNIT = "N";
    rig.ctx.settings.SETOR_ATU_PRODUCAO_SETOR = "20"; // the ticket never passed 10
    rig.box(801);
    EXPECT_EQ(rig.scanIn("", 801), "Etiqueta Atualizada.");
    ASSERT_GE(rig.display.messages.size(), 2u);
    const auto& refusal = rig.display.messages[rig.display.messages.size() - 2];
    EXPECT_EQ(toQString(refusal.text).toStdString(), "Erro Atu.Produção Setor: Setor anterior 10 não foi baixado!");
    EXPECT_EQ(refusal.colour, MessageColour::Error);
    EXPECT_EQ(rig.count("PRODUCAO_SETOR"), 0);
    EXPECT_EQ(rig.count("CODCXUNIT where DTBAIXA_CX is not null"), 1);
}

TEST(ConveyorMode, ARefusedTicketRowIsReportedAndUndoesTheScan) {
    SectorRig rig;
    rig.ctx.settings.ATU_PRODUCAO_SETOR_CXUNIT = "N";
    rig.ctx.settings.SETOR_ATU_PRODUCAO_SETOR = "10";
    rig.db.exec("update SETOR set TIPO_ATU_PRODUCAO_SETOR_SE = 'F' where COD_SE = '10'");
    rig.box(711);
    rig.db.exec("alter table PRODUCAO_SETOR add constraint CK_NOT_HERE check (SETOR_PS <> '10')");
    EXPECT_THROW(rig.scanIn("", 711), std::exception) << "passed on to the platform's own box";
    const auto boxes = rig.boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"711\".\r")));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("CK_NOT_HERE"))) << "with the server's own text";
    EXPECT_NE(rig.display.text("pnMens"), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.monitor.dayCount(), 0) << "no counters for a failed scan";
    // One unit of work: neither the write-off nor the audit row of a row never written stays.
    EXPECT_EQ(rig.count("CODCXUNIT where CODIGO_CX = 711 and DTBAIXA_CX is not null"), 0);
    EXPECT_EQ(rig.count("LOG where ARQ_LG = 'PRODUCAO_SETOR' and CAMPO_LG = 'INSERIDO'"), 0);
    EXPECT_EQ(rig.count("PRODUCAO_SETOR"), 0);
}

const std::string kDashboardPath = "/api/etiqueta_unitaria/atualizar_etiqueta_pendente_setor_anterior";
const std::string kJson = "application/json;charset=utf-8";

TEST(Dashboard, EachRecordedBoxIsAnnouncedWithoutTheStrictRule) {
    HttpReceiver receiver(3000);
    ASSERT_EQ(receiver.port(), 3000) << "port 3000 taken";
    SectorRig rig;
    rig.ctx.params.SERVIDOR_NODE = "127.0.0.1";
    rig.box(901);
    rig.box(902, "0000");
    rig.box(903);

    // The strict rule (the default) sends nothing.
    EXPECT_EQ(rig.scanIn("10", 901), "Etiqueta Atualizada.");
    rig.ctx.params.VALIDAR_SETOR_ANT_OBRIG = false;
    EXPECT_EQ(rig.scanIn("20", 901), "Etiqueta Atualizada.");
    EXPECT_EQ(rig.scanIn("10", 902), "Etiqueta Atualizada.") << "no ticket: id 0 is announced too";
    ASSERT_TRUE(rig.scan.dashboard().queue().drain(std::chrono::seconds(5)));

    auto c = rig.db.connect();
    db::Query q(*c);
    q.setSql("select ID_PU from PRODUCAO_SETOR_CXUNIT where SETOR_PU = '20'");
    q.open();
    const std::vector<ReceivedPost> expected = {
        {kDashboardPath, kJson,
         "{\"id_producao_setor_caixa_unitaria\": " + std::to_string(q.field("ID_PU").asInt()) + "}"},
        {kDashboardPath, kJson, "{\"id_producao_setor_caixa_unitaria\": 0}"}};
    EXPECT_EQ(receiver.posts(), expected);

    // A server that is no host is not posted to ("x@127.0.0.1" would reach this receiver).
    rig.ctx.params.SERVIDOR_NODE = "x@127.0.0.1";
    EXPECT_EQ(rig.scanIn("10", 903), "Etiqueta Atualizada.");
    ASSERT_TRUE(rig.scan.dashboard().queue().drain(std::chrono::seconds(5)));
    EXPECT_EQ(receiver.posts(), expected);
}

TEST(Dashboard, AnAbsentReceiverChangesNothingOfTheScan) {
    SectorRig rig;
    rig.ctx.params.SERVIDOR_NODE = "127.0.0.1"; // nothing listens on port 3000 in this test
    rig.ctx.params.VALIDAR_SETOR_ANT_OBRIG = false;
    rig.box(951);
    EXPECT_EQ(rig.scanIn("10", 951), "Etiqueta Atualizada.");
    EXPECT_TRUE(rig.boxes.take().empty());
    EXPECT_TRUE(rig.scan.dashboard().queue().drain(std::chrono::seconds(5))) << "the failure is dropped";
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT"), 1);
}

TEST(Dashboard, AHangingReceiverNeverHoldsAScan) {
    HttpReceiver receiver(3000, /*hold=*/true);
    ASSERT_EQ(receiver.port(), 3000) << "port 3000 taken";
    SectorRig rig;
    rig.ctx.params.SERVIDOR_NODE = "127.0.0.1";
    rig.ctx.params.VALIDAR_SETOR_ANT_OBRIG = false;
    rig.box(961);
    EXPECT_EQ(rig.scanIn("10", 961), "Etiqueta Atualizada.");
    // The scan has ended while its notification still waits for an answer.
    EXPECT_FALSE(rig.scan.dashboard().queue().drain(std::chrono::milliseconds(0)));
    ASSERT_TRUE(receiver.waitForPosts(1));
    receiver.release();
    EXPECT_TRUE(rig.scan.dashboard().queue().drain(std::chrono::seconds(5)));
}

TEST(Dashboard, AtCloseWhatIsQueuedBehindAHangingReceiverIsDropped) {
    HttpReceiver receiver(0, /*hold=*/true);
    ASSERT_GT(receiver.port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(receiver.port()) + "/api";
    testing::internal::CaptureStderr();
    {
        HttpPostQueue queue;
        for (int id = 1; id <= 3; ++id)
            queue.post(url, "application/json;charset=utf-8", DashboardNotifier::requestBody(id));
        ASSERT_TRUE(receiver.waitForPosts(1));
    } // closing gives the queue 2 s in all: each request would hang for 2 s, so not all three go
    const std::string said = testing::internal::GetCapturedStderr();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(said, m, std::regex("dashboard: ([0-9]+) notification\\(s\\) not sent at close")))
        << said;
    const int dropped = std::stoi(m[1].str());
    const int sent = static_cast<int>(receiver.posts().size());
    EXPECT_LT(sent, 3);
    EXPECT_EQ(sent + dropped, 3) << said;
}

} // namespace
