// The scan journal on its own: what waits, what it keeps, what it forgets, a file it cannot write,
// a file from before the station was kept, where it lies and who holds it.
#include "journal/ScanJournal.h"
#include "journal/JournalPath.h"
#include "journal/StationLock.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

using namespace vek;
using namespace vek::journal;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/vek-journal-XXXXXX";
        m_path = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, ec);
        fs::remove_all(m_path, ec);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Sets (or, with nullptr, unsets) a variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

const StationId kConveyor{"01", "Se\xe7\xe3o 4", "000101", false}; // 8-bit, as the settings hold it

TEST(ScanJournal, EntriesWaitInScanOrderUntilSettledAndKeepTheirBytesAndTimes) {
    TempDir dir;
    const DateTime serverTime = DateTime::fromDateTime(2024, 5, 18, 17, 45, 12, 345);
    const std::string accented = "Sem conex\xe3o"; // 8-bit, as the station shows it
    std::int64_t live, held, doubtful;
    {
        ScanJournal j(dir.file("j.db"));
        live = j.begin("100001", Kind::Box, serverTime, kConveyor);
        EXPECT_EQ(j.entry(live)->state, State::InDoubt) << "a scan under way counts as in doubt until answered";
        j.finish(live, State::Done, "Etiqueta Atualizada.");
        held = j.begin("100002", Kind::Box, serverTime, kConveyor);
        j.finish(held, State::Held, accented);
        doubtful = j.begin("200012300010001", Kind::SubTicket, std::nullopt, StationId{});
        j.finish(doubtful, State::InDoubt, "");
        EXPECT_EQ(j.waitingCount(), 2);
    }
    ScanJournal j(dir.file("j.db")); // as a station started again finds it
    const auto waiting = j.waiting();
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[0].id, held);
    EXPECT_EQ(waiting[0].outcome, accented);
    EXPECT_EQ(waiting[0].serverTime, serverTime);
    EXPECT_EQ(waiting[1].kind, Kind::SubTicket);
    EXPECT_FALSE(waiting[1].serverTime);
    EXPECT_TRUE(waiting[0].settledAt.empty());
    EXPECT_TRUE(waiting[0].hasStation);
    EXPECT_EQ(waiting[0].station, kConveyor);
    EXPECT_TRUE(waiting[1].hasStation) << "a station whose settings name nothing is still a station";
    EXPECT_EQ(waiting[1].station, StationId{});

    j.settle(held, State::LateRefused, "Código não localizado.");
    j.settle(doubtful, State::Replayed, "Etiqueta Atualizada.");
    EXPECT_EQ(j.waitingCount(), 0);
    EXPECT_FALSE(j.entry(held)->settledAt.empty());
    EXPECT_TRUE(j.entry(live)->settledAt.empty()) << "a live scan's answer is no settling";

    EXPECT_EQ(j.entries({}).size(), 3u);
    EXPECT_EQ(j.entries({"", State::Replayed}).size(), 1u);
    EXPECT_EQ(j.entries({"2999-01-01", std::nullopt}).size(), 0u);
    EXPECT_EQ(j.entries({"2000-01-01", std::nullopt}).size(), 3u);
}

TEST(ScanJournal, PruningForgetsOldSettledEntriesButNeverOneThatWaits) {
    TempDir dir;
    ScanJournal j(dir.file("j.db"));
    const auto oldDone = j.begin("1", Kind::Box, std::nullopt, kConveyor);
    j.finish(oldDone, State::Done, "");
    const auto oldHeld = j.begin("2", Kind::Box, std::nullopt, kConveyor);
    j.finish(oldHeld, State::Held, "");
    const auto recent = j.begin("3", Kind::Box, std::nullopt, kConveyor);
    j.finish(recent, State::Refused, "");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file("j.db").c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "update scan set local_time = datetime('now', 'localtime', '-31 days') where id < 3",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    EXPECT_EQ(j.prune(30), 1);
    EXPECT_FALSE(j.entry(oldDone));
    EXPECT_TRUE(j.entry(oldHeld));
    EXPECT_TRUE(j.entry(recent));
}

TEST(ScanJournal, AFileThatCannotBeWrittenIsRefusedAtOpen) {
    TempDir dir;
    std::ofstream(dir.file("plain")) << "x";
    // Under a plain file no one can create anything, root included.
    EXPECT_THROW(ScanJournal(dir.file("plain") + "/j.db"), JournalError);
    if (::geteuid() != 0) {
        fs::create_directory(dir.file("ro"));
        fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_THROW(ScanJournal(dir.file("ro") + "/j.db"), JournalError);
    }
}

