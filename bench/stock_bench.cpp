// Conveyor-mode scans that book each box into production stock (kind 0: the stock item is made
// by the first scan and found afterwards), from Enter to the message, against the same statements
// run bare plus one repaint; and sub-tickets of 50 boxes, from Enter to the message.
#include "BenchSupport.h"
#include "ScanWindows.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "scan/SectorRecords.h"
#include "station/StationContext.h"
#include "stock/TdmEstoqueProducao.h"
#include "util/DateTime.h"
#include "util/Format.h"

#include <QApplication>
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
constexpr int kSubTickets = 20;
constexpr int kSubTicketBoxes = 50;
constexpr int kSubTicketFirstCode = 100000;

// The stock module's parameters, an order to book on, its unit boxes and the sub-tickets.
void addOrderAndBoxes(vek::db::Connection& c) {
    c.executeImmediate("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('PRODUCAO_ESTOQUE', "
                       "'FILIAL_ESTOQUE', '5')");
    c.executeImmediate("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', "
                       "'MSG_CONLUSAO', 'S')");
    c.executeImmediate("insert into PRODUTO (COD_PR, DESC_PR, GRUPO_PR) values ('P100', 'TENIS', '20')");
    c.executeImmediate("insert into PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) values ('00001000', 'EX', 0)");
    c.executeImmediate("insert into PROGRAMACAO (NUM_PO, FILIAL_PO) values ('000123', 0)");
    c.executeImmediate("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) "
                       "values ('00001000', '001', 'P100', '00001', '000123', '0001', 'P')");
    c.executeImmediate("insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values "
                       "('00001000', '001', '38', 100000)");
    // The bare loop books on an order item of its own, so that both start without earlier bookings.
    c.executeImmediate("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) "
                       "values ('00001000', '002', 'P100', '00001', '000123', '0001', 'P')");
    c.executeImmediate("insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values "
                       "('00001000', '002', '38', 100000)");
    // Unit boxes of one order item in tickets of 20; then the sub-tickets' boxes, one ticket each.
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(2 * kScans) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, "
                       "PEDIDO_CX, ITEM_CX, DTEMISSAO_CX) values (:i + 1, 'P100', '00001', '38', '000123', "
                       "lpad(cast(:i / 20 + 1 as varchar(4)), 4, '0'), '00001000', iif(:i < " +
                       std::to_string(kScans) +
                       ", '001', '002'), cast('now' as timestamp));\n"
                       "    i = i + 1;\n  end\nend");
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(kSubTickets * kSubTicketBoxes) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, "
                       "PEDIDO_CX, ITEM_CX, DTEMISSAO_CX) values (:i + " +
                       std::to_string(kSubTicketFirstCode) +
                       ", 'P100', '00001', '38', '000123', "
                       "cast(:i / " +
                       std::to_string(kSubTicketBoxes) +
                       " + 5001 as varchar(4)), '00001000', '001', cast('now' as timestamp));\n"
                       "    i = i + 1;\n  end\nend");
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(kSubTickets) +
                       ") do begin\n"
                       "    insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
                       "(:i + 1, '000123', cast(:i + 5001 as varchar(4)), '0001', '38', " +
                       std::to_string(kSubTicketBoxes) +
                       ");\n"
                       "    i = i + 1;\n  end\nend");
}

// The scan's statements and the stock module's booking, without the station around them, and one
// repaint per scan.
class BareScanner {
public:
    explicit BareScanner(const std::string& path) {
        c.setDatabase(path);
        box.setSql(vek::sql::kCodCxUnScan);
        off.setSql(vek::sql::kQuilbar);
        count.setSql(vek::sql::kPesqEtiqProgFicha);
        box.prepare();
        off.prepare();
        module.DefinirConexao(c);
    }
    ~BareScanner() { c.close(); }
    BareScanner(const BareScanner&) = delete;
    BareScanner& operator=(const BareScanner&) = delete;

