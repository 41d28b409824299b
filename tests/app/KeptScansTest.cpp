// Scans kept in the station's journal while the database server is away or its answer is lost,
// and settled once it is back: the station below its window against a private server.
#include "app/RecordingMessageBoxes.h"
#include "app/RecordingToneOutput.h"
#include "app/Station.h"
#include "db/Query.h"
#include "scan/StoreAndForward.h"
#include "support/Box.h"
#include "support/PrivateServer.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <thread>

using namespace vek;
using vek::journal::State;
using vek::test::Box;
using vek::test::PrivateServer;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

const std::vector<Tone> kAlarm = {{1800, 100}, {1450, 100}, {1800, 100}, {1450, 250}};
const std::vector<Tone> kHeldTone = {{2000, 80}, {2000, 80}};

void addBoxes(const TestDb& db, std::initializer_list<int> codes) {
    for (int code : codes) {
        db.exec(Box::usual(code).sql());
    }
    for (const char* p : {"MSG_CONLUSAO", "ALERTA_SONORO"}) {
        db.exec(std::string("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', '") + p +
                "', 'S')");
    }
}

struct WriteOff {
    std::string conveyor;
    DateTime at;
};

// The written-off boxes, read through `location`.
std::map<int, WriteOff> writtenOff(const std::string& location) {
    db::Connection c;
    c.setDatabase(location);
    c.setPassword(test::serverPassword());
    db::Query q(c);
    q.setSql("select CODIGO_CX, ESTEIRA_CX, DTBAIXA_CX from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    std::map<int, WriteOff> by;
    for (; !q.eof(); q.next())
        by[q.field("CODIGO_CX").asInt()] = {q.field("ESTEIRA_CX").asString(), q.field("DTBAIXA_CX").asDateTime()};
    return by;
}

class KeptStation {
public:
    KeptStation(const TestDb& db, const std::string& location) {
        const std::string ini = db.dir() + "/station.INI";
        std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << location << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n";
        m_station = std::make_unique<Station>(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
        m_station->FormCreate();
    }
    void scan(const std::string& code) { m_station->ScanCode(code); }
    const std::string& message() { return display.text("pnMens"); }
    Station& station() { return *m_station; }
    journal::ScanJournal& journal() { return *m_station->forward().journal(); }
    int count(State s) {
        int n = 0;
        for (const auto& e : journal().entries({})) n += e.state == s;
        return n;
    }

    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;

private:
    std::unique_ptr<Station> m_station;
};

TEST(KeptScans, AServerStoppedDuringARunOfScansGetsEveryKeptBoxOnceInScanOrderWhenItIsBack) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBoxes(db, {1, 2, 3, 4, 5});
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    s.scan("1");
    EXPECT_EQ(s.message(), "Etiqueta Atualizada.");
    s.tones.take();

    server.stop();
    for (int code : {2, 3, 4}) {
        SCOPED_TRACE(code);
        s.scan(std::to_string(code));
        EXPECT_EQ(s.message(), cp1252("Sem conexão: leitura guardada (") + std::to_string(code - 1) + ").");
        EXPECT_EQ(s.display.messageColour, MessageColour::Held);
        EXPECT_EQ(s.tones.take(), kHeldTone);
        EXPECT_TRUE(s.boxes.take().empty()) << "no error box for a kept scan";
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the kept times differ
    }
    EXPECT_EQ(s.display.text("pnConexao"), cp1252("SEM CONEXÃO - 3 leituras guardadas"));
    EXPECT_EQ(s.display.probeMs, StoreAndForward::kProbeMs) << "the database is tried while scans wait";
    EXPECT_EQ(s.station().monitor().dayCount(), 1) << "kept scans are not counted yet";
    s.scan("abc");
    EXPECT_EQ(s.message(), cp1252("Código Inválido.")) << "text that is no code is refused at once";
    EXPECT_EQ(s.count(State::Held), 3);

    server.start();
    s.scan("5"); // the kept ones go first
    EXPECT_EQ(s.message(), "Etiqueta Atualizada.");
    EXPECT_EQ(s.display.text("pnConexao"), "");
    EXPECT_EQ(s.display.probeMs, 0);
    EXPECT_EQ(s.count(State::Replayed), 3);
    EXPECT_EQ(s.station().monitor().dayCount(), 5);
    EXPECT_EQ(s.display.text("pnQtParesDia"), "5");
    const auto rows = writtenOff(server.location(db));
    ASSERT_EQ(rows.size(), 5u);
    for (int code = 2; code <= 5; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(rows.at(code).conveyor, "01");
        EXPECT_LT(rows.at(code - 1).at, rows.at(code).at) << "written off at the time each was scanned";
    }
}

TEST(KeptScans, AKeptBoxTakenMeanwhileAndAKeptUnknownCodeAreLateRefusalsUntilAcknowledged) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBoxes(db, {7, 8});
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    server.stop();
    for (const char* code : {"7", "999", "8"}) s.scan(code);
    EXPECT_EQ(s.count(State::Held), 3);
    server.start();
    {
        db::Connection other; // another station, quicker once the server was back
        other.setDatabase(server.location(db));
        other.setPassword(test::serverPassword());
        other.executeImmediate(
            "update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '02' where CODIGO_CX = 7");
    }
    s.tones.take();

    s.station().Settle();
    const auto& late = s.display.lateRefusals;
    ASSERT_EQ(late.size(), 2u);
    EXPECT_EQ(late[0].code, "7");
    EXPECT_EQ(late[0].reason.rfind(cp1252("Código \"7\" já baixado em "), 0), 0u) << late[0].reason;
    EXPECT_EQ(late[1].code, "999");
    EXPECT_EQ(late[1].reason, cp1252("Código não localizado."));
    EXPECT_EQ(late[0].time.size(), std::string("18/05 17:45:12").size());
    EXPECT_EQ(s.tones.take(), kAlarm) << "the alarm once for the batch, no tones per settled scan";
    EXPECT_EQ(s.count(State::LateRefused), 2);
    EXPECT_EQ(s.count(State::Replayed), 1);
    const auto rows = writtenOff(server.location(db));
    EXPECT_EQ(rows.at(7).conveyor, "02") << "the other station's write-off stands";
    EXPECT_EQ(rows.at(8).conveyor, "01");

    s.station().AcknowledgeLateRefusals(); // F8
    EXPECT_TRUE(s.display.lateRefusals.empty());
}

