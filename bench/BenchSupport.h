#pragma once

// What the scan benchmarks share: timing, the figures of a series, the station's Enter, and the
// comparison line with its RESULT form for scripts/bench.sh.
#include "station/OperatorDisplay.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace vek::bench {

using Clock = std::chrono::steady_clock;

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

} // namespace vek::bench
