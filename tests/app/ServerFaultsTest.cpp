// The station below its window against a real database server that goes away, comes back late, or
// holds a box's row for another connection.
#include "app/Station.h"
#include "db/Query.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "support/Box.h"
#include "support/PrivateServer.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "support/Tones.h"
#include "util/Format.h"

#include <fstream>
#include <gtest/gtest.h>

#include <chrono>
#include <map>

using namespace vek;
using vek::test::Box;
using vek::test::kAlarm;
using vek::test::kSuccess;
using vek::test::PrivateServer;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

const std::string kUpdated = "Etiqueta Atualizada.";

void addBox(const TestDb& db, int code, const std::string& writtenOff = "null") {
    db.exec(Box::usual(code).writtenOff(writtenOff).set("ESTEIRA_CX", writtenOff == "null" ? "null" : "'01'").sql());
}

void switchOn(const TestDb& db, const char* name) {
    db.exec(std::string("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', '") + name +
            "', 'S')");
}

// The written-off boxes and their conveyors, read through `location`.
std::map<int, std::string> writtenOff(const std::string& location) {
    db::Connection c;
    c.setDatabase(location);
    c.setPassword(test::serverPassword());
    db::Query q(c);
    q.setSql("select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    std::map<int, std::string> by;
    for (; !q.eof(); q.next()) by[q.field("CODIGO_CX").asInt()] = q.field("ESTEIRA_CX").asString();
    return by;
}

// A station started on `location` (conveyor 01 plus `extra` settings), its screen, tones and boxes
// recorded.
class RecordedStation {
public:
    RecordedStation(const TestDb& db, const std::string& location, const std::string& extra = {}) {
        const std::string ini = db.dir() + "/station.INI";
        std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << location << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n" << extra;
        m_station = std::make_unique<Station>(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
        m_station->FormCreate();
    }

    void scan(const std::string& code) { m_station->ScanCode(code); }
    const std::string& message() { return display.text("pnMens"); }
    Station& station() { return *m_station; }
    std::string startUpError() {
        const auto shown = boxes.take();
        return shown.empty() ? std::string() : shown.front().text.toStdString();
    }

    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;

private:
    std::unique_ptr<Station> m_station; // last: goes before what it shows on
};

TEST(ServerFaults, ScansGoOnAfterTheServerWasStoppedAndStartedAgain) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBox(db, 1);
    addBox(db, 2);
    switchOn(db, "MSG_CONLUSAO");
    PrivateServer server;
    // Without keeping scans: as a station that does not keep them when the server is away.
    RecordedStation s(db, server.location(db), "GUARDAR_SEM_CONEXAO=N\n");
    ASSERT_TRUE(s.station().context().ready) << s.startUpError();

    s.scan("1");
    EXPECT_EQ(s.message(), kUpdated);

    server.stop();
    // The first scan meets the dead connection, the second one a server that refuses to attach:
    // both are told in the error box, and neither leaves the station stuck on a dead handle.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        s.scan("2");
        const auto shown = s.boxes.take();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].icon, MessageBoxes::Icon::Error);
        EXPECT_NE(s.message(), kUpdated);
    }

    server.start();
    s.scan("2");
    EXPECT_EQ(s.message(), kUpdated) << "no restart of the station";
    EXPECT_TRUE(s.boxes.take().empty());
    EXPECT_EQ(s.display.text("pnQtParesDia"), "2");
    EXPECT_EQ(writtenOff(server.location(db)), (std::map<int, std::string>{{1, "01"}, {2, "01"}}));
}

