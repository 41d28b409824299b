// The station on a database that has grown for a year against the same station on the small demo
// database: start-up to the first scan, a conveyor scan, a sector scan (four-sector route,
// validation on), a sub-ticket of 50 boxes, the label enquiry with its sector list and the counter
// reload, this one at the month's end: the clock on the last working day of the year's last complete
// month, so that a whole month of the factory's write-offs lies in the counters' bounds. Both
// databases are made by scripts/year-db.sh (the small one with no days, the year one once and kept:
// VEK_YEAR_DB or the first argument, default .bench/year.fdb in the source tree);
// today's boxes to scan are made anew on both before every run. Both run with forced writes off;
// the year database gets them back at the end.
#include "BenchSupport.h"
#include "app/Station.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "enquiry/LabelEnquiry.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "util/Format.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vek::bench;
namespace fs = std::filesystem;

namespace {

// Today's boxes of scripts/year-db-today.sql.
constexpr int kConveyorFirst = 2000000001, kConveyorBoxes = 500;
constexpr int kSectorFirst = 2000001001, kSectorBoxes = 500;
constexpr int kSubTickets = 20, kSubTicketBoxes = 50;
constexpr int kStarts = 5, kEnquiries = 100, kReloads = 5;

struct Side {
    Figures startup, conveyor, sector, subTicket, enquiry, reload;
    int reloadMonthCount = 0;
};

void run(const std::string& command) {
    std::fflush(stdout);
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::string script(const std::string& file, const std::string& args) {
    return std::string("VEK_MKDB='") + VEK_MKDB_PATH + "' bash '" + VEK_SOURCE_DIR + "/scripts/year-db.sh' '" + file +
           "' " + args;
}

void writeIni(const fs::path& ini, const std::string& db, bool sector) {
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db << "\nCODESTEIRA=01\nFUNCIONARIO=000101\nEXIBIR_IMG_PRODUTO=N\n"
                       << "CHAVE=0\nSETOR=40\n"
                       << (sector ? "ATU_PRODUCAO_SETOR_CXUNIT=S\nULTIMO_SETOR_ATU_CXUNIT=40\n"
                                  : "SETOR_ATU_PRODUCAO_SETOR=40\n");
}

class Window {
public:
    explicit Window(const fs::path& ini) : w(vek::Platform{&tones, &boxes, [](int) {}}, ini.string(), "/nonexistent") {}
    ~Window() { w.station().context().sqlCon.close(); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    double start() {
        const auto t = Clock::now();
        w.FormCreate();
        w.show();
        QCoreApplication::processEvents();
        return ms(Clock::now() - t);
    }
    double scan(const QString& code) {
        auto* ed = w.findChild<QLineEdit*>(QStringLiteral("edCodBar"));
        const auto t = Clock::now();
        enter(ed, code);
        return ms(Clock::now() - t);
    }
    void expect(int dayCount, const char* what) {
        if (w.station().monitor().dayCount() != dayCount || !boxes.take().empty())
            throw std::runtime_error(std::string(what) + ": day count " +
                                     std::to_string(w.station().monitor().dayCount()) + ", expected " +
                                     std::to_string(dayCount));
    }

    vek::RecordingToneOutput tones;
    vek::RecordingMessageBoxes boxes;
    vek::TfrmQuilbar w;
};

// 17:00 on the last working day (Mon-Fri) of the last month whose working days the year's boxes
// (codes from 1 000 000 001) cover to the end.
vek::DateTime monthEndReference(const std::string& db) {
    vek::db::Connection c;
    c.setDatabase(db);
    vek::db::Query q(c);
    q.setSql("select max(DTBAIXA_CX) as ULTIMA from CODCXUNIT where CODIGO_CX between :PRIMEIRO and :ULTIMO");
    q.param("PRIMEIRO").setInt(1000000001);
    q.param("ULTIMO").setInt(kConveyorFirst - 1);
    q.open();
    if (q.field("ULTIMA").isNull()) throw std::runtime_error("the year database has no write-offs");
    const vek::DateTime last = q.field("ULTIMA").asDateTime().datePart();
    c.close();
    const auto lastWorkingDay = [](int year, int month) {
        vek::DateTime d = vek::DateTime::fromDate(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1);
        do {
            d = d.addDays(-1);
        } while (d.dayOfWeek() == 1 || d.dayOfWeek() == 7);
        return d;
    };
    vek::DateTime day = lastWorkingDay(last.year(), last.month());
    if (last < day)
        day = lastWorkingDay(last.month() == 1 ? last.year() - 1 : last.year(),
                             last.month() == 1 ? 12 : last.month() - 1);
    return day.addTicks(17 * 3600 * vek::DateTime::kTicksPerSecond);
}

Side measure(const std::string& db, const fs::path& dir, const vek::DateTime& monthEnd) {
    Side side;
    const fs::path conveyorIni = dir / "conveyor.INI", sectorIni = dir / "sector.INI";
    writeIni(conveyorIni, db, false);
    writeIni(sectorIni, db, true);

    std::vector<double> times;
    for (int i = 0; i < kStarts; ++i) {
        Window w(conveyorIni);
        times.push_back(w.start());
    }
    side.startup = figures(times);

    Window conveyor(conveyorIni);
    conveyor.start();
    const int before = conveyor.w.station().monitor().dayCount();
    times.clear();
    for (int i = 0; i < kConveyorBoxes; ++i) times.push_back(conveyor.scan(QString::number(kConveyorFirst + i)));
    conveyor.expect(before + kConveyorBoxes, "conveyor scans");
    side.conveyor = figures(times);

    times.clear();
    for (int i = 0; i < kSubTickets; ++i)
        times.push_back(
            conveyor.scan(QStringLiteral("2900003%1").arg(i + 1, 4, 10, QLatin1Char('0')) + QStringLiteral("0001")));
    conveyor.expect(before + kConveyorBoxes + kSubTickets * kSubTicketBoxes, "sub-tickets");
    side.subTicket = figures(times);

    times.clear();
    conveyor.w.station().monitor().setClockTime(monthEnd);
    for (int i = 0; i < kReloads; ++i) {
        const auto t = Clock::now();
        conveyor.w.reloadCounters();
        times.push_back(ms(Clock::now() - t));
    }
    side.reload = figures(times);
    side.reloadMonthCount = conveyor.w.station().monitor().monthCount();

    Window sector(sectorIni);
    sector.start();
    const int sectorBefore = sector.w.station().monitor().dayCount();
    times.clear();
    for (int i = 0; i < kSectorBoxes; ++i) times.push_back(sector.scan(QString::number(kSectorFirst + i)));
    sector.expect(sectorBefore + kSectorBoxes, "sector scans");
    side.sector = figures(times);

    // The boxes just recorded in their fourth sector: each enquiry lists the route with its counts.
    vek::enquiry::LabelEnquiry& enquiry = sector.w.station().enquiry();
    enquiry.traceBaseDir = dir;
    times.clear();
    for (int i = 0; i < kEnquiries; ++i) {
        const auto t = Clock::now();
        enquiry.Open();
        enquiry.EnquireLabel(std::to_string(kSectorFirst + i * (kSectorBoxes / kEnquiries)));
        times.push_back(ms(Clock::now() - t));
        if (enquiry.cdsSetoresConsulta.recordCount() == 0) throw std::runtime_error("enquiry listed no sector");
    }
    side.enquiry = figures(times);
    return side;
}

void print(const char* kind, const char* title, const Figures& small, const Figures& year) {
    std::printf("%s:\n  small: median %.3f ms, p99 %.3f ms, first %.3f ms\n"
                "  year:  median %.3f ms, p99 %.3f ms, first %.3f ms\n  ratio (median) %.2f, (p99) %.2f\n",
                title, small.median, small.p99, small.first, year.median, year.p99, year.first,
                year.median / small.median, year.p99 / small.p99);
    std::printf("RESULT kind=%s small_median_ms=%.3f small_p99_ms=%.3f year_median_ms=%.3f year_p99_ms=%.3f "
                "ratio=%.2f\n",
                kind, small.median, small.p99, year.median, year.p99, year.median / small.median);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    const char* env = std::getenv("VEK_YEAR_DB");
    const std::string year = argc > 1 ? argv[1] : env && *env ? env : std::string(VEK_SOURCE_DIR) + "/.bench/year.fdb";
    const fs::path dir = fs::temp_directory_path() / ("vek-growthbench-" + std::to_string(::getpid()));
    int rc = 0;
    try {
        fs::create_directories(dir / "small");
        fs::create_directories(dir / "year");
        const std::string small = (dir / "small" / "main.fdb").string();
        run(script(small, "--days 0 > /dev/null"));
        if (!fs::exists(year)) {
            std::printf("making the year database %s (a few minutes)\n", year.c_str());
            run(script(year, ""));
        } else {
            run(script(year, "--today"));
        }
        const vek::DateTime monthEnd = monthEndReference(year);
        // Both without waiting for the disk on every commit, as the other benchmarks' databases: on
        // a machine shared with other work the flushes would drown what the rows cost.
        run("gfix -write async -user SYSDBA '" + small + "'");
        run("gfix -write async -user SYSDBA '" + year + "'");
        const Side s = measure(small, dir / "small", monthEnd);
        const Side y = measure(year, dir / "year", monthEnd);
        run("gfix -write sync -user SYSDBA '" + year + "'");
        print("growth_startup", "start-up to the first scan (FormCreate: counters, hourly grid; 5 starts)", s.startup,
              y.startup);
        print("growth_conveyor", "conveyor scan, Enter to message (500 scans)", s.conveyor, y.conveyor);
        print("growth_sector", "sector scan, 4-sector route, validation on (500 scans)", s.sector, y.sector);
        print("growth_sub_ticket", "sub-ticket of 50 boxes (20 sub-tickets)", s.subTicket, y.subTicket);
        print("growth_enquiry", "label enquiry with its sector list (100 enquiries)", s.enquiry, y.enquiry);
        char reloadTitle[200];
        char day[32];
        std::snprintf(reloadTitle, sizeof reloadTitle,
                      "counter reload at the month's end (clock at %.16s, the last working day of the year's last "
                      "complete month; month count %d on the year, %d on the small one; 5 reloads)",
                      monthEnd.isoText(day), y.reloadMonthCount, s.reloadMonthCount);
        print("growth_counter_reload", reloadTitle, s.reload, y.reload);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return rc;
}