TEST(ScanJournal, AFileFromBeforeTheStationWasKeptKeepsItsEntriesAndTakesNewOnesWithTheirStation) {
    TempDir dir;
    const std::string path = dir.file("old.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const int rc = sqlite3_exec(db,
                                "create table scan (id integer primary key autoincrement, text blob not null, "
                                "kind text not null, local_time text not null, server_time integer, "
                                "state text not null, outcome blob not null default x'', settled_at text);"
                                "insert into scan (text, kind, local_time, state) "
                                "values (cast('100001' as blob), 'box', '2024-05-18 17:45:12.000', 'held')",
                                nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);
    const StationId sector{"02", "40", "000102", true};
    ScanJournal(path).begin("100002", Kind::Box, std::nullopt, sector);
    const auto all = ScanJournal(path).entries({}); // opened again: the columns are there already
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].text, "100001");
    EXPECT_FALSE(all[0].hasStation);
    EXPECT_TRUE(all[1].hasStation);
    EXPECT_EQ(all[1].station, sector);
}

TEST(JournalPath, NamedAfterItsSettingsBesideThemOnlyInAFolderNoOneElseCanWrite) {
    TempDir dir;
    const std::string home = dir.file("home"), xdg = dir.file("xdg"), state = home + "/.local/state/vek-station";
    fs::create_directory(dir.file("open"));
    fs::permissions(dir.file("open"), fs::perms::all);
    fs::create_directory(dir.file("sticky"));
    fs::permissions(dir.file("sticky"), fs::perms::all | fs::perms::sticky_bit);
    ScopedEnv homeEnv("HOME", home.c_str());
    const struct {
        const char* name;
        std::string settings;
        const char* xdgStateHome;
        std::string folder;
    } rows[] = {
        {"beside the settings", dir.file("c.INI"), nullptr, dir.path()},
        {"a world-writable folder", dir.file("open/c.INI"), nullptr, state},
        {"a sticky world-writable folder", dir.file("sticky/c.INI"), nullptr, state},
        {"a folder that is not there", "/nonexistent/c.INI", nullptr, state},
        {"XDG_STATE_HOME", dir.file("open/c.INI"), xdg.c_str(), xdg + "/vek-station"},
        {"a relative XDG_STATE_HOME counts for nothing", dir.file("open/c.INI"), "rel", state},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedEnv xdgEnv("XDG_STATE_HOME", row.xdgStateHome);
        EXPECT_EQ(journalPath("", row.settings), row.folder + "/c-journal.db");
        EXPECT_EQ(fs::status(row.folder).permissions() & fs::perms::all, fs::perms::owner_all);
    }
    EXPECT_EQ(journalPath("", dir.file("vek-station.INI")), dir.file("vek-station-journal.db"));
    EXPECT_EQ(journalPath("/x/own.db", dir.file("c.INI")), "/x/own.db");
    ScopedEnv noXdg("XDG_STATE_HOME", nullptr);
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_TRUE(pw);
    for (const char* unsetHome : {static_cast<const char*>(nullptr), ""}) {
        ScopedEnv noHome("HOME", unsetHome);
        EXPECT_EQ(stateFolder(), std::string(pw->pw_dir) + "/.local/state/vek-station") << "HOME '" << unsetHome;
    }
}

TEST(StationLock, OneStationPerJournalAndPerSettingsFileUntilItLetsGo) {
    TempDir dir;
    const std::string journal = dir.file("j.db"), settings = dir.file("c.INI");
    std::ofstream(settings) << "[ESTEIRA]\n";
    fs::permissions(settings, fs::perms::owner_read); // read-only is enough to hold it
    std::optional<StationLock> first(std::in_place, journal, settings);
    EXPECT_EQ(fs::status(journal + ".lock").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const struct {
        std::string journal, settings, says;
    } rows[] = {
        {journal, dir.file("d.INI"), "Esta estação já está em execução (diário " + journal + ")."},
        {dir.file("k.db"), settings, "Esta estação já está em execução (configuração " + settings + ")."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.says);
        try {
            StationLock second(row.journal, row.settings);
            ADD_FAILURE() << "a second station was let in";
        } catch (const AlreadyRunning& e) {
            EXPECT_EQ(std::string(e.what()), cp1252(row.says));
        }
    }
    StationLock moved = std::move(*first);
    first.reset();
    EXPECT_THROW(StationLock(journal, settings), AlreadyRunning) << "the hold goes with the object moved to";
    { StationLock gone = std::move(moved); }
    EXPECT_NO_THROW(StationLock(journal, settings));
    EXPECT_THROW(StationLock(dir.file("none/j.db"), settings), JournalError) << "no folder for the lock file";
}

TEST(StationLock, AnotherProcessIsRefusedAndOneThatDiesLeavesNoLockBehind) {
    TempDir dir;
    const std::string journal = dir.file("j.db"), settings = dir.file("absent.INI");
    // The child ends without running a destructor, as a station killed would.
    EXPECT_EXIT(
        {
            StationLock held(journal, settings);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
    StationLock mine(journal, settings);
    EXPECT_EXIT(
        {
            try {
                StationLock other(journal, settings);
            } catch (const AlreadyRunning&) {
                std::_Exit(3);
            }
            std::_Exit(0);
        },
        testing::ExitedWithCode(3), "");
}

} // namespace
