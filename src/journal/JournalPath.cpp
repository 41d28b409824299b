#include "journal/JournalPath.h"

#include "journal/JournalError.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace vek::journal {

namespace {

constexpr const char* kSuffix = "-journal.db";
constexpr const char* kPlainStem = "vek-station"; // a settings path without a file name

// Anyone else who can write the folder could put a file or a link of theirs in the journal's place.
bool onlyWeWrite(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (st.st_mode & S_IWOTH) return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string passwdHome() {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    passwd pw{};
    passwd* found = nullptr;
    int rc;
    while ((rc = ::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found)) == ERANGE && buf.size() < (1u << 20)) {
        buf.resize(buf.size() * 2);
    }
    if (rc != 0 || !found || !pw.pw_dir || !*pw.pw_dir) return {};
    return pw.pw_dir;
}

// Each folder made here is the user's alone, whatever the umask. One that cannot be made is told
// when the journal or its lock is opened, with the path.
void makeFolders(const fs::path& folder) {
    fs::path p;
    for (const fs::path& part : folder) {
        p /= part;
        if (::mkdir(p.c_str(), 0700) == 0) ::chmod(p.c_str(), 0700);
    }
}

} // namespace

std::string stateFolder() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && fs::path(xdg).is_absolute()) return (fs::path(xdg) / "vek-station").string();
    const char* env = std::getenv("HOME");
    const std::string home = env && *env ? std::string(env) : passwdHome();
    if (home.empty()) throw JournalError("scan journal: no home folder for this user (HOME unset, no passwd entry)");
    return (fs::path(home) / ".local/state/vek-station").string();
}

std::string defaultJournalPath(const std::string& settingsPath) {
    const fs::path settings(settingsPath);
    fs::path folder = settings.parent_path();
    if (folder.empty()) folder = ".";
    const std::string stem = settings.stem().string();
    const std::string name = (stem.empty() ? kPlainStem : stem) + kSuffix;
    if (onlyWeWrite(folder)) return (folder / name).string();
    const fs::path state = stateFolder();
    makeFolders(state);
    return (state / name).string();
}

std::string journalPath(const std::string& configured, const std::string& settingsPath) {
    return configured.empty() ? defaultJournalPath(settingsPath) : configured;
}

} // namespace vek::journal
