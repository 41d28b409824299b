// One conveyor-mode scan from Enter to the message, against the same statements executed bare
// through the database layer plus one repaint, in alternating rounds, on a database with forced
// writes and on one without, with the transactions and page writes each scan costs; the clock tick's
// and the counter reload's cost in transactions; and a counter load over 100,000 rows of the month
// against the same statement run bare. RESULT lines carry the figures for scripts/bench.sh.
#include "BenchSupport.h"
#include "ScanWindows.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "monitoring/ProductionCounters.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/SectorRecords.h"
#include "station/StationContext.h"
#include "util/Format.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace vek::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kScans = 500;
constexpr int kMonthRows = 100000;

// Boxes to scan: tickets of 20 boxes, emitted now.
void addBoxes(vek::db::Connection& c) {
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(2 * kScans) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, "
                       "DTEMISSAO_CX) values (:i + 1, 'P100', '00001', '38', '000123', "
                       "lpad(cast(:i / 20 + 1 as varchar(4)), 4, '0'), cast('now' as timestamp));\n"
                       "    i = i + 1;\n  end\nend");
}

void addMonthRows(const std::string& path) {
    vek::db::Connection c;
    c.setDatabase(path);
    // Spread over the days of the month so far, a few on other conveyors and some cancelled.
    c.executeImmediate("execute block as declare i integer = 0; declare d timestamp; begin\n"
                       "  d = cast('now' as timestamp);\n"
                       "  while (i < " +
                       std::to_string(kMonthRows) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PROG_CX, FICHA_CX, DTEMISSAO_CX, DTBAIXA_CX, "
                       "DATA_CANC_CX, ESTEIRA_CX) values (1000000 + :i, 'P100', '000900', '0001', :d, "
                       "dateadd(-mod(:i, extract(day from :d)) day to :d), "
                       "iif(mod(:i, 50) = 0, :d, null), iif(mod(:i, 10) = 0, '02', '01'));\n"
                       "    i = i + 1;\n  end\nend");
    c.close();
}

// The statements of one conveyor scan, run bare through the database layer, each scan followed by
// one repaint of what a scan changes.
class BareScanner {
public:
    explicit BareScanner(const std::string& path) {
        c.setDatabase(path);
        box.setSql(vek::sql::kCodCxUnScan);
        off.setSql(vek::sql::kQuilbar);
        count.setSql(vek::sql::kPesqEtiqProgFicha);
        box.prepare();
        off.prepare();
    }
    ~BareScanner() { c.close(); }
    BareScanner(const BareScanner&) = delete;
    BareScanner& operator=(const BareScanner&) = delete;

    void scan(int code, vek::OperatorDisplay& window) {
        box.param("COD").setDouble(code);
        box.open();
        off.param("COD").setDouble(code);
        off.param("ESTEIRA").setString("01");
        off.param("SETOR").setString("");
        off.param("FUNCIONARIO").setString("7");
        off.execute();
        count.param("PROG").setString(box.field("PROG_CX").asString());
        count.param("FICHA").setString(box.field("FICHA_CX").asString());
        count.open();
        repaintLikeAScan(window, code);
    }

private:
    vek::db::Connection c;
    vek::db::Query box{c}, off{c}, count{c};
};

// The counter load's statement over the same month, its rows (this conveyor's counts by day and
// hour) fetched and read, nothing added up.
std::vector<double> bareCounterFetches(const std::string& path, int loads, int& rowCount) {
    vek::db::Connection c;
    c.setDatabase(path);
    vek::db::Query now(c), rows(c);
    now.setSql(vek::sql::kDataServ);
    rows.setSql(vek::sql::kTotPar);
    rows.param("ESTEIRA").setString("01");
    rows.param("TAMANHO").setInt(2);
    std::vector<double> times;
    for (int i = 0; i < loads; ++i) {
        const auto start = Clock::now();
        now.open();
        vek::DateTime from, to;
        vek::counterBounds(now.field("DATA_SERV").asDateTime(), from, to);
        now.close();
        rows.close();
        rows.param("DATAI").setDateTime(from);
        rows.param("DATAF").setDateTime(to);
        rows.open();
        // Each value read as the load reads it, so that the compiler keeps the reads.
        rowCount = 0;
        std::int64_t sink = 0;
        for (const auto& r : rows.rows()) {
            sink += r[0].asDateTime().ticks() + r[1].asInt64() + r[2].asInt() + r[3].asInt();
            ++rowCount;
        }
        if (sink == 42) std::fputc(' ', stderr);
        rows.close();
        times.push_back(ms(Clock::now() - start));
    }
    c.close();
    return times;
}

