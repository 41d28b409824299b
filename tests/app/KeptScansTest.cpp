// Scans kept in the station's journal while the database server is away or its answer is lost,
// and settled once it is back: the station below its window against a private server.
#include "../metrics/ExpositionFormat.h"
#include "app/Station.h"
#include "db/Query.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/StoreAndForward.h"
#include "support/Box.h"
#include "support/FreePort.h"
#include "support/PrivateServer.h"
#include "support/RecordingDisplay.h"
#include "support/TcpProxy.h"
#include "support/TestDb.h"
#include "support/Tones.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <httplib.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <thread>

using namespace vek;
using vek::journal::Kind;
using vek::journal::State;
using vek::test::addUsualBoxes;
using vek::test::Box;
using vek::test::kAlarm;
using vek::test::PrivateServer;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

const std::vector<Tone> kHeldTone = {{2000, 80}, {2000, 80}};

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
    /// The entry of the last scan of `text`.
    journal::Entry entry(const std::string& text) {
        journal::Entry last;
        for (const auto& e : journal().entries({})) {
            if (e.text == text) last = e;
        }
        return last;
    }
    /// The scan's answer never reached the journal: its process died between the commit and the mark,
    /// or (with `outcome`) the answer was lost.
    void unmark(const std::string& text, const std::string& outcome = {}) {
        journal().finish(entry(text).id, State::InDoubt, outcome);
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
    addUsualBoxes(db, {1, 2, 3, 4, 5, 6}, true);
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
    EXPECT_EQ(s.display.probeMs, 5000) << "the database is tried every 5 s while scans wait";
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
    addUsualBoxes(db, {7, 8}, true);
    // Sub-ticket 000123/0001/00A1: boxes 9 and 10 of size 40.
    db.exec(Box::usual(9).tam("40").sql());
    db.exec(Box::usual(10).tam("40").sql());
    db.exec("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) "
            "values (1, '000123', '0001', '00A1', '40', 2)");
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    server.stop();
    for (const char* code : {"7", "999", "8", "2000123000100A1"}) s.scan(code);
    EXPECT_EQ(s.count(State::Held), 4);
    server.start();
    {
        const auto other = server.connect(db); // another station, quicker once the server was back
        other->executeImmediate(
            "update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '02' where CODIGO_CX = 7");
        // Its claim names no station; its boxes do.
        other->executeImmediate("update SUBPROD set DTBAIXA_PR = cast('now' as timestamp) where ID_PR = 1");
        other->executeImmediate("update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '02' "
                                "where CODIGO_CX in (9, 10)");
    }
    s.tones.take();

    settleOnceBack(s.station());
    const auto& late = s.display.lateRefusals;
    ASSERT_EQ(late.size(), 3u);
    EXPECT_EQ(late[0].code, "7");
    EXPECT_EQ(late[0].reason.rfind(cp1252("Código \"7\" já baixado em "), 0), 0u) << late[0].reason;
    EXPECT_EQ(late[1].code, "999");
    EXPECT_EQ(late[1].reason, cp1252("Código não localizado."));
    EXPECT_EQ(late[2].reason, cp1252("Subficha já baixada (000123/0001/00A1)."));
    EXPECT_EQ(late[0].time.size(), std::string("18/05 17:45:12").size());
    EXPECT_EQ(s.tones.take(), kAlarm) << "the alarm once for the batch, no tones per settled scan";
    EXPECT_EQ(s.count(State::LateRefused), 3);
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
    addUsualBoxes(db, {11}, true);
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    // Another connection holds the box's row, so the write-off is on the server when it dies.
    auto holder = server.connect(db);
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
    addUsualBoxes(db, {21}, true);
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
    addUsualBoxes(db, {31, 32, 33}, true);
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

// A record of a sector carries the minute clock's time. The read-back of a scan whose answer was lost
// takes it for ours by that rule, also when the clock was behind; after a tick that failed, the
// scan's own reading of the server's clock moves it.
TEST(KeptScans, SectorRecordsMadeWithALateClockOrAfterAFailedTickAreReadBackAsBooked) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {61, 62}, true);
    db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, TIPO_ATU_PRODUCAO_SETOR_SE, TIPO_OPERACAO_SE, "
            "SEQPROD_SE) values ('10', 'SETOR 10', '', 1, 'N', 'P', 'S')");
    db.exec("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '10')");
    db.exec("insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', '0001', 2)");
    PrivateServer server;
    KeptStation s(db, server.location(db),
                  "EXIBIR_IMG_PRODUTO=N\nATU_PRODUCAO_SETOR_CXUNIT=S\nSETOR=10\nFUNCIONARIO=7\n"
                  "ULTIMO_SETOR_ATU_CXUNIT=30\n");
    ASSERT_TRUE(s.station().context().ready);
    ProductionMonitor& monitor = s.station().monitor();
    const DateTime now = *s.station().context().serverTimeEstimate();
    monitor.setClockTime(now.addTicks(-150 * DateTime::kTicksPerSecond)); // a window busy for minutes
    s.scan("61");
    ASSERT_EQ(s.message(), "Etiqueta Atualizada.");

    server.stop();
    EXPECT_ANY_THROW(monitor.ClockTick());
    server.start();
    s.scan("62");
    ASSERT_EQ(s.message(), "Etiqueta Atualizada.");
    const auto c = server.connect(db);
    db::Query q(*c);
    q.setSql("select DTSAIDA_PU from PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 62");
    q.open();
    EXPECT_GE(q.field("DTSAIDA_PU").asDateTime(), now) << "the clock caught up at the scan";
    q.close();

    for (const char* code : {"61", "62"}) s.unmark(code, "Error reading data from the connection.");
    s.station().Settle();
    EXPECT_TRUE(s.display.lateRefusals.empty()) << s.display.lateRefusals.front().reason;
    EXPECT_EQ(s.count(State::Replayed), 2);
    q.setSql("select count(*) as N from PRODUCAO_SETOR_CXUNIT");
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 2) << "recorded once each";
}

