#pragma once

// What the scan benchmarks share: their databases, timing, the figures of a series, the station's
// Enter, and the comparison line with its RESULT form for scripts/bench.sh.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"
#include "station/OperatorDisplay.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vek::bench {

using Clock = std::chrono::steady_clock;

/// A new database at `location` (a file, or "host/port:file" through a server), 8 KiB pages, with
/// the schema of schema/main.sql; `rows` then writes the benchmark's own rows on a connection of its
/// own, which is closed after. `password`: SYSDBA's, for a database made through a server.
inline void createDatabase(const std::string& location, bool forcedWrites,
                           const std::function<void(db::Connection&)>& rows, const std::string& password = {}) {
    db::createDatabase(location, "sysdba", password, 8192, forcedWrites);
    db::Connection c;
    c.setDatabase(location);
    c.setPassword(password);
    db::runScriptFile(c, std::string(VEK_SOURCE_DIR) + "/schema/main.sql");
    rows(c);
    c.close();
}

/// The benchmarks' four-sector route 10 → 20 → 30 → 40 of product P100.
inline void addSectorRoute(db::Connection& c) {
    int order = 0;
    for (const auto& [code, previous] : {std::pair{"10", ""}, {"20", "10"}, {"30", "20"}, {"40", "30"}}) {
        c.executeImmediate(std::string("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, "
                                       "TIPO_ATU_PRODUCAO_SETOR_SE, TIPO_OPERACAO_SE, SEQPROD_SE) values ('") +
                           code + "', 'SETOR', '" + previous + "', " + std::to_string(++order) + ", 'N', 'P', 'S')");
        c.executeImmediate(std::string("insert into PRODUTO_SETOR values ('P100', '") + code + "')");
    }
}

inline double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures {
    double median = 0, p99 = 0, mean = 0, first = 0;
};

inline Figures figures(std::vector<double> times) {
    Figures f;
    if (times.empty()) return f;
    f.first = times.front();
    for (double t : times) f.mean += t / static_cast<double>(times.size());
    std::sort(times.begin(), times.end());
    f.median = times[times.size() / 2];
    f.p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    return f;
}

/// Types the code into the scan field and presses Enter, as a scanner does.
inline void enter(QLineEdit* scanField, const QString& code) {
    scanField->setText(code);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(scanField, &key);
}

/// The bare side's one repaint of the changed widgets: what a successful scan changes (the label
/// fields, done/total, the counters, the message), set on a window of the station's own kind (not
/// started, so it sends nothing) and painted at once, as the station paints them.
inline void repaintLikeAScan(vek::OperatorDisplay& window, int i) {
    const std::string n = std::to_string(i);
    window.paintMessage("", vek::MessageColour::Neutral, false);
    window.ShowBoxFields({"P100", "00001 " + n, "38", "000123", "0001"});
    window.ShowTicketCount(n + "/20");
    window.ShowCounters({n, n, n});
    window.paintMessage("Etiqueta Atualizada.", vek::MessageColour::Success, false);
    window.Repaint();
}

/// The station against the same statements bare: the readable lines, then the RESULT line.
inline void printComparison(const char* kind, const char* title, const Figures& s, const Figures& b) {
    std::printf("%s:\n"
                "  station: median %.3f ms, p99 %.3f ms, mean %.3f ms, first %.3f ms\n"
                "  bare statements + one repaint: median %.3f ms, p99 %.3f ms, mean %.3f ms, first %.3f ms\n"
                "  ratio (median) %.2f, (p99) %.2f, (mean) %.2f\n",
                title, s.median, s.p99, s.mean, s.first, b.median, b.p99, b.mean, b.first, s.median / b.median,
                s.p99 / b.p99, s.mean / b.mean);
    std::printf("RESULT kind=%s station_median_ms=%.3f station_p99_ms=%.3f bare_median_ms=%.3f bare_p99_ms=%.3f "
                "ratio=%.2f\n",
                kind, s.median, s.p99, b.median, b.p99, s.median / b.median);
}