// The station and the bare statements in alternating rounds of 50 scans.
bool compareConveyor(const fs::path& dir, bool forcedWrites) {
    const std::string db = (dir / (forcedWrites ? "fw.fdb" : "nofw.fdb")).string();
    const std::string ini = (dir / (forcedWrites ? "fw.INI" : "nofw.INI")).string();
    createDatabase(db, forcedWrites, addBoxes);
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db << "\nCODESTEIRA=01\nFUNCIONARIO=7\nEXIBIR_IMG_PRODUTO=N\n";
    constexpr int kRound = 50;
    bool ok = true;
    ScanSide station, bare;
    DbActivity::Counts tickCost, reloadCost;
    ScanWindows windows(ini);
    auto& w = windows.station;
    auto& bareWindow = windows.bare;
    auto& boxes = windows.boxes;
    QLineEdit* ed = windows.scanField;
    {
        DbActivity activity(db);
        BareScanner scanner(db);
        alternateRounds(
            kScans, kRound, &activity, [&](int i) { enter(ed, QString::number(i + 1)); },
            [&](int i) { scanner.scan(kScans + i + 1, bareWindow); }, station, bare);
        if (w.station().monitor().dayCount() != kScans || !boxes.take().empty()) {
            std::fprintf(stderr, "scans failed: %d written off\n", w.station().monitor().dayCount());
            ok = false;
        }
        for (int i = 0; i < kRound; ++i) {
            w.ClockTick();
        }
        tickCost += activity.take();
        for (int i = 0; i < 5; ++i) {
            w.reloadCounters();
        }
        reloadCost += activity.take();
        const Figures s = figures(station.times), b = figures(bare.times);
        const std::string title = std::string("conveyor scan, Enter to message (500 scans each, embedded engine, "
                                              "forced writes ") +
                                  (forcedWrites ? "on)" : "off)");
        printComparison(forcedWrites ? "conveyor" : "conveyor_nofw", title.c_str(), s, b);
        DbActivity::print("conveyor", forcedWrites, kScans, station.cost);
        DbActivity::print("conveyor_bare", forcedWrites, kScans, bare.cost);
        std::printf("  clock tick: %.2f transactions each (%d ticks); counter reload: %.2f transactions each\n",
                    static_cast<double>(tickCost.transactions) / kRound, kRound,
                    static_cast<double>(reloadCost.transactions) / 5);
        std::printf("RESULT kind=tick_reload_activity forced_writes=%s tick_transactions=%.2f "
                    "reload_transactions=%.2f\n",
                    forcedWrites ? "on" : "off", static_cast<double>(tickCost.transactions) / kRound,
                    static_cast<double>(reloadCost.transactions) / 5);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    const fs::path dir = fs::temp_directory_path() / ("vek-stationbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int rc = 0;
    try {
        for (bool forcedWrites : {true, false}) {
            if (!compareConveyor(dir, forcedWrites)) {
                rc = 1;
            }
        }
        const std::string db = (dir / "fw.fdb").string();
        const std::string ini = (dir / "fw.INI").string();
        addMonthRows(db);
        {
            vek::RecordingToneOutput tones;
            vek::RecordingMessageBoxes boxes;
            vek::TfrmQuilbar w(vek::Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
            w.FormCreate();
            constexpr int kLoads = 5;
            std::vector<double> loads;
            for (int i = 0; i < kLoads; ++i) {
                const auto start = Clock::now();
                w.reloadCounters();
                loads.push_back(ms(Clock::now() - start));
            }
            const int monthCount = w.station().monitor().monthCount();
            w.station().context().sqlCon.close();
            int fetched = 0;
            const Figures l = figures(loads), f = figures(bareCounterFetches(db, kLoads, fetched));
            std::printf("counter load over %d rows of the month: median %.1f ms (month count %d); the same "
                        "statement bare, its %d rows (counts by day and hour) read: median %.1f ms; ratio %.2f (%d "
                        "loads each)\n",
                        kMonthRows + 2 * kScans, l.median, monthCount, fetched, f.median, l.median / f.median, kLoads);
            std::printf("RESULT kind=counter_load rows=%d station_median_ms=%.3f station_p99_ms=%.3f "
                        "bare_median_ms=%.3f bare_p99_ms=%.3f ratio=%.2f\n",
                        kMonthRows + 2 * kScans, l.median, l.p99, f.median, f.p99, l.median / f.median);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    fs::remove_all(dir);
    return rc;
}
