#include "app/JournalCommand.h"

#include "app/TfrmQuilbar.h"
#include "journal/JournalPath.h"
#include "journal/ScanJournal.h"
#include "platform/ScriptDriver.h"
#include "station/StationSettings.h"
#include "util/TextCodec.h"

#include <QJsonArray>
#include <QJsonObject>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <thread>

namespace vek {

namespace {

constexpr const char* kJournalUsage =
    "usage: vek-station --journal [--since YYYY-MM-DD] [--state STATE] [--csv] [--settings FILE]\n"
    "  STATE: done, refused, failed, held, in_doubt, replayed or late_refused\n";

std::string executablePath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("vek-station");
}

bool isDate(std::string_view s) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

std::string utf8(const std::string& bytes) {
    return toQString(bytes).toStdString();
}

// RFC 4180, and a cell a spreadsheet would take for a formula stays text: a scanned text or an
// error's message is never run.
std::string csvField(const std::string& s) {
    const bool formula = !s.empty() && std::string_view("=+-@\t\r").find(s.front()) != std::string_view::npos;
    if (!formula && s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = formula ? "\"'" : "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

// One cell per column; the outcome may hold a line break (an error's text): shown as a blank.
std::vector<std::string> cellsOf(const journal::Entry& e, bool csv) {
    std::string server;
    if (e.serverTime) {
        char buf[32];
        server = e.serverTime->isoText(buf);
    }
    std::string outcome = utf8(e.outcome);
    if (!csv) {
        for (char& c : outcome) {
            if (c == '\r' || c == '\n') c = ' ';
        }
    }
    return {std::to_string(e.id),        e.localTime, server,     journal::kindName(e.kind), utf8(e.text),
            journal::stateName(e.state), outcome,     e.settledAt};
}

// Display width of a UTF-8 text: its code points.
std::size_t width(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

int answerJournalOption(int argc, char** argv) {
    bool journal = false, csv = false;
    std::string since, settings;
    std::optional<journal::State> state;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--journal") journal = true;
    }
    if (!journal) return -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--journal") {
        } else if (a == "--csv") {
            csv = true;
        } else if (a == "--since" && hasValue && isDate(argv[i + 1])) {
            since = argv[++i];
        } else if (a == "--state" && hasValue && journal::stateFromName(argv[i + 1])) {
            state = journal::stateFromName(argv[++i]);
        } else if (a == "--settings" && hasValue) {
            settings = argv[++i];
        } else {
            std::fputs(kJournalUsage, stderr);
            return 2;
        }
    }
    if (settings.empty()) settings = lookUpSettingsPath(executablePath());
    const StationSettings s = readStationSettings(IniFile(settings));
    std::string path;
    try {
        path = journal::journalPath(s.DIARIO_LEITURAS, settings);
    } catch (const std::exception& e) { // no home to find the default place in
        std::fprintf(stderr, "vek-station: %s\n", e.what());
        return 1;
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        std::fprintf(stderr, "vek-station: no scan journal at %s\n", path.c_str());
        return 1;
    }
    std::vector<journal::Entry> entries;
    try {
        entries = journal::ScanJournal(path).entries({since, state});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vek-station: %s\n", e.what());
        return 1;
    }
    const std::vector<std::string> head = {"id",   "scanned", "server time", "kind",
                                           "code", "state",   "outcome",     "settled"};
    std::vector<std::vector<std::string>> rows;
    rows.reserve(entries.size());
    for (const journal::Entry& e : entries) rows.push_back(cellsOf(e, csv));
    if (csv) {
        auto line = [](const std::vector<std::string>& row) {
            for (std::size_t c = 0; c < row.size(); ++c) std::printf("%s%s", c ? "," : "", csvField(row[c]).c_str());
            std::printf("\r\n");
        };
        line(head);
        for (const auto& row : rows) line(row);
        return 0;
    }
    std::vector<std::size_t> widths(head.size());
    for (std::size_t c = 0; c < head.size(); ++c) widths[c] = width(head[c]);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], width(row[c]));
    }
    auto print = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c) line += " | ";
            line += row[c];
            if (c + 1 < row.size()) line.append(widths[c] - width(row[c]), ' ');
        }
        std::printf("%s\n", line.c_str());
    };
    print(head);
    std::string rule;
    for (std::size_t c = 0; c < widths.size(); ++c) rule += (c ? "-+-" : "") + std::string(widths[c], '-');
    std::printf("%s\n", rule.c_str());
    for (const auto& row : rows) print(row);
    return 0;
}

void connectJournalToScript(ScriptDriver& driver, TfrmQuilbar& window) {
    StoreAndForward& forward = window.station().forward();
    driver.setJournal(
        [&forward] {
            const StoreAndForward::Counts c = forward.counts();
            QJsonArray late;
            for (const LateRefusal& l : forward.lateRefusals()) {
                late.append(QJsonArray{toQString(l.code), toQString(l.time), toQString(l.reason)});
            }
            return QJsonValue(QJsonObject{{QStringLiteral("held"), c.held},
                                          {QStringLiteral("in_doubt"), c.inDoubt},
                                          {QStringLiteral("late_refusals"), late}});
        },
        [&window, &forward] {
            // Until nothing waits, or 30 s with the database still away.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            for (;;) {
                window.SettleKeptScans();
                if (forward.waitingCount() == 0 || std::chrono::steady_clock::now() >= deadline) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
        });
}

} // namespace vek
