// N station processes (vek-station in script mode, N = 1, 2, 4, 8) against one database server of
// their own on 127.0.0.1, started together, in three kinds of work: conveyors on boxes of their own,
// sector stations (sector 40 of a four-sector route, validation on) on boxes of their own, and
// conveyors completing tickets in sector 50 that work the same tickets. Against them, the same
// statements sent bare by N processes, each with its own connection and one repaint per scan, in
// alternating rounds. Each station times its scans itself (VEK_SCRIPT_TIMINGS: from Enter to the
// message, the state output left out). Per round: scans per second of all together, the server
// process's CPU, the database's record lock waits and conflicts, and the units of work run again.
//
//   fleet_bench [--scans S] [--rounds R] [--n 1,2,4] [--only conveyor|sector|contended]
//               [--forced-writes-off]
//
// S scans per process and round (a multiple of 24, default 192), R rounds per side (default 3);
// --forced-writes-off repeats everything on databases without forced writes. The server is a
// PrivateServer: a free port of 127.0.0.1 and a root folder of its own, removed at the end.
#include "BareFleetScanner.h"
#include "BenchSupport.h"
#include "StationRuns.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "support/PrivateServer.h"
#include "util/Format.h"

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace vek::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kTicketBoxes = 24; // a ticket's boxes split evenly among 1, 2, 4 or 8 stations
constexpr const char* kProg = "000123";

const char* nameOf(Variant v) {
    switch (v) {
    case Variant::Conveyor:
        return "conveyor";
    case Variant::Sector:
        return "sector";
    case Variant::Contended:
        return "contended";
    }
    return "?";
}

std::optional<Variant> variantNamed(const std::string& s) {
    for (Variant v : {Variant::Conveyor, Variant::Sector, Variant::Contended})
        if (s == nameOf(v)) return v;
    return std::nullopt;
}

// "01" to "08".
std::string conveyorCode(int station) {
    return (station + 1 < 10 ? "0" : "") + std::to_string(station + 1);
}

std::int64_t steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// ---------------------------------------------------------------------------------------------
// The bare side: processes of BareFleetScanner.

