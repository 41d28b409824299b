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

// The probe finds the server off the window's thread; the kept scans settle at its next turn.
void settleOnceBack(Station& station) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
        station.Settle();
        if (!station.forward().away() && station.forward().waitingCount() == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    ADD_FAILURE() << "the kept scans did not settle once the server was back";
}

class KeptStation {
public:
    KeptStation(const TestDb& db, const std::string& location, const std::string& extra = "EXIBIR_IMG_PRODUTO=N\n") {
        const std::string ini = db.dir() + "/station.INI";
        std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << location << "\nCODESTEIRA=01\n" << extra;
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
    addBoxes(db, {1, 2, 3, 4, 5, 6});
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
    EXPECT_EQ(s.journal().waiting()[0].outcome, cp1252("Sem conexão")) << "8-bit, as the station's other texts";

    server.start();
    s.scan("6");
    EXPECT_EQ(s.count(State::Held), 4) << "kept at once until the probe finds the server";
    settleOnceBack(s.station());
    s.scan("5");
    EXPECT_EQ(s.message(), "Etiqueta Atualizada.");
    EXPECT_EQ(s.display.text("pnConexao"), "");
    EXPECT_EQ(s.display.probeMs, 0);
    EXPECT_EQ(s.count(State::Replayed), 4);
    EXPECT_EQ(s.station().monitor().dayCount(), 6);
    EXPECT_EQ(s.display.text("pnQtParesDia"), "6");
    const auto rows = writtenOff(server.location(db));
    ASSERT_EQ(rows.size(), 6u);
    for (int code = 2; code <= 5; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(rows.at(code).conveyor, "01");
        EXPECT_LT(rows.at(code - 1).at, rows.at(code).at) << "written off at the time each was scanned";
    }
    EXPECT_LT(rows.at(4).at, rows.at(6).at);
    EXPECT_LT(rows.at(6).at, rows.at(5).at);
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

    settleOnceBack(s.station());
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
    settleOnceBack(s.station());
    EXPECT_EQ(s.count(State::Replayed), 1) << "the database held no write-off: the scan ran again";
    const auto rows = writtenOff(server.location(db));
    ASSERT_EQ(rows.count(11), 1u);
    EXPECT_EQ(rows.at(11).conveyor, "01");
    EXPECT_EQ(s.station().monitor().dayCount(), 1);
    EXPECT_TRUE(s.display.lateRefusals.empty());
}

TEST(KeptScans, AnOutageIsToldByTheHeaderAloneSoNoBoxTakesTheNextScan) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBoxes(db, {21});
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    server.stop();
    for (int tick = 1; tick <= 2; ++tick) {
        SCOPED_TRACE(tick);
        s.station().ClockTick();
        EXPECT_TRUE(s.boxes.take().empty()) << "a box would take the scanner's code and Enter";
        EXPECT_EQ(s.display.text("pnConexao"), cp1252("SEM CONEXÃO - 0 leituras guardadas"));
    }
    s.scan("21");
    EXPECT_EQ(s.message(), cp1252("Sem conexão: leitura guardada (1)."));
    server.start();
    settleOnceBack(s.station());
    EXPECT_EQ(writtenOff(server.location(db)).count(21), 1u);
    EXPECT_EQ(s.display.text("pnConexao"), "");
}

TEST(KeptScans, ACatalogueServerAwayCostsThePicturesNotTheScans) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBoxes(db, {31, 32, 33});
    TestDb cat(Schema::Catalogue);
    PrivateServer catalogue;
    const std::string pictures = "EXIBIR_IMG_PRODUTO=S\nBDADOS_CATALOGO=" + catalogue.location(cat) + "\n";
    {
        KeptStation s(db, db.path(), pictures);
        ASSERT_TRUE(s.station().context().ready);
        s.scan("31");
        EXPECT_EQ(s.display.placeholders, 0);
        catalogue.stop();
        s.scan("32");
        EXPECT_EQ(s.message(), "Etiqueta Atualizada.") << "booked at once, not kept";
        EXPECT_EQ(s.display.placeholders, 1) << "SEM IMAGEM in place of the picture";
        EXPECT_TRUE(s.boxes.take().empty());
        EXPECT_EQ(s.count(State::Held), 0);
    }
    // Started while the catalogue is away: ready, and scanning.
    KeptStation s(db, db.path(), pictures);
    EXPECT_TRUE(s.station().context().ready);
    EXPECT_TRUE(s.boxes.take().empty());
    s.scan("33");
    EXPECT_EQ(s.message(), "Etiqueta Atualizada.");
    EXPECT_EQ(writtenOff(db.path()).size(), 3u);
}

} // namespace
