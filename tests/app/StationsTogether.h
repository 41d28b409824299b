#pragma once
// Several station processes on the test server, made to start their work at the same moment, and
// the server's rows afterwards.
#include "StationRun.h"
#include "db/Query.h"
#include "support/TestDb.h"

#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace vek::test {

using Rows = std::vector<std::vector<std::string>>;

/// Through the server: the stations hold the file open while the tests look.
inline Rows serverRows(const TestDb& db, const std::string& sql) {
    return db.rows(sql, /*throughServer=*/true);
}

inline int serverCount(const TestDb& db, const std::string& fromWhere) {
    return std::stoi(serverRows(db, "select count(*) from " + fromWhere)[0][0]);
}

struct StationSetup {
    std::string name; // its directory under the database's
    std::string ini;
    QStringList script;
};

/// Runs the stations while `hold` (an update or insert of a row they all need) stays uncommitted on
/// a connection of its own, until `waiters` of them have a statement that has been running for a
/// while, which is one waiting for a lock (on the held row, or on the row another station took
/// first, whichever statement that is); then lets go, so that they meet from the first row on.
inline std::vector<StationRun> runTogether(const TestDb& db, const std::string& hold, int waiters,
                                           const std::vector<StationSetup>& setups) {
    auto holder = db.connectRemote();
    holder->startTransaction();
    holder->executeImmediate(hold);
    std::vector<std::unique_ptr<StationProcess>> stations;
    for (const StationSetup& s : setups)
        stations.push_back(std::make_unique<StationProcess>(db.dir() + "/" + s.name, s.ini, s.script));
    auto monitor = db.connectRemote();
    vek::db::Query waiting(*monitor);
    waiting.setSql("select count(distinct MON$ATTACHMENT_ID) as N from MON$STATEMENTS where MON$STATE = 1 and "
                   "MON$ATTACHMENT_ID <> current_connection and "
                   "datediff(millisecond from MON$TIMESTAMP to current_timestamp) >= 200");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool together = false;
    auto allRunning = [&] {
        for (const auto& s : stations)
            if (!s->running()) return false;
        return true;
    };
    while (!together && allRunning() && std::chrono::steady_clock::now() < deadline) {
        waiting.open();
        together = waiting.field("N").asInt() >= waiters;
        waiting.close();
        if (!together) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    holder->rollback();
    EXPECT_TRUE(together) << "the stations never all waited for the held row";
    std::vector<StationRun> runs;
    for (const auto& s : stations) {
        runs.push_back(s->finish());
        EXPECT_EQ(runs.back().exitCode, 0) << runs.back().errors.toStdString();
    }
    return runs;
}

// Texts as UTF-8 standard strings, which failure messages print as text.

/// The message panel after each scan, by the scanned text.
inline std::map<std::string, std::string> messagesOf(const StationRun& run) {
    std::map<std::string, std::string> by;
    for (const QJsonObject& o : run.lines)
        if (o["input"].isString())
            by[o["input"].toString().toStdString()] = o["texts"].toObject()["pnMens"].toString().toStdString();
    return by;
}

/// Every message box of the run as "title: text".
inline std::vector<std::string> boxesOf(const StationRun& run) {
    std::vector<std::string> all;
    for (const QJsonObject& o : run.lines)
        for (const auto& b : o["boxes"].toArray())
            all.push_back((b.toObject()["title"].toString() + ": " + b.toObject()["text"].toString()).toStdString());
    return all;
}

inline const std::string kUpdated = "Etiqueta Atualizada.";

} // namespace vek::test