// One bare process: the codes of its file, each scan timed with one repaint, written as the
// station's timing lines (a start-up line first).
int bareWorker(int argc, char** argv) {
    // --bare VARIANT LOCATION CONVEYOR CODES INI
    if (argc < 7) return 2;
    const auto variant = variantNamed(argv[2]);
    if (!variant) return 2;
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    std::vector<int> codes;
    {
        std::ifstream in(argv[5]);
        for (int code = 0; in >> code;) codes.push_back(code);
    }
    vek::RecordingToneOutput tones;
    vek::RecordingMessageBoxes boxes;
    vek::TfrmQuilbar window(vek::Platform{&tones, &boxes, [](int) {}}, argv[6], "/nonexistent");
    window.show();
    QCoreApplication::processEvents();
    BareFleetScanner scanner(*variant, argv[3], argv[4]);
    std::printf("\t0\t0\t0\t0\t0\t\n");
    std::fflush(stdout);
    for (int code : codes) {
        const std::int64_t start = steadyMicroseconds();
        std::string message;
        try {
            message = scanner.scan(code);
            if (message == kUpdated) repaintLikeAScan(window, code);
        } catch (const std::exception& e) {
            message = e.what();
            for (char& ch : message)
                if (ch == '\n' || ch == '\t' || ch == '\r') ch = ' ';
        }
        const std::int64_t elapsed = steadyMicroseconds() - start;
        std::printf("%d\t%lld\t%lld\t%lld\t%lld\t0\t%s\n", code, static_cast<long long>(elapsed),
                    static_cast<long long>(start), static_cast<long long>(vek::db::conflictRetries()),
                    static_cast<long long>(std::clock()) * 1000000 / CLOCKS_PER_SEC, message.c_str());
    }
    std::fflush(stdout);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The server, the databases and the rounds.

// The CPU time of process `pid` so far, in seconds (all its threads).
double processCpuSeconds(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = all.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(all.substr(close + 2));
    std::string f;
    long long utime = 0, stime = 0;
    // From the third field (the state) on: utime and stime are the 14th and 15th.
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoll(f);
        if (i == 15) stime = std::stoll(f);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Busy CPU seconds of the whole machine so far (all cores; others' work on a shared machine too).
double machineBusySeconds() {
    std::ifstream in("/proc/stat");
    std::string cpu;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    in >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return static_cast<double>(user + nice + system + irq + softirq + steal) /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

using Scan = TimingLine;

// The timing lines of one process, without its start-up line.
std::vector<Scan> readTimings(const std::string& path) {
    std::vector<Scan> scans = readTimingLines(path);
    if (!scans.empty()) scans.erase(scans.begin());
    return scans;
}

struct Round {
    std::vector<std::vector<double>> latencies; // per process, ms, its first scan (the one that waited) left out
    int scans = 0, failures = 0;
    std::string firstFailure;
    double seconds = 0;
    double serverCpu = 0, serverCpuPerScan = 0; // share of one core over the round; seconds per scan
    double clientCpu = 0;                       // CPU seconds of all processes' timed scans
    double machineCpu = 0;                      // cores busy over the round, whoever's work
    std::int64_t waits = 0, conflicts = 0, retries = 0, transactions = 0;
};

struct Side {
    std::vector<Round> rounds;
    std::vector<double> all() const {
        std::vector<double> v;
        for (const Round& r : rounds)
            for (const auto& p : r.latencies) v.insert(v.end(), p.begin(), p.end());
        return v;
    }
    template <class F>
    double sum(F f) const {
        double s = 0;
        for (const Round& r : rounds) s += f(r);
        return s;
    }
};

// What every kind finds: the success message switched on, and product P100 on the route 10 → 20 →
// 30 → 40 and in sector 50.
void addSectors(vek::db::Connection& c) {
    // The success message painted, as the bare side's repaint paints it.
    c.executeImmediate(
        "insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', 'MSG_CONLUSAO', 'S')");
    vek::bench::addSectorRoute(c);
    // Where the conveyors of the contended kind record each completed ticket.
    c.executeImmediate("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, "
                       "TIPO_ATU_PRODUCAO_SETOR_SE, TIPO_OPERACAO_SE, SEQPROD_SE) values ('50', 'EXPEDICAO', "
                       "'', 5, 'F', 'P', 'S')");
    c.executeImmediate("insert into PRODUTO_SETOR values ('P100', '50')");
}

class Fleet {
public:
    Fleet(Variant variant, const vek::test::PrivateServer& server, const fs::path& dir, bool forcedWrites,
          int scansPerProcess)
        : m_variant(variant), m_serverPid(server.pid()), m_dir(dir), m_scans(scansPerProcess) {
        fs::create_directories(dir);
        m_location = "127.0.0.1/" + std::to_string(server.port()) + ":" + (dir / "main.fdb").string();
        createDatabase(m_location, forcedWrites, addSectors, kPassword);
        m_admin.setDatabase(m_location);
        m_admin.setPassword(kPassword);
        m_monitor.setDatabase(m_location);
        m_monitor.setPassword(kPassword);
        m_holder.setDatabase(m_location);
        m_holder.setPassword(kPassword);
    }
    ~Fleet() {
        m_holder.close();
        m_monitor.close();
        m_admin.close();
    }
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    Round run(int n, bool station, int roundNo);

private:
    // Tickets of 24 new boxes, emitted now (in sector mode recorded in 30 already); their codes per
    // process, in scan order.
    std::vector<std::vector<int>> newBoxes(int n);
    std::string ini(int station, const fs::path& dir) const;
    struct Stats {
        std::int64_t waits, conflicts, transactions;
    };
    Stats stats();
    void waitUntilAllWait(int n, const std::vector<std::unique_ptr<QProcess>>& processes);

    Variant m_variant;
    long m_serverPid;
    fs::path m_dir;
    int m_scans;
    std::string m_location;
    vek::db::Connection m_admin, m_monitor, m_holder;
    int m_nextTicket = 1;
    std::pair<int, int> m_roundTickets; // [first, end) of the last round's tickets
};

std::vector<std::vector<int>> Fleet::newBoxes(int n) {
    const int tickets = n * m_scans / kTicketBoxes, first = m_nextTicket;
    m_nextTicket += tickets;
    m_roundTickets = {first, first + tickets};
    const bool sector = m_variant == Variant::Sector;
    m_admin.executeImmediate(
        "execute block as declare t integer = " + std::to_string(first) +
        "; declare j integer; declare f char(4); begin\n"
        "  while (t < " +
        std::to_string(first + tickets) +
        ") do begin\n"
        "    f = lpad(cast(t as varchar(4)), 4, '0'); j = 1;\n"
        "    insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('" +
        kProg + "', :f, " + std::to_string(kTicketBoxes) +
        ");\n"
        "    while (j <= " +
        std::to_string(kTicketBoxes) +
        ") do begin\n"
        "      insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, DTEMISSAO_CX) "
        "values (:t * 100 + :j, 'P100', '00001', '38', '" +
        kProg + "', :f, cast('now' as timestamp));\n" +
        (sector ? std::string("      insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, "
                              "SETOR_PU, CODCXUNIT_PU, QTDE_PU) values (gen_id(ID_PRODUCAO_SETOR_CXUNIT, 1), '") +
                      kProg + "', :f, '0000', '30', :t * 100 + :j, 1);\n"
                : std::string()) +
        "      j = j + 1;\n    end\n    t = t + 1;\n  end\nend");
    std::vector<std::vector<int>> codes(static_cast<std::size_t>(n));
    for (int t = first; t < first + tickets; ++t)
        for (int j = 1; j <= kTicketBoxes; ++j) {
            // Contended: every ticket's boxes dealt round the stations, which then meet on each
            // ticket's first box and its completion. Otherwise each station has tickets of its own.
            const int owner = m_variant == Variant::Contended ? (j - 1) % n : (t - first) * n / tickets;
            codes[static_cast<std::size_t>(owner)].push_back(t * 100 + j);
        }
    return codes;
}

std::string Fleet::ini(int station, const fs::path& dir) const {
    std::string s = "[ESTEIRA]\nBDADOS=" + m_location + "\nCODESTEIRA=" + conveyorCode(station) +
                    "\nFUNCIONARIO=7\nEXIBIR_IMG_PRODUTO=N\nCHAVE=2\nDIARIO_LEITURAS=" + (dir / "journal.db").string() +
                    "\n";
    if (m_variant == Variant::Sector) s += "ATU_PRODUCAO_SETOR_CXUNIT=S\nSETOR=40\nULTIMO_SETOR_ATU_CXUNIT=40\n";
    if (m_variant == Variant::Contended) s += "SETOR_ATU_PRODUCAO_SETOR=50\n";
    return s;
}

// The database's record lock waits and update conflicts so far (kept while any attachment is open:
// the monitor's stays open for the whole variant), and the next transaction's number.
Fleet::Stats Fleet::stats() {
    vek::db::Query q(m_monitor);
    q.setSql("select r.MON$RECORD_WAITS as W, r.MON$RECORD_CONFLICTS as C, d.MON$NEXT_TRANSACTION as T from "
             "MON$DATABASE d join MON$RECORD_STATS r on r.MON$STAT_ID = d.MON$STAT_ID");
    q.open();
    const Stats r{q.field("W").asInt64(), q.field("C").asInt64(), q.field("T").asInt64()};
    q.close();
    return r;
}

// Until each of the n processes has a statement that has waited a while: its first scan, on the
// held row of its first box.
void Fleet::waitUntilAllWait(int n, const std::vector<std::unique_ptr<QProcess>>& processes) {
    vek::db::Query waiting(m_monitor);
    waiting.setSql("select count(distinct MON$ATTACHMENT_ID) as N from MON$STATEMENTS where MON$STATE = 1 and "
                   "MON$ATTACHMENT_ID <> current_connection and "
                   "datediff(millisecond from MON$TIMESTAMP to current_timestamp) >= 200");
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        for (const auto& p : processes)
            if (p->state() == QProcess::NotRunning) throw std::runtime_error("a process ended before its first scan");
        waiting.open();
        const bool all = waiting.field("N").asInt() >= n;
        waiting.close();
        if (all) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("the processes never all waited for their first box");
}

Round Fleet::run(int n, bool station, int roundNo) {
    const auto codes = newBoxes(n);
    const fs::path roundDir =
        m_dir / ((station ? "station-" : "bare-") + std::to_string(n) + "-" + std::to_string(roundNo));
    // Each process's first box held, so that they all begin together once every one is waiting.
    std::string firstBoxes;
    for (const auto& c : codes) firstBoxes += (firstBoxes.empty() ? "" : ", ") + std::to_string(c.front());
    m_holder.startTransaction();
    m_holder.executeImmediate("update CODCXUNIT set TAM_CX = TAM_CX where CODIGO_CX in (" + firstBoxes + ")");
    std::vector<std::unique_ptr<QProcess>> processes;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VEK_SCRIPT_TIMINGS", "1");
    for (int k = 0; k < n; ++k) {
        const fs::path dir = roundDir / std::to_string(k + 1);
        fs::create_directories(dir);
        std::ofstream(dir / "station.INI") << ini(k, dir);
        {
            std::ofstream script(dir / "script.txt");
            for (int code : codes[static_cast<std::size_t>(k)]) script << code << "\n";
        }
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setStandardOutputFile(QString::fromStdString((dir / "out.txt").string()));
        p->setStandardErrorFile(QString::fromStdString((dir / "err.txt").string()));
        if (station) {
            p->start(VEK_STATION_EXE, {"--settings", QString::fromStdString((dir / "station.INI").string()), "--script",
                                       QString::fromStdString((dir / "script.txt").string()), "--locale", "pt_BR"});
        } else {
            p->start(QCoreApplication::applicationFilePath(),
                     {"--bare", nameOf(m_variant), QString::fromStdString(m_location),
                      QString::fromStdString(conveyorCode(k)), QString::fromStdString((dir / "script.txt").string()),
                      QString::fromStdString((dir / "station.INI").string())});
        }
        processes.push_back(std::move(p));
    }
    try {
        waitUntilAllWait(n, processes);
    } catch (...) {
        m_holder.rollback();
        for (auto& p : processes) {
            p->kill();
            p->waitForFinished();
        }
        throw;
    }
    const Stats before = stats();
    const double cpu0 = processCpuSeconds(m_serverPid), busy0 = machineBusySeconds();
    const std::int64_t released = steadyMicroseconds();
    m_holder.rollback();
    for (auto& p : processes) {
        if (!p->waitForFinished(300000)) p->kill();
        p->waitForFinished();
    }
    const double cpu1 = processCpuSeconds(m_serverPid), busy1 = machineBusySeconds();
    const std::int64_t ended = steadyMicroseconds();
    const Stats after = stats();

    Round r;
    r.waits = after.waits - before.waits;
    r.conflicts = after.conflicts - before.conflicts;
    // Less the one that read `after`.
    r.transactions = after.transactions - before.transactions - 1;
    std::int64_t lastEnd = released;
    for (int k = 0; k < n; ++k) {
        const auto scans = readTimings((roundDir / std::to_string(k + 1) / "out.txt").string());
        if (scans.size() != codes[static_cast<std::size_t>(k)].size()) {
            ++r.failures;
            if (r.firstFailure.empty())
                r.firstFailure = "process " + std::to_string(k + 1) + " wrote " + std::to_string(scans.size()) +
                                 " of " + std::to_string(codes[static_cast<std::size_t>(k)].size()) + " scans";
        }
        std::vector<double> times;
        for (std::size_t i = 0; i < scans.size(); ++i) {
            const Scan& s = scans[i];
            ++r.scans;
            lastEnd = std::max(lastEnd, s.startUs + s.elapsedUs);
            if (s.message != kUpdated || s.boxes > 0) {
                ++r.failures;
                if (r.firstFailure.empty()) r.firstFailure = s.message + (s.extra.empty() ? "" : " [" + s.extra + "]");
            }
            if (i > 0) times.push_back(static_cast<double>(s.elapsedUs) / 1000.0);
        }
        if (!scans.empty()) r.retries += scans.back().retries;
        // The CPU of the scans after the first, as the latencies.
        if (scans.size() > 1) r.clientCpu += static_cast<double>(scans.back().cpuUs - scans.front().cpuUs) / 1e6;
        r.latencies.push_back(std::move(times));
    }
    if (m_variant == Variant::Contended) {
        // Every ticket of the round completed in sector 50, once, whichever station came last.
        vek::db::Query q(m_monitor);
        q.setSql("select count(*) as ROWS_, count(distinct FICHA_PS) as TICKETS from PRODUCAO_SETOR where SETOR_PS = "
                 "'50' and FICHA_PS between '" +
                 ticketText(m_roundTickets.first) + "' and '" + ticketText(m_roundTickets.second - 1) + "'");
        q.open();
        const int rowCount = q.field("ROWS_").asInt(), ticketCount = q.field("TICKETS").asInt();
        q.close();
        const int expected = m_roundTickets.second - m_roundTickets.first;
        if (rowCount != expected || ticketCount != expected) {
            ++r.failures;
            r.firstFailure = std::to_string(rowCount) + " completion rows for " + std::to_string(ticketCount) + " of " +
                             std::to_string(expected) + " tickets";
        }
    }
    r.seconds = static_cast<double>(lastEnd - released) / 1e6;
    r.serverCpu = (cpu1 - cpu0) / (static_cast<double>(ended - released) / 1e6);
    r.serverCpuPerScan = (cpu1 - cpu0) / std::max(1, r.scans);
    r.machineCpu = (busy1 - busy0) / (static_cast<double>(ended - released) / 1e6);
    return r;
}

struct Options {
    int scans = 192, rounds = 3;
    std::vector<int> ns{1, 2, 4, 8};
    std::vector<Variant> variants{Variant::Conveyor, Variant::Sector, Variant::Contended};
    bool withoutForcedWrites = false;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--scans" && more) {
            o.scans = std::atoi(argv[++i]);
        } else if (a == "--rounds" && more) {
            o.rounds = std::atoi(argv[++i]);
        } else if (a == "--n" && more) {
            o.ns.clear();
            std::istringstream list(argv[++i]);
            for (std::string n; std::getline(list, n, ',');) o.ns.push_back(std::atoi(n.c_str()));
        } else if (a == "--only" && more) {
            const auto v = variantNamed(argv[++i]);
            if (!v) return std::nullopt;
            o.variants = {*v};
        } else if (a == "--forced-writes-off") {
            o.withoutForcedWrites = true;
        } else {
            return std::nullopt;
        }
    }
    const bool nsOk = !o.ns.empty() &&
                      std::all_of(o.ns.begin(), o.ns.end(), [](int n) { return n == 1 || n == 2 || n == 4 || n == 8; });
    if (o.scans < kTicketBoxes || o.scans % kTicketBoxes != 0 || o.rounds < 1 || !nsOk) return std::nullopt;
    return o;
}

void report(Variant variant, int n, bool forcedWrites, const Side& station, const Side& bare) {
    const Figures s = figures(station.all()), b = figures(bare.all());
    const auto perSecond = [](const Side& side) {
        return side.sum([](const Round& r) { return r.scans; }) / side.sum([](const Round& r) { return r.seconds; });
    };
    const auto cpuPct = [](const Side& side) {
        return 100 * side.sum([](const Round& r) { return r.serverCpu * r.seconds; }) /
               side.sum([](const Round& r) { return r.seconds; });
    };
    const auto machinePct = [](const Side& side) {
        return 100 * side.sum([](const Round& r) { return r.machineCpu * r.seconds; }) /
               side.sum([](const Round& r) { return r.seconds; });
    };
    // Each station's own median and p99, over its rounds.
    std::vector<double> medians, p99s;
    for (int k = 0; k < n; ++k) {
        std::vector<double> own;
        for (const Round& r : station.rounds) {
            const auto& l = r.latencies[static_cast<std::size_t>(k)];
            own.insert(own.end(), l.begin(), l.end());
        }
        const Figures f = figures(own);
        medians.push_back(f.median);
        p99s.push_back(f.p99);
    }
    const auto [minMedian, maxMedian] = std::minmax_element(medians.begin(), medians.end());
    const auto [minP99, maxP99] = std::minmax_element(p99s.begin(), p99s.end());
    // CPU per scan in ms: the server's over the whole round, a process's over its timed scans.
    const auto serverMs = [](const Side& side) {
        return 1000 * side.sum([](const Round& r) { return r.serverCpuPerScan * r.scans; }) /
               side.sum([](const Round& r) { return r.scans; });
    };
    const auto clientMs = [n](const Side& side) {
        return 1000 * side.sum([](const Round& r) { return r.clientCpu; }) /
               side.sum([n](const Round& r) { return r.scans - n; });
    };
    const auto transactions = [](const Side& side) {
        return side.sum([](const Round& r) { return static_cast<double>(r.transactions); }) /
               side.sum([](const Round& r) { return r.scans; });
    };
    const auto total = [](const Side& side, auto field) {
        return static_cast<long long>(side.sum([&](const Round& r) { return static_cast<double>(r.*field); }));
    };
    const std::string kind =
        std::string("fleet_") + nameOf(variant) + "_n" + std::to_string(n) + (forcedWrites ? "" : "_fwoff");
    std::printf("%s, %d process%s (forced writes %s):\n"
                "  stations: %.1f scans/s in all; median %.3f ms, p99 %.3f ms (each station: median %.3f-%.3f, "
                "p99 %.3f-%.3f); server CPU %.0f%%; lock waits %lld, conflicts %lld, units run again %lld\n"
                "  bare:     %.1f scans/s in all; median %.3f ms, p99 %.3f ms; server CPU %.0f%%; lock waits %lld, "
                "conflicts %lld, units run again %lld\n"
                "  CPU per scan: server %.2f ms with the stations, %.2f ms with bare; a station %.2f ms, a bare "
                "process %.2f ms; transactions per scan %.2f station, %.2f bare; the machine's cores busy %.0f%% "
                "with the stations, %.0f%% with bare (of %ld00%%)\n"
                "  ratio station/bare (median) %.2f, (p99) %.2f, (scans/s) %.2f\n",
                nameOf(variant), n, n == 1 ? "" : "es", forcedWrites ? "on" : "off", perSecond(station), s.median,
                s.p99, *minMedian, *maxMedian, *minP99, *maxP99, cpuPct(station), total(station, &Round::waits),
                total(station, &Round::conflicts), total(station, &Round::retries), perSecond(bare), b.median, b.p99,
                cpuPct(bare), total(bare, &Round::waits), total(bare, &Round::conflicts), total(bare, &Round::retries),
                serverMs(station), serverMs(bare), clientMs(station), clientMs(bare), transactions(station),
                transactions(bare), machinePct(station), machinePct(bare), ::sysconf(_SC_NPROCESSORS_ONLN),
                s.median / b.median, s.p99 / b.p99, perSecond(station) / perSecond(bare));
    std::printf("RESULT kind=%s scans_per_s=%.1f station_median_ms=%.3f station_p99_ms=%.3f bare_median_ms=%.3f "
                "bare_p99_ms=%.3f ratio=%.2f server_cpu_pct=%.0f bare_scans_per_s=%.1f bare_server_cpu_pct=%.0f "
                "lock_waits=%lld conflicts=%lld retries=%lld server_cpu_ms_per_scan=%.2f station_cpu_ms_per_scan=%.2f "
                "bare_cpu_ms_per_scan=%.2f station_transactions_per_scan=%.2f bare_transactions_per_scan=%.2f "
                "machine_cpu_pct=%.0f bare_server_cpu_ms_per_scan=%.2f\n",
                kind.c_str(), perSecond(station), s.median, s.p99, b.median, b.p99, s.median / b.median,
                cpuPct(station), perSecond(bare), cpuPct(bare), total(station, &Round::waits),
                total(station, &Round::conflicts), total(station, &Round::retries), serverMs(station),
                clientMs(station), clientMs(bare), transactions(station), transactions(bare), machinePct(station),
                serverMs(bare));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0) return bareWorker(argc, argv);
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: fleet_bench [--scans S (multiple of 24)] [--rounds R] [--n 1,2,4,8] "
                             "[--only conveyor|sector|contended] [--forced-writes-off]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    // The server's SYSDBA password is the one the stations' key opens the database with, whatever
    // the environment says.
    ::setenv("VEK_FB_PASSWORD", kPassword, 1);
    const fs::path dir = fs::temp_directory_path() / ("vek-fleetbench-" + std::to_string(::getpid()));
    int rc = 0;
    try {
        vek::test::PrivateServer server;
        std::printf("fleet: %d scans per process and round, %d rounds per side (station, bare, station, ...), "
                    "tickets of %d boxes; server on 127.0.0.1:%d\n",
                    options->scans, options->rounds, kTicketBoxes, server.port());
        std::vector<bool> forcedWrites{true};
        if (options->withoutForcedWrites) forcedWrites.push_back(false);
        for (const bool fw : forcedWrites) {
            for (const Variant variant : options->variants) {
                Fleet fleet(variant, server, dir / (std::string(nameOf(variant)) + (fw ? "" : "-fwoff")), fw,
                            options->scans);
                for (const int n : options->ns) {
                    Side station, bare;
                    for (int round = 1; round <= options->rounds; ++round) {
                        station.rounds.push_back(fleet.run(n, true, round));
                        bare.rounds.push_back(fleet.run(n, false, round));
                    }
                    for (const Side* side : {&station, &bare})
                        for (const Round& r : side->rounds)
                            if (r.failures > 0) {
                                std::fprintf(stderr, "%s n=%d %s: %d failed scans, first: %s\n", nameOf(variant), n,
                                             side == &station ? "stations" : "bare", r.failures,
                                             r.firstFailure.c_str());
                                rc = 1;
                            }
                    report(variant, n, fw, station, bare);
                }
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    std::error_code ec;
    if (rc == 0)
        fs::remove_all(dir, ec);
    else
        std::fprintf(stderr, "the processes' output is kept in %s\n", dir.c_str());
    return rc;
}
