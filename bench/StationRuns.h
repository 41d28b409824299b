#pragma once

// What the benchmarks that run vek-station processes share: the station's timing lines
// (VEK_SCRIPT_TIMINGS) read back, and a ticket's number as the labels write it.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vek::bench {

/// One script line as the station timed it: the input, from its start to its end, the conflict
/// retries and the process's CPU so far, the message boxes it raised and the message shown.
struct TimingLine {
    std::int64_t elapsedUs = 0, startUs = 0, retries = 0, cpuUs = 0;
    int boxes = 0;
    std::string message, extra; // extra: the boxes' texts, " | " between them
};

/// Every timing line of a station's output, its start-up line (the first) included.
inline std::vector<TimingLine> readTimingLines(const std::string& path) {
    std::vector<TimingLine> lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::vector<std::string> f;
        std::size_t from = 0;
        for (std::size_t tab; (tab = text.find('\t', from)) != std::string::npos; from = tab + 1)
            f.push_back(text.substr(from, tab - from));
        f.push_back(text.substr(from));
        if (f.size() < 7) continue;
        TimingLine l;
        l.elapsedUs = std::stoll(f[1]);
        l.startUs = std::stoll(f[2]);
        l.retries = std::stoll(f[3]);
        l.cpuUs = std::stoll(f[4]);
        l.boxes = std::stoi(f[5]);
        l.message = f[6];
        for (std::size_t i = 7; i < f.size(); ++i) l.extra += (i > 7 ? " | " : "") + f[i];
        lines.push_back(std::move(l));
    }
    return lines;
}

/// "0007": a ticket's number in four digits.
inline std::string ticketText(int ticket) {
    const std::string digits = std::to_string(ticket);
    return std::string(4 - std::min<std::size_t>(4, digits.size()), '0') + digits;
}

} // namespace vek::bench