// A restart: one box booked just before the process died, before its journal heard of it, and one
// kept while the server is still away, by a process that never read the server's clock.
TEST(KeptScans, ARestartedStationCountsItsLastBookingOnceAndDatesItsKeptScansByTheServersClock) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {71, 72}, true);
    PrivateServer server;
    {
        KeptStation before(db, server.location(db));
        before.scan("71");
        ASSERT_EQ(before.message(), "Etiqueta Atualizada.");
        before.unmark("71");
    }
    server.stop();
    KeptStation s(db, server.location(db));
    EXPECT_FALSE(s.station().context().ready);
    const DateTime scanned = DateTime::localNow();
    s.scan("72");
    EXPECT_EQ(s.message(), cp1252("Sem conexão: leitura guardada (2)."));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    server.start();
    settleOnceBack(s.station());
    EXPECT_EQ(s.count(State::Replayed), 2);
    EXPECT_EQ(s.station().monitor().dayCount(), 2) << "the box booked before the restart is counted once";
    const auto rows = writtenOff(server.location(db));
    ASSERT_EQ(rows.count(72), 1u);
    // The test server runs on this machine: its clock is the machine's.
    EXPECT_LT(rows.at(72).at, scanned.addTicks(DateTime::kTicksPerSecond)) << "not the settling time";
    EXPECT_GT(rows.at(72).at, scanned.addTicks(-DateTime::kTicksPerSecond));
}

