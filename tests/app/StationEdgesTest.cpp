// The scan journal at the edges of a real installation: stations whose settings share a folder,
// a station started twice, and a network that goes silent under a station's feet.
#include "app/StationRun.h"
#include "app/StationsTogether.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/PrivateServer.h"
#include "support/TcpProxy.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

using namespace vek;
using namespace vek::test;

namespace {

const QString kUpdated = QStringLiteral("Etiqueta Atualizada.");

void addBoxes(const TestDb& db, int first, int last) {
    std::vector<int> codes;
    for (int code = first; code <= last; ++code) codes.push_back(code);
    vek::test::addUsualBoxes(db, codes);
}

std::string ini(const std::string& location, const std::string& conveyor, const std::string& extra = {}) {
    return "[ESTEIRA]\r\nBDADOS=" + location + "\r\nCODESTEIRA=" + conveyor + "\r\nEXIBIR_IMG_PRODUTO=N\r\n" + extra;
}

// code -> state, from the journal of the station whose settings file is `settings`.
std::map<QString, QString> journalStates(const std::string& settings) {
    std::map<QString, QString> states;
    const QStringList rows =
        journalOutput(settings, {QStringLiteral("--csv")}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 1; i < rows.size(); ++i) {
        // id,scanned,server time,kind,code,state,...: nothing before the outcome holds a comma.
        const QStringList cells = rows[i].split(QLatin1Char(','));
        if (cells.size() < 6) continue;
        EXPECT_EQ(states.count(cells[4]), 0u) << "one entry per scan of " << cells[4].toStdString();
        states[cells[4]] = cells[5];
    }
    return states;
}

TEST(StationEdges, TwoConveyorsWhoseSettingsShareAFolderEachBookOnlyWhatTheyShowed) {
    TestDb db(Schema::Main);
    addBoxes(db, 1, 40);
    const std::string dir = db.dir() + "/shared";
    QStringList script;
    for (int code = 1; code <= 40; ++code) script << QString::number(code);
    std::map<std::string, std::unique_ptr<StationProcess>> stations;
    for (const char* conveyor : {"01", "02"}) {
        const std::string name = std::string("conveyor-") + conveyor;
        stations[conveyor] = std::make_unique<StationProcess>(dir, ini(db.remoteLocation(), conveyor), script,
                                                              StationProcess::Options{name, {}, {}});
    }
    std::map<std::string, std::set<QString>> shown; // conveyor -> codes it showed booked
    for (auto& [conveyor, process] : stations) {
        const StationRun run = process->finish();
        ASSERT_EQ(run.exitCode, 0) << conveyor << ": " << run.errors.toStdString();
        ASSERT_EQ(run.lines.size(), 41u) << conveyor << " ran every line";
        for (std::size_t i = 1; i < run.lines.size(); ++i) {
            if (run.text(i, "pnMens") == kUpdated) shown[conveyor].insert(run.lines[i]["input"].toString());
        }
    }
    const Rows rows = serverRows(db, "select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not null");
    ASSERT_EQ(rows.size(), 40u);
    for (const auto& row : rows) {
        const QString code = QString::fromStdString(row[0]);
        const std::string other = row[1] == "01" ? "02" : "01";
        EXPECT_EQ(shown[row[1]].count(code), 1u) << row[0] << " written off by " << row[1] << ", which did not say so";
        EXPECT_EQ(shown[other].count(code), 0u) << row[0] << " shown booked by " << other << " too";
    }
    for (const char* conveyor : {"01", "02"}) {
        SCOPED_TRACE(conveyor);
        const auto states = journalStates(dir + "/conveyor-" + conveyor + ".INI");
        EXPECT_EQ(states.size(), 40u) << "its own scans, none of the other's";
        for (const auto& [code, state] : states) {
            EXPECT_EQ(state, shown[conveyor].count(code) ? QStringLiteral("done") : QStringLiteral("refused"))
                << code.toStdString();
        }
    }
}

TEST(StationEdges, ASecondProcessOfTheSameStationSaysSoAndEndsBeforeItScans) {
    TestDb db(Schema::Main);
    addBoxes(db, 1, 2);
    const std::string dir = db.dir() + "/first";
    StationProcess first(dir, ini(db.remoteLocation(), "01"), {QStringLiteral("1"), QStringLiteral("<wait>60000")});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (linesIn(dir + "/out.jsonl") < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(first.running());

    struct Second {
        const char* what;
        StationProcess::Options options;
        std::string extra;
    };
    const Second seconds[] = {
        {"the same settings file", {"again", {}, dir + "/station.INI"}, {}},
        {"another settings file, the same journal",
         {"other", {}, {}},
         "DIARIO_LEITURAS=" + dir + "/station-journal.db\r\n"},
    };
    for (const Second& s : seconds) {
        SCOPED_TRACE(s.what);
        const StationRun run = StationProcess(db.dir() + "/second", ini(db.remoteLocation(), "01", s.extra),
                                              {QStringLiteral("2")}, s.options)
                                   .finish();
        EXPECT_EQ(run.exitCode, 3) << run.errors.toStdString();
        ASSERT_EQ(run.lines.size(), 1u) << "nothing scanned";
        const QJsonArray boxes = run.boxes(0);
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0].toObject()["text"].toString().contains(u("já está em execução")))
            << boxes[0].toObject()["text"].toString().toStdString();
    }
    EXPECT_EQ(serverCount(db, "CODCXUNIT where DTBAIXA_CX is not null"), 1) << "only the first station's scan";
}

