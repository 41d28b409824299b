#include "journal/JournalPath.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace vek::journal {

namespace {
constexpr const char* kFileName = "vek-station-journal.db";
}

std::string defaultJournalPath(const std::string& settingsPath) {
    fs::path folder = fs::path(settingsPath).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::error_code ec;
    if (fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0) {
        return (folder / kFileName).string();
    }
    const char* home = std::getenv("HOME");
    const fs::path state = fs::path(home && *home ? home : "/tmp") / ".local/state/vek-station";
    fs::create_directories(state, ec); // a folder that cannot be made is told when the journal opens
    return (state / kFileName).string();
}

std::string journalPath(const std::string& configured, const std::string& settingsPath) {
    return configured.empty() ? defaultJournalPath(settingsPath) : configured;
}

} // namespace vek::journal