// Another transaction holds the box: first past the lock timeout, a passing error, then until our
// own lost commit lands, as a commit whose connection was cut may land after the read-back.
TEST(KeptScans, ARowHeldByAnotherTransactionLeavesTheEntryWaitingAndAnOwnCommitLandingLateIsBooked) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {91}, true);
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    const std::optional<DateTime> scanned = s.station().context().serverTimeEstimate();
    auto lost = server.connect(db); // the station's commit, cut from it and still under way
    lost->startTransaction();
    lost->executeImmediate("update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '01', "
                           "SETOR_CX = '', FUNCIONARIO_CX = '' where CODIGO_CX = 91");
    const std::int64_t id = s.journal().begin("91", Kind::Box, scanned, s.station().forward().stationId());
    const std::string lostAnswer = "Error reading data from the connection.";
    s.journal().finish(id, State::InDoubt, lostAnswer);

    s.station().context().sqlCon.setLockTimeout(1);
    s.station().Settle();
    EXPECT_TRUE(s.display.lateRefusals.empty()) << s.display.lateRefusals.front().reason;
    EXPECT_EQ(s.journal().entry(id)->state, State::InDoubt) << "it waits for the next probe";
    EXPECT_EQ(s.journal().entry(id)->outcome, lostAnswer);
    EXPECT_EQ(s.display.text("pnConexao"), cp1252("SEM CONEXÃO - 1 leituras guardadas"));

    s.station().context().sqlCon.setLockTimeout(10);
    std::thread lands([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        lost->commit();
    });
    s.station().Settle();
    lands.join();
    EXPECT_TRUE(s.display.lateRefusals.empty()) << s.display.lateRefusals.front().reason;
    EXPECT_EQ(s.journal().entry(id)->state, State::Replayed);
    EXPECT_EQ(s.station().monitor().dayCount(), 1);
    EXPECT_EQ(writtenOff(server.location(db)).at(91).conveyor, "01");
}

// The journal's disk fills while scans are kept: the count stays on screen, and once there is room
// the journal opens again and its scans are booked.
TEST(KeptScans, AJournalWhoseDiskFillsKeepsItsCountShownAndLosesNothingOnceThereIsRoom) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {101, 102, 103}, true);
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    server.stop();
    s.scan("101");
    s.scan("102");
    ASSERT_EQ(s.count(State::Held), 2);
    {
        // Nothing this process writes gets to the disk any more.
        struct Full {
            rlimit saved{};
            void (*handler)(int) = nullptr;
            explicit Full(rlim_t size) {
                getrlimit(RLIMIT_FSIZE, &saved);
                handler = std::signal(SIGXFSZ, SIG_IGN);
                rlimit full = saved;
                full.rlim_cur = size;
                setrlimit(RLIMIT_FSIZE, &full);
            }
            ~Full() {
                setrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, handler);
            }
        } full(1);
        s.scan("103");
        s.station().Settle();
    }
    const auto boxes = s.boxes.take();
    ASSERT_FALSE(boxes.empty());
    EXPECT_TRUE(boxes[0].text.startsWith(QString::fromUtf8("Diário de leituras indisponível")))
        << boxes[0].text.toStdString();
    EXPECT_EQ(s.display.text("pnConexao"), cp1252("SEM CONEXÃO - 2 leituras guardadas"));
    EXPECT_GT(s.display.probeMs, 0) << "the probe goes on";

    server.start();
    settleOnceBack(s.station());
    ASSERT_NE(s.station().forward().journal(), nullptr) << "opened again";
    EXPECT_EQ(s.count(State::Replayed), 2);
    const auto rows = writtenOff(server.location(db));
    EXPECT_EQ(rows.count(101) + rows.count(102), 2u);
    EXPECT_EQ(rows.count(103), 0u) << "told as failed, not kept";
    EXPECT_EQ(s.display.text("pnConexao"), "");
}

// A server that is stopping refuses attaches: the kept scans wait for it, as for a server away.
TEST(KeptScans, AnAttachRefusedWhileTheServerStopsLeavesTheKeptScanWaiting) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {111}, true);
    PrivateServer server;
    test::TcpProxy proxy(server.port());
    KeptStation s(db, "127.0.0.1/" + std::to_string(proxy.port()) + ":" + db.path());
    ASSERT_TRUE(s.station().context().ready);
    const std::int64_t id = s.journal().begin("111", Kind::Box, s.station().context().serverTimeEstimate(),
                                              s.station().forward().stationId());
    s.journal().finish(id, State::Held, cp1252("Sem conexão"));
    s.station().context().sqlCon.close(); // its next statement attaches again
    proxy.refuseNew(true);
    s.station().Settle();
    EXPECT_TRUE(s.display.lateRefusals.empty()) << s.display.lateRefusals.front().reason;
    EXPECT_EQ(s.journal().entry(id)->state, State::Held);
    EXPECT_TRUE(s.station().forward().away());

    proxy.refuseNew(false);
    settleOnceBack(s.station());
    EXPECT_EQ(s.journal().entry(id)->state, State::Replayed);
}