TEST(KeptScans, AServerKilledDuringAWriteOffLeavesTheScanInDoubtUntilTheDatabaseTellsWhatBecameOfIt) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBoxes(db, {11});
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    // Another connection holds the box's row, so the write-off is on the server when it dies.
    auto holder = db.connectRemote();
    holder->setDatabase(server.location(db));
    holder->startTransaction();
    holder->executeImmediate("update CODCXUNIT set TAM_CX = '39' where CODIGO_CX = 11");
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        server.kill();
    });
    s.scan("11");
    killer.join();
    EXPECT_EQ(s.message(), cp1252("Sem resposta do banco: leitura guardada para conferência."));
    EXPECT_EQ(s.display.messageColour, MessageColour::Held);
    EXPECT_TRUE(s.boxes.take().empty()) << "a scan that may be booked is not reported as failed";
    EXPECT_EQ(s.count(State::InDoubt), 1);
    EXPECT_EQ(s.station().monitor().dayCount(), 0);

    server.start();
    s.station().Settle();
    EXPECT_EQ(s.count(State::Replayed), 1) << "the database held no write-off: the scan ran again";
    const auto rows = writtenOff(server.location(db));
    ASSERT_EQ(rows.count(11), 1u);
    EXPECT_EQ(rows.at(11).conveyor, "01");
    EXPECT_EQ(s.station().monitor().dayCount(), 1);
    EXPECT_TRUE(s.display.lateRefusals.empty());
}

} // namespace