TEST(StationEdges, ANetworkThatGoesSilentNeverHoldsAScanLongAndEveryBoxIsBookedOnce) {
    TestDb db(Schema::Main);
    constexpr int kBoxes = 90;
    addBoxes(db, 1, kBoxes);
    PrivateServer server;
    TcpProxy proxy(server.port());
    std::string location = server.location(db);
    location.replace(location.find('/' + std::to_string(server.port()) + ':'), std::to_string(server.port()).size() + 2,
                     '/' + std::to_string(proxy.port()) + ':');
    QStringList script;
    for (int code = 1; code <= kBoxes; ++code) script << QString::number(code) << QStringLiteral("<wait>400");
    script << QStringLiteral("<settle>");
    const std::string dir = db.dir() + "/silent";
    StationProcess station(dir, ini(location, "01"), script,
                           {"station", {{QStringLiteral("VEK_SCRIPT_TIMINGS"), QStringLiteral("1")}}, {}});
    // Silent for 35 s from the tenth box on: nothing closes, nothing arrives.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (linesIn(station.outputPath()) < 21 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    proxy.pause();
    std::this_thread::sleep_for(std::chrono::seconds(35));
    proxy.resume();
    const StationRun run = station.finish();
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.timings.size(), script.size() + 1u) << "the start-up line and one per script line";

    // INPUT ELAPSED_US START_US RETRIES CPU_US BOXES MESSAGE
    int slow = 0;
    double longest = 0, longestKept = 0;
    bool silenceMet = false;
    std::set<QString> kept;
    for (const QStringList& t : run.timings) {
        if (t.size() < 7 || t[0].isEmpty() || t[0].startsWith(QLatin1Char('<'))) continue; // the start-up, waits
        const double seconds = t[1].toDouble() / 1e6;
        longest = std::max(longest, seconds);
        EXPECT_LT(seconds, 15.0) << t.join(QLatin1Char('|')).toStdString();
        if (seconds > 1.0) ++slow;
        const QString& message = t[6];
        if (message.startsWith(u("Sem conexão")) || message.startsWith(u("Sem resposta"))) {
            kept.insert(t[0]);
            if (!silenceMet) {
                silenceMet = true;
            } else {
                EXPECT_LT(seconds, 1.0) << t[0].toStdString() << ": kept at once once the station knew";
                longestKept = std::max(longestKept, seconds);
            }
        } else {
            EXPECT_EQ(message, kUpdated) << t.join(QLatin1Char('|')).toStdString();
        }
    }
    EXPECT_TRUE(silenceMet) << "no scan met the silence";
    std::printf("silent network: longest scan %.2f s, the next kept ones at most %.3f s each, %zu kept\n", longest,
                longestKept, kept.size());
    EXPECT_LE(slow, 1) << "only the scan in flight when the network went silent waits for its deadline";
    EXPECT_GE(kept.size(), 5u);

    auto c = db.connectRemote();
    c->setDatabase(server.location(db));
    db::Query q(*c);
    q.setSql("select count(*) as N, count(distinct ESTEIRA_CX) as E from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    EXPECT_EQ(q.field("N").asInt(), kBoxes) << "every box written off, kept ones included";
    EXPECT_EQ(q.field("E").asInt(), 1);
    for (const auto& [code, state] : journalStates(dir + "/station.INI")) {
        EXPECT_TRUE(state == QLatin1String("done") || state == QLatin1String("replayed"))
            << code.toStdString() << " ended " << state.toStdString();
    }
}

} // namespace