// An entry without a time (kept before the station ever knew the server's clock) is written off at
// the time of its first settling; when that answer is lost, the next settling asks for that time.
TEST(KeptScans, AnEntryWithoutATimeIsReadBackByTheTimeOfItsFirstSettling) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {121}, true);
    PrivateServer server;
    KeptStation s(db, server.location(db));
    ASSERT_TRUE(s.station().context().ready);
    const std::int64_t id = s.journal().begin("121", Kind::Box, std::nullopt, s.station().forward().stationId());
    s.journal().finish(id, State::Held, cp1252("Sem conexão"));
    s.station().Settle();
    ASSERT_EQ(s.journal().entry(id)->state, State::Replayed);
    s.journal().finish(id, State::InDoubt, "Error reading data from the connection."); // as if its answer was lost
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    s.station().Settle();
    EXPECT_TRUE(s.display.lateRefusals.empty()) << s.display.lateRefusals.front().reason;
    EXPECT_EQ(s.journal().entry(id)->state, State::Replayed);
}

// The office reads the station's page between scans: its figures follow the scans and the kept ones,
// and a flood of connections that send nothing does not hold a scan up.
TEST(KeptScans, TheMetricsPageFollowsTheScansAndTheHealthCheckTheDatabase) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addUsualBoxes(db, {131, 132, 133}, true);
    PrivateServer server;
    const int port = test::freePort(SOCK_STREAM);
    KeptStation s(db, server.location(db), "EXIBIR_IMG_PRODUTO=N\nMETRICAS_PORTA=" + std::to_string(port) + "\n");
    ASSERT_NE(s.station().metricsEndpoint(), nullptr);
    httplib::Client office("127.0.0.1", port);
    office.set_read_timeout(10, 0);
    auto page = [&] {
        const auto r = office.Get("/metrics");
        EXPECT_TRUE(r && r->status == 200);
        const test::Exposition e = test::readExposition(r ? r->body : std::string());
        EXPECT_EQ(e.fault, "");
        return e.samples;
    };
    EXPECT_EQ(office.Get("/health")->status, 200);
    s.scan("131");
    s.scan("abc");
    auto figures = page();
    EXPECT_EQ(figures["vek_scans_total{outcome=\"booked\"}"], 1);
    EXPECT_EQ(figures["vek_scans_total{outcome=\"refused\"}"], 1);
    EXPECT_EQ(figures["vek_production_day_boxes"], 1);
    EXPECT_EQ(figures["vek_database_connected"], 1);
    EXPECT_GT(figures["vek_last_server_contact_timestamp_seconds"], 0);

    server.stop();
    std::vector<int> idle; // connections that never send a request
    for (int i = 0; i < 20; ++i) {
        // Not blocking: past the endpoint's workers and its listen queue, a connect waits unaccepted.
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        idle.push_back(fd);
    }
    for (const char* code : {"132", "133"}) {
        const auto start = std::chrono::steady_clock::now();
        s.scan(code);
        EXPECT_EQ(s.display.messageColour, MessageColour::Held);
        // Far below the endpoint's 5 s read timeout that the idle connections hold its workers for.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    for (int fd : idle) ::close(fd);
    figures = page();
    EXPECT_EQ(figures["vek_scans_total{outcome=\"kept\"}"], 2);
    EXPECT_EQ(figures["vek_journal_waiting_entries{state=\"held\"}"], 2);
    EXPECT_EQ(figures["vek_database_connected"], 0);
    const auto away = office.Get("/health");
    EXPECT_EQ(away->status, 503);
    EXPECT_EQ(away->body, "database away\n");

    server.start();
    settleOnceBack(s.station());
    EXPECT_EQ(office.Get("/health")->status, 200);
    figures = page();
    EXPECT_EQ(figures["vek_journal_waiting_entries{state=\"held\"}"], 0);
    EXPECT_EQ(figures["vek_production_day_boxes"], 3);
}

} // namespace