TEST(ServerFaults, AStartUpWithTheServerDownFinishesAtTheFirstScanAfterItCameBack) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBox(db, 41, "cast('now' as timestamp)"); // today's production so far
    addBox(db, 42);
    switchOn(db, "MSG_CONLUSAO");
    switchOn(db, "ALERTA_SONORO");
    PrivateServer server(PrivateServer::State::Stopped);
    RecordedStation s(db, server.location(db), "GUARDAR_SEM_CONEXAO=N\n");
    EXPECT_FALSE(s.station().context().ready);
    EXPECT_EQ(s.boxes.take().size(), 1u) << "the start-up's error";

    // Still down: red with the alarm, although the tone switch could not be read.
    s.scan("42");
    EXPECT_EQ(s.display.messageColour, MessageColour::Error);
    EXPECT_FALSE(s.message().empty());
    EXPECT_EQ(s.tones.take(), kAlarm);
    EXPECT_TRUE(s.boxes.take().empty());

    server.start();
    s.scan("42");
    EXPECT_TRUE(s.station().context().ready);
    EXPECT_EQ(s.message(), kUpdated) << "the success message's switch was read";
    EXPECT_EQ(s.display.messageColour, MessageColour::Success);
    EXPECT_EQ(s.tones.take(), kSuccess);
    EXPECT_EQ(s.display.text("pnQtParesDia"), "2") << "the counters were loaded before this box was added";
    EXPECT_TRUE(s.boxes.take().empty());
    EXPECT_EQ(writtenOff(server.location(db)), (std::map<int, std::string>{{41, "01"}, {42, "01"}}));
}

TEST(ServerFaults, ABoxRowHeldByAnotherConnectionFailsTheScanUntilItIsReleased) {
    setCurrentFormatSettings(brazilianFormatSettings());
    // Conveyor mode waits in the write-off, sector mode on the box's lock before its validation.
    for (const bool sector : {false, true}) {
        SCOPED_TRACE(sector ? "sector mode" : "conveyor mode");
        TestDb db(Schema::Main);
        addBox(db, 7);
        switchOn(db, "MSG_CONLUSAO");
        db.exec("insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', '0001', 1)");
        db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, TIPO_ATU_PRODUCAO_SETOR_SE, SEQPROD_SE) "
                "values ('10', 'CORTE', '', 1, 'N', 'S')");
        db.exec("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '10')");
        const std::string location = db.remoteLocation();
        RecordedStation s(db, location,
                          sector ? "ATU_PRODUCAO_SETOR_CXUNIT=S\nSETOR=10\nFUNCIONARIO=7\nULTIMO_SETOR_ATU_CXUNIT=10\n"
                                 : "");
        ASSERT_TRUE(s.station().context().ready) << s.startUpError();
        // The station has no setting for it; its default would make the wait 10 s.
        s.station().context().sqlCon.setLockTimeout(2);
        auto recorded = [&] {
            db::Connection c;
            c.setDatabase(location);
            c.setPassword(test::serverPassword());
            db::Query q(c);
            q.setSql("select count(*) as N from PRODUCAO_SETOR_CXUNIT");
            q.open();
            return q.field("N").asInt();
        };

        auto holder = db.connectRemote();
        holder->startTransaction();
        holder->executeImmediate("update CODCXUNIT set TAM_CX = '39' where CODIGO_CX = 7");
        const auto start = std::chrono::steady_clock::now();
        s.scan("7");
        // A lock wait that ran out reports the codes of a conflict worth trying again: the tries
        // together stay within one timeout (each try would wait the full 2 s again).
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6)) << "waited once, not per try";
        const auto shown = s.boxes.take();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown[0].title, QStringLiteral("Erro"));
        EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"7\".\r")))
            << shown[0].text.toStdString();
        EXPECT_NE(s.message(), kUpdated);
        EXPECT_TRUE(writtenOff(location).empty());
        EXPECT_EQ(recorded(), 0);
        EXPECT_EQ(s.station().monitor().dayCount(), 0);

        holder->rollback();
        s.scan("7");
        EXPECT_EQ(s.message(), kUpdated);
        EXPECT_TRUE(s.boxes.take().empty());
        EXPECT_EQ(writtenOff(location), (std::map<int, std::string>{{7, "01"}}));
        EXPECT_EQ(recorded(), sector ? 1 : 0);
        holder->close();
    }
}

} // namespace
