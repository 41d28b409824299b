#pragma once

#include "journal/JournalError.h"
#include "util/DateTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vek::journal {

/// What became of a scan. `held` and `in_doubt` wait to be settled; `replayed` and `late_refused`
/// are how a waiting entry ends.
/// `failed`: an error ended the scan (a box, the server's message), nothing of it was written.
enum class State { Done, Refused, Held, InDoubt, Replayed, LateRefused, Failed };

/// The stored names: "done", "refused", "held", "in_doubt", "replayed", "late_refused", "failed".
const char* stateName(State state);
std::optional<State> stateFromName(std::string_view name);

enum class Kind { Box, SubTicket };
const char* kindName(Kind kind); // "box", "subticket"

/// The station that scanned an entry, as its settings name it (8-bit): so a file that two stations
/// once shared still tells whose scan each entry was.
struct StationId {
    std::string conveyor; // CODESTEIRA
    std::string sector;   // SETOR
    std::string employee; // FUNCIONARIO
    bool sectorMode = false;
    bool operator==(const StationId&) const = default;
};

/// One scan as the journal keeps it. Texts are 8-bit, as scanned and as shown.
struct Entry {
    std::int64_t id = 0;
    std::string text;
    Kind kind = Kind::Box;
    std::string localTime;              // the station's clock, "yyyy-mm-dd hh:mm:ss.zzz"
    std::optional<DateTime> serverTime; // the server's clock as estimated at the scan
    std::optional<DateTime> clockTime;  // the station's minute clock at the scan: the earliest a record of it carries
    State state = State::InDoubt;
    std::string outcome;
    std::string settledAt; // local, as localTime; empty until a waiting entry settled
    StationId station;
    bool hasStation = false; // false for entries written before the journal kept the station
};

/// The station's scan journal: one SQLite file per station. Every scan is entered before it
/// reaches the database server, so a scan whose answer was lost, or that met no server at all, is
/// never forgotten. All calls raise JournalError when the file cannot be read or written.
class ScanJournal {
public:
    /// Opens (or creates) the file in WAL mode; a file of an older station gains the newer columns.
    explicit ScanJournal(const std::string& path);
    ~ScanJournal();
    ScanJournal(const ScanJournal&) = delete;
    ScanJournal& operator=(const ScanJournal&) = delete;

    const std::string& path() const { return m_path; }

    /// A scan about to reach the server: in doubt until its answer is entered. Not synced to the
    /// disk: a station that dies meanwhile still finds it, a power cut may lose it with the scan.
    std::int64_t begin(const std::string& text, Kind kind, const std::optional<DateTime>& serverTime,
                       const StationId& station, const std::optional<DateTime>& clockTime = std::nullopt);
    /// The scan's answer. A held or in-doubt entry is on the disk when this returns.
    void finish(std::int64_t id, State state, const std::string& outcome);
    /// A waiting entry about to reach the server as it is settled: in doubt without an answer, and
    /// dated `serverTime` when it had no time yet, so every later read-back asks for the same time.
    void reachServer(std::int64_t id, const DateTime& serverTime);
    /// The end of a waiting entry, with the time it settled.
    void settle(std::int64_t id, State state, const std::string& outcome);

    /// Held and in-doubt entries, in scan order.
    std::vector<Entry> waiting();
    int waitingCount();
    std::optional<Entry> entry(std::int64_t id) const;

    /// The server's clock minus the machine's, in DateTime ticks, as the station last kept it.
    std::optional<std::int64_t> clockOffset() const;
    /// Kept on the disk at once: the next run may start while the server is away.
    void keepClockOffset(std::int64_t ticks);

    /// Removes entries scanned more than `days` days ago that no longer wait; returns how many.
    int prune(int days);

    struct Filter {
        std::string since; // "yyyy-mm-dd": entries scanned on or after that day
        std::optional<State> state;
    };
    std::vector<Entry> entries(const Filter& filter) const;

private:
    struct Db;
    class Synced;
    void write(std::int64_t id, State state, const std::string& outcome, bool settled);
    std::string m_path;
    std::unique_ptr<Db> m_db;
    // Known without reading the file: nothing waits but the entry in flight (begun, not finished),
    // so a station scanning with its database at hand does not ask at every scan. Any other write
    // forgets it until the next read.
    bool m_noneWaiting = false;
    std::optional<std::int64_t> m_inFlight;
};

} // namespace vek::journal
