// The scan journal's cost: a conveyor-mode scan from Enter to the message with the journal and
// without one, taking turns in rounds of 50 scans on one database as the sector benchmark does; and
// the time to settle 1,000 kept scans once the database is back. RESULT lines for scripts/bench.sh.
#include "BenchSupport.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "util/Format.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

using namespace vek::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kScans = 500;
constexpr int kRound = 50;
constexpr int kKept = 1000;

// Boxes to scan: tickets of 20 boxes, emitted now.
void addBoxes(vek::db::Connection& c, int boxes) {
    c.executeImmediate("execute block as declare i integer = 0; begin\n"
                       "  while (i < " +
                       std::to_string(boxes) +
                       ") do begin\n"
                       "    insert into CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, "
                       "DTEMISSAO_CX) values (:i + 1, 'P100', '00001', '38', '000123', "
                       "lpad(cast(:i / 20 + 1 as varchar(4)), 4, '0'), cast('now' as timestamp));\n"
                       "    i = i + 1;\n  end\nend");
}

struct Window {
    vek::RecordingToneOutput tones;
    vek::RecordingMessageBoxes boxes;
    std::unique_ptr<vek::TfrmQuilbar> w;
    QLineEdit* ed = nullptr;
    explicit Window(const std::string& ini) {
        w = std::make_unique<vek::TfrmQuilbar>(vek::Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
        w->FormCreate();
        w->show();
        QCoreApplication::processEvents();
        ed = w->findChild<QLineEdit*>(QStringLiteral("edCodBar"));
        boxes.take(); // the journal-less station's warning
    }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    const fs::path dir = fs::temp_directory_path() / ("vek-journalbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string db = (dir / "main.fdb").string();
    const std::string settings = "[ESTEIRA]\nBDADOS=" + db + "\nCODESTEIRA=01\nFUNCIONARIO=7\nEXIBIR_IMG_PRODUTO=N\n";
    std::ofstream((dir / "plain").string()) << "x";
    std::ofstream((dir / "on.INI").string()) << settings << "DIARIO_LEITURAS=" << (dir / "on.db").string() << "\n";
    std::ofstream((dir / "off.INI").string())
        << settings << "DIARIO_LEITURAS=" << (dir / "plain/off.db").string() << "\n";
    std::ofstream((dir / "kept.INI").string()) << settings << "DIARIO_LEITURAS=" << (dir / "kept.db").string() << "\n";
    int rc = 0;
    try {
        createDatabase(db, false, [](vek::db::Connection& c) { addBoxes(c, 2 * kScans + kKept); });
        ScanSide on, off;
        {
            Window withJournal((dir / "on.INI").string());
            Window without((dir / "off.INI").string());
            if (!withJournal.w->station().forward().journal() || without.w->station().forward().journal()) {
                throw std::runtime_error("the journals are not as the benchmark needs them");
            }
            alternateRounds(
                kScans, kRound, nullptr, [&](int i) { enter(withJournal.ed, QString::number(i + 1)); },
                [&](int i) { enter(without.ed, QString::number(kScans + i + 1)); }, on, off);
            if (withJournal.w->station().monitor().dayCount() != kScans ||
                without.w->station().monitor().dayCount() != kScans) {
                std::fprintf(stderr, "scans failed: %d and %d written off\n",
                             withJournal.w->station().monitor().dayCount(), without.w->station().monitor().dayCount());
                rc = 1;
            }
            withJournal.w->station().context().sqlCon.close();
            without.w->station().context().sqlCon.close();
        }
        const Figures s = figures(on.times), b = figures(off.times);
        std::printf("conveyor scan with the scan journal against one without (%d scans each, rounds of %d):\n"
                    "  journal: median %.3f ms, p99 %.3f ms, mean %.3f ms\n"
                    "  none:    median %.3f ms, p99 %.3f ms, mean %.3f ms\n  ratio (median) %.2f\n",
                    kScans, kRound, s.median, s.p99, s.mean, b.median, b.p99, b.mean, s.median / b.median);
        std::printf("RESULT kind=journal station_median_ms=%.3f station_p99_ms=%.3f bare_median_ms=%.3f "
                    "bare_p99_ms=%.3f ratio=%.2f\n",
                    s.median, s.p99, b.median, b.p99, s.median / b.median);

        // 1,000 scans kept while the database was away, settled in one go once it is back.
        Window kept((dir / "kept.INI").string());
        vek::journal::ScanJournal& journal = *kept.w->station().forward().journal();
        const auto at = kept.w->station().context().serverTimeEstimate();
        const auto station = kept.w->station().forward().stationId();
        for (int i = 0; i < kKept; ++i) {
            const auto id = journal.begin(std::to_string(2 * kScans + i + 1), vek::journal::Kind::Box, at, station);
            journal.finish(id, vek::journal::State::Held, "Sem conexão");
        }
        const int before = kept.w->station().monitor().dayCount(); // the day's count so far, loaded at start-up
        const auto start = Clock::now();
        kept.w->SettleKeptScans();
        const double settle = ms(Clock::now() - start);
        const int settled = kept.w->station().monitor().dayCount() - before;
        std::printf("settling %d kept scans: %.1f ms in all, %.3f ms per scan (%d written off, %d still waiting)\n",
                    kKept, settle, settle / kKept, settled, journal.waitingCount());
        std::printf("RESULT kind=settle scans=%d station_median_ms=%.3f\n", kKept, settle);
        if (settled != kKept) rc = 1;
        kept.w->station().context().sqlCon.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        rc = 1;
    }
    fs::remove_all(dir);
    return rc;
}
