// A sector-mode scan along a four-sector route (validation and both sector records, dashboard and
// stock off), from Enter to the message, against the same statements run bare through the database
// layer plus one repaint of the changed widgets. `--server` runs both through the test server on
// 127.0.0.1 (start it first with scripts/fb-test-server.sh start).
#include "BareSectorRecord.h"
#include "BenchSupport.h"
#include "ScanWindows.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "scan/SectorRecords.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "validation/TdmProducaoValidacao.h"

#include <QApplication>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace vek::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kScans = 500;

std::string g_password;

vek::db::Connection& open(vek::db::Connection& c, const std::string& location) {
    c.setDatabase(location);
    c.setPassword(g_password);
    return c;
}

// Route 10 → 20 → 30 → 40; the station is sector 40, the last one: every box was recorded in 30.
void addRouteAndBoxes(vek::db::Connection& c) {
    vek::bench::addSectorRoute(c);
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(2 * kScans) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, "
                       "DTEMISSAO_CX) values (:i + 1, 'P100', '00001', '38', '000123', "
                       "lpad(cast(:i / 20 + 1 as varchar(4)), 4, '0'), cast('now' as timestamp));\n"
                       "    insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, SETOR_PU, "
                       "CODCXUNIT_PU, QTDE_PU) values (gen_id(ID_PRODUCAO_SETOR_CXUNIT, 1), '000123', "
                       "lpad(cast(:i / 20 + 1 as varchar(4)), 4, '0'), '0000', '30', :i + 1, 1);\n"
                       "    i = i + 1;\n  end\nend");
}

// The statements of one sector scan, run bare through the database layer on a connection of their
// own, each scan followed by one repaint of what a scan changes.
class BareScanner {
public:
    explicit BareScanner(const std::string& location) {
        open(c, location);
        box.setSql(vek::sql::kCodCxUnScan);
        lock.setSql(vek::sql::kBloqCxUnit);
        lock.setSingleRow(true);
        off.setSql(vek::sql::kQuilbar);
        count.setSql(vek::sql::kPesqEtiqProgFichaSetor);
    }
    ~BareScanner() { c.close(); }
    BareScanner(const BareScanner&) = delete;
    BareScanner& operator=(const BareScanner&) = delete;

    void scan(int code, vek::OperatorDisplay& window) {
        box.param("COD").setInt(code);
        box.open();
        // As the station does: the box locked first, then validated and recorded in one unit of work.
        c.startTransaction();
        lock.param("COD").setInt(code);
        lock.open();
        record.validate(code);
        const std::string prog = box.field("PROG_CX").asString(), ficha = box.field("FICHA_CX").asString();
        off.param("COD").setInt(code);
        off.param("ESTEIRA").setString("01");
        off.param("SETOR").setString("40");
        off.param("FUNCIONARIO").setString("7");
        off.execute();
        record.record(code, prog, ficha);
        count.param("SETOR").setString("40");
        count.param("PROG").setString(prog);
        count.param("FICHA").setString(ficha);
        count.open();
        c.commit();
        repaintLikeAScan(window, code);
    }

private:
    vek::db::Connection c;
    vek::db::Query box{c}, lock{c}, now{c}, off{c}, count{c};
    BareSectorRecord record{c};
};

// The station and the bare statements in alternating rounds of 50 scans.
bool compareSector(const fs::path& dir, const std::string& prefix, bool server, bool forcedWrites) {
    const std::string name = forcedWrites ? "fw" : "nofw";
    const std::string location = prefix + (dir / (name + ".fdb")).string();
    const std::string ini = (dir / (name + ".INI")).string();
    createDatabase(location, forcedWrites, addRouteAndBoxes, g_password);
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << location << "\nCODESTEIRA=01\nFUNCIONARIO=7\n"
                       << "EXIBIR_IMG_PRODUTO=N\nATU_PRODUCAO_SETOR_CXUNIT=S\nSETOR=40\n"
                       << "ULTIMO_SETOR_ATU_CXUNIT=40\nCHAVE=" << (server ? "2" : "0") << "\n";
    constexpr int kRound = 50;
    bool ok = true;
    ScanSide station, bare;
    ScanWindows windows(ini);
    auto& w = windows.station;
    auto& bareWindow = windows.bare;
    auto& boxes = windows.boxes;
    QLineEdit* ed = windows.scanField;
    {
        DbActivity activity(location, g_password);
        BareScanner scanner(location);
        alternateRounds(
            kScans, kRound, &activity, [&](int i) { enter(ed, QString::number(i + 1)); },
            [&](int i) { scanner.scan(kScans + i + 1, bareWindow); }, station, bare);
    }
    if (w.station().monitor().dayCount() != kScans || !boxes.take().empty()) {
        std::fprintf(stderr, "scans failed: %d recorded\n", w.station().monitor().dayCount());
        ok = false;
    }
    const Figures s = figures(station.times), b = figures(bare.times);
    const std::string title = std::string("sector scan, 4-sector route, validation + both records (") +
                              (server ? "test server on 127.0.0.1" : "embedded engine") + ", forced writes " +
                              (forcedWrites ? "on" : "off") + ", 500 scans each)";
    printComparison(forcedWrites ? "sector" : "sector_nofw", title.c_str(), s, b);
    DbActivity::print("sector", forcedWrites, kScans, station.cost);
    DbActivity::print("sector_bare", forcedWrites, kScans, bare.cost);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    const bool server = argc > 1 && std::strcmp(argv[1], "--server") == 0;
    const fs::path dir = fs::temp_directory_path() / ("vek-sectorbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string prefix;
    if (server) {
        const char* port = std::getenv("VEK_FB_PORT");
        prefix = std::string("127.0.0.1/") + (port ? port : "3050") + ":";
        const char* pw = std::getenv("VEK_FB_PASSWORD");
        g_password = pw ? pw : "tovrak47";
    }
    int rc = 0;
    try {
        for (bool forcedWrites : {true, false}) {
            if (!compareSector(dir, prefix, server, forcedWrites)) {
                rc = 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return rc;
}
