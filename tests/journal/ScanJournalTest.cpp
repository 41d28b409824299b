// The scan journal on its own: what waits, what it keeps, what it forgets, and a file it cannot write.
#include "journal/JournalPath.h"
#include "journal/ScanJournal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TEST(ScanJournal, EntriesWaitInScanOrderUntilSettledAndKeepTheirBytesAndTimes) {
    TempDir dir;
    const DateTime serverTime = DateTime::fromDateTime(2024, 5, 18, 17, 45, 12, 345);
    const std::string accented = "Sem conex\xe3o"; // 8-bit, as the station shows it
    std::int64_t live, held, doubtful;
    {
        ScanJournal j(dir.file("j.db"));
        live = j.begin("100001", Kind::Box, serverTime);
        EXPECT_EQ(j.entry(live)->state, State::InDoubt) << "a scan under way counts as in doubt until answered";
        j.finish(live, State::Done, "Etiqueta Atualizada.");
        held = j.begin("100002", Kind::Box, serverTime);
        j.finish(held, State::Held, accented);
        doubtful = j.begin("200012300010001", Kind::SubTicket, std::nullopt);
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
    const auto oldDone = j.begin("1", Kind::Box, std::nullopt);
    j.finish(oldDone, State::Done, "");
    const auto oldHeld = j.begin("2", Kind::Box, std::nullopt);
    j.finish(oldHeld, State::Held, "");
    const auto recent = j.begin("3", Kind::Box, std::nullopt);
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

TEST(JournalPath, BesideTheSettingsWhenThatFolderIsWritableElseInTheUsersStateFolder) {
    TempDir dir;
    EXPECT_EQ(journalPath("/x/own.db", dir.file("station.INI")), "/x/own.db");
    EXPECT_EQ(journalPath("", dir.file("station.INI")), dir.file("vek-station-journal.db"));
    const char* home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    ::setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(journalPath("", "/nonexistent/station.INI"), dir.file(".local/state/vek-station/vek-station-journal.db"));
    EXPECT_TRUE(fs::is_directory(dir.file(".local/state/vek-station")));
    ::setenv("HOME", saved.c_str(), 1);
}

} // namespace
