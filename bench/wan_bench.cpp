// The station (vek-station in script mode) against a database server of its own through a relay that
// holds every chunk for half the round trip each way (0, 5, 20 and 50 ms round trips), as a branch
// plant's stations meet the head office's server over a VPN. Per round trip: a conveyor scan, a
// sector scan along the demo route with validation on, a sub-ticket of 50 boxes and the start-up,
// each with its median time and its round trips, counted by the relay as exchanges. A scan's
// exchanges are those from its Enter to the next line's; the start-up's those before the first scan.
// RESULT lines carry the figures for scripts/bench.sh.
//
//   wan_bench [--scans S] [--rtt 0,5,20,50] [--only conveyor|conveyor_nostock|sector|subticket|startup]
//             [--station EXE]
//
// --station runs another build's vek-station (an earlier commit's, for its figures beside these).
#include "StationRuns.h"
#include "db/Connection.h"
#include "db/ScriptRunner.h"
#include "support/PrivateServer.h"
#include "support/TcpProxy.h"
#include "support/TestDb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace vek::bench;
namespace fs = std::filesystem;

namespace {

constexpr const char* kUpdated = "Etiqueta Atualizada.";
constexpr int kTicketBoxes = 20;
constexpr int kSubTicketBoxes = 50;
constexpr int kStartUps = 5;

// NoStock: the conveyor on the same boxes with the production stock entry off (its branch cleared).
enum class Kind { Conveyor, NoStock, Sector, SubTicket, StartUp };

const char* nameOf(Kind k) {
    switch (k) {
    case Kind::Conveyor:
        return "conveyor";
    case Kind::NoStock:
        return "conveyor_nostock";
    case Kind::Sector:
        return "sector";
    case Kind::SubTicket:
        return "subticket";
    case Kind::StartUp:
        return "startup";
    }
    return "?";
}

std::int64_t microsecondsOf(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// The demo database, and beside it work enough for every kind: tickets of 20 boxes of product 1020
// on an order item of their own (recorded in CORTE, sector 10, for the sector station of PESPONTO
// INTERNO, 21), and sub-tickets of 50 boxes, each on a ticket of its own.
struct Work {
    std::vector<std::string> conveyorCodes, sectorCodes, subTickets;
};

Work fillDatabase(vek::db::Connection& c, int scans) {
    vek::db::runScriptFile(c, std::string(VEK_SOURCE_DIR) + "/schema/demo.sql");
    c.executeImmediate("insert into PROGRAMACAO (NUM_PO, FILIAL_PO) values ('000777', 1)");
    c.executeImmediate("insert into PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) values ('00009000', 'NAC', 1)");
    c.executeImmediate("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, MARCA_IT, PROG_IT, FICHA_IT, "
                       "SIT_IT, STATUS_IT) values ('00009000', '001', '1020', '001', '01', '000777', '1001', 'P', '')");
    c.executeImmediate(
        "insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values ('00009000', '001', '38', 1000000)");
    Work w;
    const int tickets = (scans + 1 + kTicketBoxes - 1) / kTicketBoxes;
    // Conveyor tickets from 1001, sector tickets from 3001, one sub-ticket per ticket from 5001.
    auto boxes = [&](int firstTicket, int ticketCount, int perTicket, bool inCorte) {
        c.executeImmediate(
            "execute block as declare t integer = " + std::to_string(firstTicket) +
            "; declare j integer; declare f char(4); begin\n"
            "  while (t < " +
            std::to_string(firstTicket + ticketCount) +
            ") do begin\n"
            "    f = lpad(cast(t as varchar(4)), 4, '0'); j = 1;\n"
            "    insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000777', :f, " +
            std::to_string(perTicket) +
            ");\n"
            "    while (j <= " +
            std::to_string(perTicket) +
            ") do begin\n"
            "      insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, MARCA_CX, PROG_CX, FICHA_CX, "
            "PEDIDO_CX, ITEM_CX, DTEMISSAO_CX) values (:t * 100 + :j, '1020', '001', '38', 'CEDRO', '000777', :f, "
            "'00009000', '001', cast('now' as timestamp));\n" +
            (inCorte ? std::string("      insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, "
                                   "SETOR_PU, CODCXUNIT_PU, QTDE_PU, DTSAIDA_PU) values "
                                   "(gen_id(ID_PRODUCAO_SETOR_CXUNIT, 1), '000777', :f, '0000', '10', :t * 100 + :j, "
                                   "1, cast('now' as timestamp));\n")
                     : std::string()) +
            "      j = j + 1;\n    end\n    t = t + 1;\n  end\nend");
        for (int t = firstTicket; t < firstTicket + ticketCount; ++t)
            for (int j = 1; j <= perTicket; ++j)
                (inCorte ? w.sectorCodes : w.conveyorCodes).push_back(std::to_string(t * 100 + j));
    };
    boxes(1001, tickets, kTicketBoxes, false);
    boxes(3001, tickets, kTicketBoxes, true);
    const int subTickets = std::max(4, scans / 4);
    for (int t = 5001; t < 5001 + subTickets; ++t) {
        c.executeImmediate("execute block as declare j integer = 1; begin\n"
                           "  while (j <= " +
                           std::to_string(kSubTicketBoxes) +
                           ") do begin\n"
                           "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, MARCA_CX, PROG_CX, "
                           "FICHA_CX, PEDIDO_CX, ITEM_CX, DTEMISSAO_CX) values (" +
                           std::to_string(t) + "00 + :j, '1020', '001', '38', 'CEDRO', '000777', '" + ticketText(t) +
                           "', '00009000', '001', cast('now' as timestamp));\n"
                           "    j = j + 1;\n  end\nend");
        c.executeImmediate("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values (" +
                           std::to_string(1000 + t) + ", '000777', '" + ticketText(t) + "', '0001', '38', " +
                           std::to_string(kSubTicketBoxes) + ")");
        w.subTickets.push_back("2000777" + ticketText(t) + "0001");
    }
    return w;
}

struct Run {
    double startUpMs = 0; // from the process's launch until it takes its first scan
    int startUpExchanges = 0;
    std::vector<double> scanMs;
    std::vector<int> scanExchanges; // each scan's but the last, whose end the next line does not mark
    int failures = 0;
    std::string firstFailure;
};

class Bench {
public:
    // Boxes enough for `scans` scans of each kind, plus the start-ups' one each, at every round trip.
    Bench(int scans, int roundTrips, std::string station) : m_station(std::move(station)), m_proxy(m_server.port()) {
        m_admin = m_server.connect(m_db);
        m_work = fillDatabase(*m_admin, (2 * (scans + 1) + kStartUps) * roundTrips);
    }

    void setRoundTrip(int ms) { m_proxy.setDelay(std::chrono::milliseconds(ms / 2)); }

    // The station run on `codes` (the first one warms its statements up and is left out).
    Run run(Kind kind, const std::vector<std::string>& codes, const fs::path& dir) {
        // Production stock is on while its parameters' group is there, as the station reads it at start-up.
        const bool stock = kind != Kind::NoStock;
        m_admin->executeImmediate(std::string("update PARAM set GRUPO_PA = '") +
                                  (stock ? "PRODUCAO_ESTOQUE' where GRUPO_PA = 'SEM_PRODUCAO_ESTOQUE'"
                                         : "SEM_PRODUCAO_ESTOQUE' where GRUPO_PA = 'PRODUCAO_ESTOQUE'"));
        fs::create_directories(dir);
        const fs::path ini = dir / "vek-station.INI", script = dir / "script.txt", out = dir / "out.txt";
        std::ofstream(ini) << iniText(kind, dir);
        {
            std::ofstream s(script);
            for (const auto& code : codes) s << code << "\n";
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VEK_SCRIPT_TIMINGS", "1");
        p.setProcessEnvironment(env);
        p.setStandardOutputFile(QString::fromStdString(out.string()));
        p.setStandardErrorFile(QString::fromStdString((dir / "err.txt").string()));
        const std::size_t seen = m_proxy.exchanges().size();
        const Clock::time_point launched = Clock::now();
        p.start(QString::fromStdString(m_station), {"--settings", QString::fromStdString(ini.string()), "--script",
                                                    QString::fromStdString(script.string()), "--locale", "pt_BR"});
        if (!p.waitForFinished(600000)) p.kill();
        p.waitForFinished();
        const auto all = m_proxy.exchanges();
        std::vector<std::int64_t> at;
        for (std::size_t i = seen; i < all.size(); ++i) at.push_back(microsecondsOf(all[i]));

        Run r;
        const std::vector<TimingLine> lines = readTimingLines(out.string());
        if (lines.size() != codes.size() + 1) {
            ++r.failures;
            r.firstFailure = "the station wrote " + std::to_string(lines.size()) + " lines for " +
                             std::to_string(codes.size()) + " scans (see " + dir.string() + ")";
            return r;
        }
        auto between = [&](std::int64_t from, std::int64_t to) {
            return static_cast<int>(
                std::count_if(at.begin(), at.end(), [&](std::int64_t t) { return t >= from && t < to; }));
        };
        r.startUpMs = static_cast<double>(lines[1].startUs - microsecondsOf(launched)) / 1000.0;
        r.startUpExchanges = between(microsecondsOf(launched), lines[1].startUs);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (lines[i].message != kUpdated) {
                ++r.failures;
                if (r.firstFailure.empty()) r.firstFailure = codes[i - 1] + ": " + lines[i].message;
            }
            if (i == 1) continue;
            r.scanMs.push_back(static_cast<double>(lines[i].elapsedUs) / 1000.0);
            if (i + 1 < lines.size()) r.scanExchanges.push_back(between(lines[i].startUs, lines[i + 1].startUs));
        }
        return r;
    }

    // The next `n` codes of the kind, none scanned before.
    std::vector<std::string> take(Kind kind, int n) {
        std::vector<std::string>& from = kind == Kind::Sector      ? m_work.sectorCodes
                                         : kind == Kind::SubTicket ? m_work.subTickets
                                                                   : m_work.conveyorCodes;
        std::size_t& next = kind == Kind::Sector ? m_nextSector : kind == Kind::SubTicket ? m_nextSub : m_nextConveyor;
        if (next + static_cast<std::size_t>(n) > from.size()) throw std::runtime_error("too few boxes made");
        const auto first = from.begin() + static_cast<std::ptrdiff_t>(next);
        next += static_cast<std::size_t>(n);
        return {first, first + n};
    }

private:
    std::string iniText(Kind kind, const fs::path& dir) const {
        std::string s = "[ESTEIRA]\nBDADOS=127.0.0.1/" + std::to_string(m_proxy.port()) + ":" + m_db.path() +
                        "\nCODESTEIRA=01\nFUNCIONARIO=000101\nEXIBIR_IMG_PRODUTO=N\nCHAVE=2\nTEMPO_ESPERA=60000\n"
                        "DIARIO_LEITURAS=" +
                        (dir / "journal.db").string() + "\n";
        if (kind == Kind::Sector)
            s += "SETOR=21\nATU_PRODUCAO_SETOR_CXUNIT=S\nULTIMO_SETOR_ATU_CXUNIT=40\n";
        else
            s += "SETOR=40\nSETOR_ATU_PRODUCAO_SETOR=40\n";
        return s;
    }

    std::string m_station;
    vek::test::PrivateServer m_server;
    vek::test::TestDb m_db;
    vek::test::TcpProxy m_proxy;
    std::unique_ptr<vek::db::Connection> m_admin;
    Work m_work;
    std::size_t m_nextConveyor = 0, m_nextSector = 0, m_nextSub = 0;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double median(const std::vector<int>& v) {
    return median(std::vector<double>(v.begin(), v.end()));
}

struct Options {
    int scans = 40;
    std::vector<int> rtts{0, 5, 20, 50};
    std::vector<Kind> kinds{Kind::Conveyor, Kind::NoStock, Kind::Sector, Kind::SubTicket, Kind::StartUp};
    std::string station = VEK_STATION_EXE;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const std::string v = argv[++i];
        if (a == "--scans") {
            o.scans = std::max(3, std::stoi(v));
        } else if (a == "--rtt") {
            o.rtts.clear();
            std::size_t from = 0;
            for (std::size_t comma; (comma = v.find(',', from)) != std::string::npos; from = comma + 1)
                o.rtts.push_back(std::stoi(v.substr(from, comma - from)));
            o.rtts.push_back(std::stoi(v.substr(from)));
        } else if (a == "--station") {
            o.station = v;
        } else if (a == "--only") {
            o.kinds.clear();
            for (Kind k : {Kind::Conveyor, Kind::NoStock, Kind::Sector, Kind::SubTicket, Kind::StartUp})
                if (v == nameOf(k)) o.kinds.push_back(k);
            if (o.kinds.empty()) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: wan_bench [--scans S] [--rtt 0,5,20,50] "
                             "[--only conveyor|conveyor_nostock|sector|subticket|startup] [--station EXE]\n");
        return 2;
    }
    const Options& o = *options;
    const fs::path dir =
        fs::temp_directory_path() / ("vek-wanbench-" + std::to_string(QCoreApplication::applicationPid()));
    bool ok = true;
    try {
        Bench bench(o.scans, static_cast<int>(o.rtts.size()), o.station);
        std::printf("station in script mode through a relay delaying each chunk by half the round trip each way "
                    "(%d scans a kind, the first left out)\n",
                    o.scans);
        for (int rtt : o.rtts) {
            bench.setRoundTrip(rtt);
            for (Kind kind : o.kinds) {
                const fs::path runDir = dir / (std::string(nameOf(kind)) + "-" + std::to_string(rtt));
                double ms = 0, trips = 0;
                if (kind == Kind::StartUp) {
                    std::vector<double> times;
                    std::vector<int> exchanges;
                    for (int i = 0; i < kStartUps; ++i) {
                        const Run r =
                            bench.run(Kind::Conveyor, bench.take(Kind::Conveyor, 1), runDir / std::to_string(i));
                        if (r.failures > 0) throw std::runtime_error("start-up: " + r.firstFailure);
                        times.push_back(r.startUpMs);
                        exchanges.push_back(r.startUpExchanges);
                    }
                    ms = median(times);
                    trips = median(exchanges);
                } else {
                    const int n = kind == Kind::SubTicket ? std::max(3, o.scans / 4) : o.scans;
                    const Run r = bench.run(kind, bench.take(kind, n + 1), runDir);
                    if (r.failures > 0) {
                        std::fprintf(stderr, "%s at %d ms: %d scans failed, first: %s\n", nameOf(kind), rtt, r.failures,
                                     r.firstFailure.c_str());
                        ok = false;
                    }
                    ms = median(r.scanMs);
                    trips = median(r.scanExchanges);
                }
                std::printf("  %-9s round trip %2d ms: median %8.1f ms, %5.1f round trips\n", nameOf(kind), rtt, ms,
                            trips);
                std::printf("RESULT kind=wan_%s_rtt%d median_ms=%.1f round_trips=%.1f\n", nameOf(kind), rtt, ms, trips);
                std::fflush(stdout);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wan_bench: %s\n", e.what());
        ok = false;
    }
    if (ok) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    return ok ? 0 : 1;
}