    void scan(int code, vek::OperatorDisplay& window) {
        box.close();
        box.param("COD").setInt(code);
        box.open();
        const vek::DateTime t = box.field("DATA_SERV").asDateTime();
        // As the station does: the write-off and its booking in one unit of work.
        c.startTransaction();
        off.param("COD").setInt(code);
        off.param("ESTEIRA").setString("01");
        off.param("SETOR").setString("");
        off.param("FUNCIONARIO").setString("7");
        off.execute();
        count.close();
        count.param("PROG").setString(box.field("PROG_CX").asString());
        count.param("FICHA").setString(box.field("FICHA_CX").asString());
        count.open();
        vek::stock::TRegEntradaEstoqueProd reg;
        reg.Filial = 5;
        reg.Usuario = "QUILBAR";
        reg.DataLanc = vek::SqlTimeStampAt(t, 0, 0, 0);
        reg.CodigoCxUnit = code;
        module.LancarEntrada(reg);
        c.commit();
        repaintLikeAScan(window, code);
    }

private:
    vek::db::Connection c;
    vek::db::Query box{c}, now{c}, off{c}, count{c};
    vek::stock::TdmEstoqueProducao module;
};

// The station and the bare statements in alternating rounds of 50 scans.
bool compareStock(const fs::path& dir, bool forcedWrites) {
    const std::string name = forcedWrites ? "fw" : "nofw";
    const std::string db = (dir / (name + ".fdb")).string();
    const std::string ini = (dir / (name + ".INI")).string();
    createDatabase(db, forcedWrites, addOrderAndBoxes);
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db << "\nCODESTEIRA=01\nFUNCIONARIO=7\nEXIBIR_IMG_PRODUTO=N\n";
    bool ok = true;
    ScanWindows windows(ini);
    auto& w = windows.station;
    auto& bareWindow = windows.bare;
    auto& boxes = windows.boxes;
    QLineEdit* ed = windows.scanField;

    constexpr int kRound = 50;
    ScanSide station, bare;
    std::vector<double> subTickets;
    DbActivity::Counts subTicketCost;
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
        for (int i = 0; i < kSubTickets; ++i) {
            const auto start = Clock::now();
            enter(ed, QStringLiteral("2000123%1").arg(5001 + i) + QStringLiteral("0001"));
            subTickets.push_back(ms(Clock::now() - start));
        }
        subTicketCost += activity.take();
        if (w.station().monitor().dayCount() != kScans + kSubTickets * kSubTicketBoxes || !boxes.take().empty()) {
            std::fprintf(stderr, "sub-tickets failed: %d written off\n", w.station().monitor().dayCount());
            ok = false;
        }
    }

    vek::db::Connection check;
    check.setDatabase(db);
    vek::db::Query n(check);
    n.setSql("select count(*) as N, count(distinct ID_PROD_ITEM_ESTOQUE_EMP) as I from ENTRADAMP");
    n.open();
    const int entries = n.field("N").asInt();
    const int items = n.field("I").asInt();
    check.close();
    if (entries != 2 * kScans + kSubTickets || items != 1) {
        std::fprintf(stderr, "bookings: %d stock entries on %d stock items\n", entries, items);
        ok = false;
    }

    const Figures s = figures(station.times), b = figures(bare.times), t = figures(subTickets);
    const std::string title = std::string("conveyor scan with a kind-0 booking, Enter to message (500 scans each, "
                                          "embedded engine, forced writes ") +
                              (forcedWrites ? "on)" : "off)");
    printComparison(forcedWrites ? "stock" : "stock_nofw", title.c_str(), s, b);
    DbActivity::print("stock", forcedWrites, kScans, station.cost);
    DbActivity::print("stock_bare", forcedWrites, kScans, bare.cost);
    std::printf("sub-ticket of %d boxes, Enter to message (%d sub-tickets, forced writes %s): median %.1f ms, max "
                "%.1f ms\n",
                kSubTicketBoxes, kSubTickets, forcedWrites ? "on" : "off", t.median,
                *std::max_element(subTickets.begin(), subTickets.end()));
    // No bare counterpart: a sub-ticket is many boxes in one scan.
    std::printf("RESULT kind=%s boxes=%d station_median_ms=%.3f station_p99_ms=%.3f\n",
                forcedWrites ? "sub_ticket" : "sub_ticket_nofw", kSubTicketBoxes, t.median, t.p99);
    DbActivity::print("sub_ticket", forcedWrites, kSubTickets, subTicketCost);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    const fs::path dir = fs::temp_directory_path() / ("vek-stockbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int rc = 0;
    try {
        for (bool forcedWrites : {true, false}) {
            if (!compareStock(dir, forcedWrites)) {
                rc = 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    fs::remove_all(dir);
    return rc;
}
