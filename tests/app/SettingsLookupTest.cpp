// Where the station looks for its settings file when none is named: beside the executable first,
// then the system-wide file of an installed station.
#include "station/StationSettings.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vek;

namespace {

TEST(SettingsLookup, BesideTheExecutableThenTheSystemFile) {
    const fs::path root = fs::path(::testing::TempDir()) / ("vek-settings-lookup-" + std::to_string(::getpid()));
    struct Case {
        const char* what;
        bool beside, system, besideIsFolder;
        const char* expected; // "beside" or "system"
    };
    const Case cases[] = {
        {"both: the one beside wins", true, true, false, "beside"},
        {"only beside", true, false, false, "beside"},
        {"only the system file", false, true, false, "system"},
        {"neither: named as beside, so the error names it", false, false, false, "beside"},
        {"a folder of that name beside is no settings file", false, true, true, "system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "etc");
        const std::string exe = (root / "bin" / "vek-station").string();
        const std::string beside = (root / "bin" / "vek-station.INI").string();
        const std::string system = (root / "etc" / "vek-station.INI").string();
        if (c.beside) std::ofstream(beside) << "[ESTEIRA]\nCODESTEIRA=01\n";
        if (c.besideIsFolder) fs::create_directories(beside);
        if (c.system) std::ofstream(system) << "[ESTEIRA]\nCODESTEIRA=02\n";
        EXPECT_EQ(lookUpSettingsPath(exe, system), std::string(c.expected) == "beside" ? beside : system);
    }
    fs::remove_all(root);
}

TEST(SettingsLookup, TheInstalledStationsSystemFile) {
    EXPECT_STREQ(kSystemSettingsPath, "/etc/vek-station/vek-station.INI");
    // With no system file given, only the file beside counts.
    EXPECT_EQ(lookUpSettingsPath("/nonexistent/vek-station", ""), "/nonexistent/vek-station.INI");
}

} // namespace
