// One conveyor-mode scan from Enter to the message, against the same statements executed bare
// through the database layer plus one repaint; and a counter load over 100,000 rows of the month
// against a bare fetch of the same rows. RESULT lines carry the figures for scripts/bench.sh.
#include "BenchSupport.h"
#include "app/RecordingMessageBoxes.h"
#include "app/RecordingToneOutput.h"
#include "app/TfrmQuilbar.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"
#include "monitoring/ProductionCounters.h"
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

void createDatabase(const std::string& path) {
    vek::db::createDatabase(path, "sysdba", "", 8192, false);
    vek::db::Connection c;
    c.setDatabase(path);
    vek::db::runScriptFile(c, std::string(VEK_SOURCE_DIR) + "/schema/main.sql");
    // Boxes to scan: tickets of 20 boxes, emitted now.
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(2 * kScans) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, "
                       "DTEMISSAO_CX) values (:i + 1, 'P100', '00001', '38', '000123', "
                       "lpad(cast(:i / 20 + 1 as varchar(4)), 4, '0'), cast('now' as timestamp));\n"
                       "    i = i + 1;\n  end\nend");
    c.close();
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

std::vector<double> bareScans(const std::string& path, int firstCode, vek::OperatorDisplay& window) {
    vek::db::Connection c;
    c.setDatabase(path);
    vek::db::Query box(c), now(c), off(c), count(c);
    box.setSql(vek::sql::kCodCxUn);
    now.setSql(vek::sql::kDataServ);
    off.setSql(vek::sql::kQuilbar);
    count.setSql(vek::sql::kPesqEtiqProgFicha);
    box.prepare();
    off.prepare();
    std::vector<double> times;
    for (int i = 0; i < kScans; ++i) {
        const auto start = Clock::now();
        box.param("COD").setDouble(firstCode + i);
        box.open();
        now.open();
        off.param("COD").setDouble(firstCode + i);
        off.param("ESTEIRA").setString("01");
        off.param("SETOR").setString("");
        off.param("FUNCIONARIO").setString("7");
        off.execSql();
        count.param("PROG").setString(box.field("PROG_CX").asString());
        count.param("FICHA").setString(box.field("FICHA_CX").asString());
        count.open();
        repaintLikeAScan(window, firstCode + i);
        times.push_back(ms(Clock::now() - start));
    }
    c.close();
    return times;
}

// The counter load's statement over the same month, its rows fetched and read, nothing counted.
std::vector<double> bareCounterFetches(const std::string& path, int loads, int& rowCount) {
    vek::db::Connection c;
    c.setDatabase(path);
    vek::db::Query now(c), rows(c);
    now.setSql(vek::sql::kDataServ);
    rows.setSql("select ESTEIRA_CX, DTBAIXA_CX, DATA_CANC_CX\nfrom CODCXUNIT\nwhere DTBAIXA_CX>=:DATAI\n"
                "and DTBAIXA_CX<=:DATAF");
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
            sink +=
                static_cast<std::int64_t>(r[0].asString().size()) + r[1].asDateTime().ticks() + (r[2].isNull() ? 0 : 1);
            ++rowCount;
        }
        if (sink == 42) std::fputc(' ', stderr);
        rows.close();
        times.push_back(ms(Clock::now() - start));
    }
    c.close();
    return times;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    const fs::path dir = fs::temp_directory_path() / ("vek-stationbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string db = (dir / "main.fdb").string();
    const std::string ini = (dir / "station.INI").string();
    int rc = 0;
    try {
        createDatabase(db);
        std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db << "\nCODESTEIRA=01\nFUNCIONARIO=7\nEXIBIR_IMG_PRODUTO=N\n";

        std::vector<double> station;
        {
            vek::RecordingToneOutput tones;
            vek::RecordingMessageBoxes boxes;
            vek::TfrmQuilbar w(vek::Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
            w.FormCreate();
            w.show();
            QCoreApplication::processEvents();
            auto* ed = w.findChild<QLineEdit*>(QStringLiteral("edCodBar"));
            for (int i = 0; i < kScans; ++i) {
                const auto start = Clock::now();
                enter(ed, QString::number(i + 1));
                station.push_back(ms(Clock::now() - start));
            }
            if (w.dayCount() != kScans || !boxes.take().empty()) {
                std::fprintf(stderr, "scans failed: %d written off\n", w.dayCount());
                rc = 1;
            }
            w.sqlCon().close();
        }
        vek::RecordingToneOutput tones;
        vek::RecordingMessageBoxes boxes;
        vek::TfrmQuilbar bareWindow(vek::Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
        bareWindow.show();
        QCoreApplication::processEvents();
        const Figures s = figures(station), b = figures(bareScans(db, kScans + 1, bareWindow));
        printComparison("conveyor", "conveyor scan, Enter to message (500 scans each, embedded engine)", s, b);

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
            const int monthCount = w.monthCount();
            w.sqlCon().close();
            int fetched = 0;
            const Figures l = figures(loads), f = figures(bareCounterFetches(db, kLoads, fetched));
            std::printf("counter load over %d rows of the month: median %.1f ms (month count %d); bare fetch of the "
                        "same %d rows: median %.1f ms; ratio %.2f (%d loads each)\n",
                        kMonthRows + 2 * kScans, l.median, monthCount, fetched, f.median, l.median / f.median, kLoads);
            std::printf("RESULT kind=counter_load rows=%d station_median_ms=%.3f station_p99_ms=%.3f "
                        "bare_median_ms=%.3f bare_p99_ms=%.3f ratio=%.2f\n",
                        fetched, l.median, l.p99, f.median, f.p99, l.median / f.median);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    fs::remove_all(dir);
    return rc;
}
