// The scan journal through real station processes: a station killed with kept scans settles them
// at its next start-up, --journal tells what happened, and a journal that cannot be written is told.
#include "app/StationRun.h"
#include "app/StationsTogether.h"
#include "db/Query.h"
#include "journal/ScanJournal.h"
#include "support/Box.h"
#include "support/PrivateServer.h"
#include "support/TestDb.h"
#include "util/TextCodec.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

using namespace vek;
using namespace vek::test;

namespace {

// A CSV reader as RFC 4180 has it: records end in CRLF, a quoted field may hold commas, quotes
// (doubled) and line breaks. A malformed text gives no rows.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            record.push_back(std::exchange(field, {}));
            wasQuoted = false;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(std::exchange(field, {}));
            records.push_back(std::exchange(record, {}));
            wasQuoted = false;
            ++i;
        } else if (c == '"' || c == '\r' || c == '\n' || wasQuoted) {
            return {};
        } else {
            field += c;
        }
    }
    if (quoted || !field.empty() || !record.empty()) return {}; // the last record ends in CRLF too
    return records;
}

TEST(JournalProcesses, AStationKilledWithKeptScansSettlesThemAtItsNextStartUpBeforeTheFirstScan) {
    TestDb db(Schema::Main);
    addUsualBoxes(db, {21, 22, 23});
    PrivateServer server(PrivateServer::State::Stopped);
    const std::string dir = db.dir() + "/station";
    const std::string ini = conveyorIni(server.location(db), "EXIBIR_IMG_PRODUTO=N\r\n");
    {
        // <settle> waits for a server that stays away: the station is killed while it waits.
        StationProcess first(dir, ini, {QStringLiteral("21"), QStringLiteral("22"), QStringLiteral("<settle>")});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (linesIn(dir + "/out.jsonl") < 3 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_EQ(linesIn(dir + "/out.jsonl"), 3);
        ASSERT_TRUE(first.running());
    } // killed
    std::ifstream out(dir + "/out.jsonl");
    std::string startUp, kept1, kept2;
    std::getline(out, startUp);
    std::getline(out, kept1);
    std::getline(out, kept2);
    EXPECT_NE(kept2.find("\"journal\":{\"held\":2,\"in_doubt\":0,\"late_refusals\":[]}"), std::string::npos) << kept2;
    EXPECT_NE(kept2.find("Sem conexão: leitura guardada (2)."), std::string::npos) << kept2;

    server.start();
    const StationRun second = runStation(dir, ini, {QStringLiteral("23")});
    ASSERT_EQ(second.exitCode, 0) << second.errors.toStdString();
    ASSERT_EQ(second.lines.size(), 2u);
    EXPECT_EQ(second.lines[0]["journal"].toObject()["held"].toInt(), 0) << "settled before the first scan";
    EXPECT_EQ(second.text(0, "pnQtParesDia"), QStringLiteral("2"));
    EXPECT_EQ(second.text(1, "pnMens"), QStringLiteral("Etiqueta Atualizada."));
    EXPECT_EQ(second.text(1, "pnQtParesDia"), QStringLiteral("3"));

    db::Connection c;
    c.setDatabase(server.location(db));
    c.setPassword(serverPassword());
    db::Query q(c);
    q.setSql("select CODIGO_CX from CODCXUNIT where DTBAIXA_CX is not null order by DTBAIXA_CX");
    q.open();
    std::vector<int> order;
    for (; !q.eof(); q.next()) order.push_back(q.field("CODIGO_CX").asInt());
    EXPECT_EQ(order, (std::vector<int>{21, 22, 23})) << "in scan order, at the times they were scanned";

    // "Was this box scanned here, when, and what did the station say?"
    const QStringList table = journalOutput(dir + "/station.INI", {}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(table.size(), 5) << table.join(QLatin1Char('\n')).toStdString(); // heading, rule, three scans
    EXPECT_TRUE(table[0].startsWith(QStringLiteral("id "))) << table[0].toStdString();
    EXPECT_TRUE(table[2].contains(QStringLiteral("| 21 ")) && table[2].contains(QStringLiteral("| replayed ")));
    EXPECT_TRUE(table[4].contains(QStringLiteral("| 23 ")) && table[4].contains(QStringLiteral("| done ")));
    const QStringList csv = journalOutput(dir + "/station.INI", {QStringLiteral("--state"), QStringLiteral("replayed"),
                                                                 QStringLiteral("--csv")})
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(csv[0], QStringLiteral("id,scanned,server time,kind,code,state,outcome,settled"));
    EXPECT_TRUE(csv[1].contains(QStringLiteral(",box,21,replayed,Etiqueta Atualizada.,"))) << csv[1].toStdString();
    {
        // A scan still kept, and texts a spreadsheet would run as formulas.
        journal::ScanJournal j(dir + "/station-journal.db");
        j.finish(j.begin("24", journal::Kind::Box, std::nullopt, {}), journal::State::Held, cp1252("Sem conexão"));
        j.finish(j.begin("=2+3", journal::Kind::Box, std::nullopt, {}), journal::State::Refused, "-1,\"x\"\r\nnext");
    }
    EXPECT_TRUE(journalOutput(dir + "/station.INI", {QStringLiteral("--state"), QStringLiteral("held")})
                    .contains(u("| Sem conexão ")));
    const auto cells =
        csvRecords(journalOutput(dir + "/station.INI",
                                 {QStringLiteral("--state"), QStringLiteral("refused"), QStringLiteral("--csv")})
                       .toStdString());
    ASSERT_EQ(cells.size(), 2u);
    ASSERT_EQ(cells[1].size(), 8u);
    EXPECT_EQ(cells[1][4], "'=2+3");
    EXPECT_EQ(cells[1][6], "'-1,\"x\"\r\nnext");
    EXPECT_TRUE(journalOutput(dir + "/station.INI", {QStringLiteral("--since"), QStringLiteral("2999-01-01")})
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                    .size() == 2);
}

TEST(JournalProcesses, TwoStationsKeepingTheSameBoxesBookEachOnceWhenTheyMeetTheServerAgain) {
    TestDb db(Schema::Main);
    addUsualBoxes(db, {41, 42, 43});
    // Sub-ticket 000123/0001/00A1: boxes 44 and 45 of size 40.
    db.exec(Box::usual(44).tam("40").sql());
    db.exec(Box::usual(45).tam("40").sql());
    db.exec("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) "
            "values (1, '000123', '0001', '00A1', '40', 2)");
    const std::string label = "2000123000100A1";
    PrivateServer server(PrivateServer::State::Stopped);
    const QStringList script = {QStringLiteral("41"), QStringLiteral("42"), QStringLiteral("43"),
                                QString::fromStdString(label), QStringLiteral("<settle>")};
    std::vector<std::unique_ptr<StationProcess>> stations;
    for (const char* conveyor : {"01", "02"}) {
        const std::string ini = "[ESTEIRA]\r\nBDADOS=" + server.location(db) + "\r\nCODESTEIRA=" + conveyor +
                                "\r\nEXIBIR_IMG_PRODUTO=N\r\n";
        stations.push_back(std::make_unique<StationProcess>(db.dir() + "/station" + conveyor, ini, script));
    }
    // Both have kept all four before the server is back, then settle at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((linesIn(db.dir() + "/station01/out.jsonl") < 5 || linesIn(db.dir() + "/station02/out.jsonl") < 5) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.start();
    std::map<std::string, int> booked;                    // conveyor -> boxes it settled as its own
    std::map<std::string, std::set<std::string>> refused; // conveyor -> codes refused late
    for (const char* conveyor : {"01", "02"}) {
        const StationRun run = stations[conveyor[1] == '1' ? 0 : 1]->finish();
        ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
        const QJsonObject journal = run.last()["journal"].toObject();
        EXPECT_EQ(journal["held"].toInt(), 0) << conveyor;
        for (const QJsonValue& line : journal["late_refusals"].toArray()) {
            refused[conveyor].insert(line.toArray()[0].toString().toStdString());
        }
        booked[conveyor] = run.text(run.lines.size() - 1, "pnQtParesDia").toInt();
    }
    const Rows rows = serverRows(db, "select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not null");
    ASSERT_EQ(rows.size(), 5u) << "every kept box booked";
    for (const auto& row : rows) {
        // The sub-ticket's boxes are answered for by its label.
        const std::string code = row[0] == "44" || row[0] == "45" ? label : row[0];
        const std::string other = row[1] == "01" ? "02" : "01";
        EXPECT_EQ(refused[row[1]].count(code), 0u) << code << " booked by the station that refused it";
        EXPECT_EQ(refused[other].count(code), 1u) << code << " not refused by the station that lost it";
    }
    EXPECT_EQ(serverRows(db, "select ESTEIRA_CX from CODCXUNIT where CODIGO_CX in (44, 45) group by ESTEIRA_CX").size(),
              1u)
        << "the sub-ticket's boxes by one station";
    EXPECT_EQ(booked["01"] + booked["02"], 5) << "each counted by the station that booked it, once";
}

TEST(JournalProcesses, AJournalThatCannotBeWrittenIsToldOnceAndTheStationScansAsWithoutOne) {
    TestDb db(Schema::Main);
    addUsualBoxes(db, {31});
    const std::string dir = db.dir() + "/station";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/plain") << "x";
    // A folder the station cannot write to: under a plain file even root can create nothing.
    const StationRun run = runStation(
        dir, conveyorIni(db.remoteLocation(), "EXIBIR_IMG_PRODUTO=N\r\nDIARIO_LEITURAS=" + dir + "/plain/j.db\r\n"),
        {QStringLiteral("31")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QJsonArray boxes = run.boxes(0);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].toObject()["title"].toString(), QStringLiteral("Alerta"));
    EXPECT_TRUE(boxes[0].toObject()["text"].toString().startsWith(u("Diário de leituras indisponível")));
    EXPECT_EQ(run.text(1, "pnMens"), QStringLiteral("Etiqueta Atualizada."));
    EXPECT_TRUE(run.boxes(1).isEmpty()) << "told once";
}

} // namespace