/// What the engine did for a stretch of work: transactions started (the header's next transaction
/// number) and pages written (the database's I/O statistics; with forced writes each one is a
/// synchronous write). Read from the monitoring tables through a connection of its own, whose own
/// transaction per reading is taken off.
class DbActivity {
public:
    struct Counts {
        std::int64_t transactions = 0, pageWrites = 0;
        Counts& operator+=(const Counts& c) {
            transactions += c.transactions;
            pageWrites += c.pageWrites;
            return *this;
        }
    };

    explicit DbActivity(const std::string& location, const std::string& password = {}) {
        m_probe.setDatabase(location);
        m_probe.setPassword(password);
        read();
        const Counts a = read(), b = read();
        m_cost = {b.transactions - a.transactions, b.pageWrites - a.pageWrites};
        m_start = read();
    }
    ~DbActivity() {
        try {
            m_probe.close();
        } catch (const std::exception&) {}
    }
    DbActivity(const DbActivity&) = delete;
    DbActivity& operator=(const DbActivity&) = delete;

    /// Since the last call (or construction), without the readings' own cost.
    Counts take() {
        const Counts now = read();
        const Counts d{now.transactions - m_start.transactions - m_cost.transactions,
                       now.pageWrites - m_start.pageWrites - m_cost.pageWrites};
        m_start = read();
        return d;
    }

    /// The test/forced-writes line and its RESULT form for one scan kind over `scans` scans.
    static void print(const char* kind, bool forcedWrites, int scans, const Counts& c) {
        const double t = static_cast<double>(c.transactions) / scans, w = static_cast<double>(c.pageWrites) / scans;
        std::printf("  %s, forced writes %s: %.2f transactions and %.2f page writes per scan (%d scans)\n", kind,
                    forcedWrites ? "on" : "off", t, w, scans);
        std::printf("RESULT kind=%s_activity forced_writes=%s transactions_per_scan=%.2f page_writes_per_scan=%.2f\n",
                    kind, forcedWrites ? "on" : "off", t, w);
    }

private:
    Counts read() {
        // Each reading in a transaction of its own: the monitoring tables are a snapshot per transaction.
        m_probe.startTransaction();
        vek::db::Query next(m_probe), io(m_probe);
        next.setSql("select MON$NEXT_TRANSACTION as N from MON$DATABASE");
        io.setSql("select MON$PAGE_WRITES as W from MON$IO_STATS where MON$STAT_GROUP = 0");
        next.open();
        io.open();
        const Counts c{next.field("N").asInt64(), io.field("W").asInt64()};
        m_probe.commit();
        return c;
    }

    vek::db::Connection m_probe;
    Counts m_cost, m_start;
};

/// One side of a comparison: its scan times and what the engine did for them.
struct ScanSide {
    std::vector<double> times;
    DbActivity::Counts cost;
};

/// The station and the bare statements take turns, in rounds of `round` scans each, on the same
/// database: neither side meets the caches, the server or the machine in a state of its own.
/// `stationScan(i)` and `bareScan(i)` make the side's scan i, from 0 to `scans` - 1. Without an
/// activity reader only the times are taken.
template <class StationScan, class BareScan>
void alternateRounds(int scans, int round, DbActivity* activity, StationScan&& stationScan, BareScan&& bareScan,
                     ScanSide& station, ScanSide& bare) {
    const auto take = [&](ScanSide& side) {
        if (activity) side.cost += activity->take();
    };
    if (activity) {
        activity->take(); // what came before the rounds is no side's
    }
    for (int first = 0; first < scans; first += round) {
        for (int i = first; i < first + round && i < scans; ++i) {
            const auto start = Clock::now();
            stationScan(i);
            station.times.push_back(ms(Clock::now() - start));
        }
        take(station);
        for (int i = first; i < first + round && i < scans; ++i) {
            const auto start = Clock::now();
            bareScan(i);
            bare.times.push_back(ms(Clock::now() - start));
        }
        take(bare);
    }
}

} // namespace vek::bench
