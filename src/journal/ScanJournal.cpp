#include "journal/ScanJournal.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace vek::journal {

namespace {

constexpr const char* kStateNames[] = {"done", "refused", "held", "in_doubt", "replayed", "late_refused", "failed"};

bool waits(State s) {
    return s == State::Held || s == State::InDoubt;
}

std::string localNow() {
    const DateTime t = DateTime::localNow();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year(), t.month(), t.day(), t.hour(),
                  t.minute(), t.second(), t.msec());
    return buf;
}

// The server time as one exact integer: day number and ticks.
std::int64_t packed(const DateTime& t) {
    return static_cast<std::int64_t>(t.dayNumber()) * DateTime::kTicksPerDay + t.ticks();
}

DateTime unpacked(std::int64_t v) {
    return DateTime::fromParts(0, v);
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            throw JournalError(std::string("scan journal: ") + sqlite3_errmsg(db));
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::string_view text) {
        check(sqlite3_bind_blob(m_stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindText(int i, const std::string& text) {
        check(sqlite3_bind_text(m_stmt, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int i, std::int64_t v) {
        check(sqlite3_bind_int64(m_stmt, i, v));
        return *this;
    }
    Statement& bindNull(int i) {
        check(sqlite3_bind_null(m_stmt, i));
        return *this;
    }
    /// True while a row is there.
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        const std::string message = sqlite3_errmsg(m_db);
        sqlite3_reset(m_stmt);
        throw JournalError("scan journal: " + message);
    }
    void reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    std::string bytes(int col) const {
        const void* p = sqlite3_column_blob(m_stmt, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col)))
                 : std::string();
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    bool isNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }

private:
    void check(int rc) {
        if (rc != SQLITE_OK) throw JournalError(std::string("scan journal: ") + sqlite3_errmsg(m_db));
    }
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Resets a statement however its use ends.
struct Use {
    explicit Use(Statement& s) : s(s) {}
    ~Use() { s.reset(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    Statement& s;
};

constexpr const char* kColumns = "id, text, kind, local_time, server_time, state, outcome, settled_at, conveyor, "
                                 "sector, employee, sector_mode, clock_time";

// The columns added since the first journals, as `alter table` adds them to a file made before.
struct Added {
    const char* name;
    const char* type;
};
constexpr Added kAddedColumns[] = {{"conveyor", "blob"},
                                   {"sector", "blob"},
                                   {"employee", "blob"},
                                   {"sector_mode", "integer"},
                                   {"clock_time", "integer"}};

void run(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw JournalError(std::string("scan journal: ") + sqlite3_errmsg(db));
    }
}

std::vector<const Added*> missingColumns(sqlite3* db) {
    std::vector<std::string> present;
    Statement s(db, "pragma table_info(scan)");
    while (s.step()) present.push_back(s.bytes(1));
    std::vector<const Added*> missing;
    for (const Added& c : kAddedColumns) {
        if (std::find(present.begin(), present.end(), c.name) == present.end()) missing.push_back(&c);
    }
    return missing;
}

// A file made by an older station keeps its entries and gains the columns; they read as null there.
void addMissingColumns(sqlite3* db) {
    if (missingColumns(db).empty()) return;
    // Another process may be adding them too: take the write lock, then look again.
    run(db, "begin immediate");
    try {
        for (const Added* c : missingColumns(db)) {
            run(db, std::string("alter table scan add column ") + c->name + " " + c->type);
        }
        run(db, "commit");
    } catch (const JournalError&) {
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace

struct ScanJournal::Db {
    explicit Db(const std::string& path) {
        const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
            sqlite3_close(db);
            throw JournalError("scan journal " + path + ": " + message);
        }
        // Another station process on the same file waits a moment rather than failing at once.
        sqlite3_busy_timeout(db, 2000);
    }
    ~Db() { sqlite3_close_v2(db); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void exec(const std::string& sql) const {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(db);
            sqlite3_free(error);
            throw JournalError("scan journal: " + message);
        }
    }

    sqlite3* db = nullptr;
    std::unique_ptr<Statement> insert, update, reach, waiting, count, byId;
};

// A write on the disk before the call returns; the journal's usual writes are left to the next sync.
class ScanJournal::Synced {
public:
    Synced(Db& d, bool on) : m_d(d), m_on(on) {
        if (m_on) m_d.exec("pragma synchronous=full");
    }
    ~Synced() {
        if (!m_on) return;
        try {
            m_d.exec("pragma synchronous=normal");
        } catch (const JournalError&) {
            // Staying on the safer setting costs only time.
        }
    }
    Synced(const Synced&) = delete;
    Synced& operator=(const Synced&) = delete;

private:
    Db& m_d;
    bool m_on;
};

const char* stateName(State state) {
    return kStateNames[static_cast<int>(state)];
}

std::optional<State> stateFromName(std::string_view name) {
    for (int i = 0; i < static_cast<int>(std::size(kStateNames)); ++i) {
        if (name == kStateNames[i]) return static_cast<State>(i);
    }
    return std::nullopt;
}

const char* kindName(Kind kind) {
    return kind == Kind::Box ? "box" : "subticket";
}

ScanJournal::ScanJournal(const std::string& path) : m_path(path), m_db(std::make_unique<Db>(path)) {
    Db& d = *m_db;
    d.exec("pragma journal_mode=wal");
    // A read-only folder lets the file open but not its write-ahead log: found here, not at a scan.
    d.exec("create table if not exists scan (\n"
           "  id integer primary key autoincrement,\n"
           "  text blob not null,\n"
           "  kind text not null,\n"
           "  local_time text not null,\n"
           "  server_time integer,\n"
           "  state text not null,\n"
           "  outcome blob not null default x'',\n"
           "  settled_at text,\n"
           "  conveyor blob,\n"
           "  sector blob,\n"
           "  employee blob,\n"
           "  sector_mode integer,\n"
           "  clock_time integer)");
    addMissingColumns(d.db);
    d.exec("create table if not exists clock (id integer primary key check (id = 1), offset_ticks integer not null)");
    d.exec("create index if not exists scan_state on scan (state, id)");
    d.exec("create index if not exists scan_time on scan (local_time)");
    d.exec("pragma synchronous=normal");
    d.insert = std::make_unique<Statement>(
        d.db, "insert into scan (text, kind, local_time, server_time, state, conveyor, sector, employee, sector_mode, "
              "clock_time) values (?1, ?2, ?3, ?4, 'in_doubt', ?5, ?6, ?7, ?8, ?9)");
    d.update = std::make_unique<Statement>(
        d.db, "update scan set state = ?2, outcome = ?3, settled_at = coalesce(?4, settled_at) where id = ?1");
    d.reach = std::make_unique<Statement>(
        d.db,
        "update scan set state = 'in_doubt', outcome = x'', server_time = coalesce(server_time, ?2) where id = ?1");
    d.waiting = std::make_unique<Statement>(
        d.db,
        (std::string("select ") + kColumns + " from scan where state in ('held', 'in_doubt') order by id").c_str());
    d.count = std::make_unique<Statement>(d.db, "select count(*) from scan where state in ('held', 'in_doubt')");
    d.byId =
        std::make_unique<Statement>(d.db, (std::string("select ") + kColumns + " from scan where id = ?1").c_str());
}

ScanJournal::~ScanJournal() = default;

namespace {

Entry entryOf(const Statement& s) {
    Entry e;
    e.id = s.integer(0);
    e.text = s.bytes(1);
    e.kind = s.bytes(2) == "subticket" ? Kind::SubTicket : Kind::Box;
    e.localTime = s.bytes(3);
    if (!s.isNull(4)) e.serverTime = unpacked(s.integer(4));
    e.state = stateFromName(s.bytes(5)).value_or(State::InDoubt);
    e.outcome = s.bytes(6);
    e.settledAt = s.bytes(7);
    e.hasStation = !s.isNull(8); // a zero-length blob is a station with an empty conveyor code
    if (e.hasStation) {
        e.station = {s.bytes(8), s.bytes(9), s.bytes(10), s.integer(11) != 0};
    }
    if (!s.isNull(12)) e.clockTime = unpacked(s.integer(12));
    return e;
}

} // namespace

std::int64_t ScanJournal::begin(const std::string& text, Kind kind, const std::optional<DateTime>& serverTime,
                                const StationId& station, const std::optional<DateTime>& clockTime) {
    Statement& s = *m_db->insert;
    Use use(s);
    s.bind(1, std::string_view(text)).bindText(2, kindName(kind)).bindText(3, localNow());
    if (serverTime) {
        s.bind(4, packed(*serverTime));
    } else {
        s.bindNull(4);
    }
    s.bind(5, std::string_view(station.conveyor)).bind(6, std::string_view(station.sector));
    s.bind(7, std::string_view(station.employee)).bind(8, std::int64_t{station.sectorMode ? 1 : 0});
    if (clockTime) {
        s.bind(9, packed(*clockTime));
    } else {
        s.bindNull(9);
    }
    s.step();
    if (m_inFlight) m_noneWaiting = false; // one begun before was never finished: it waits
    m_inFlight = sqlite3_last_insert_rowid(m_db->db);
    return *m_inFlight;
}

void ScanJournal::write(std::int64_t id, State state, const std::string& outcome, bool settled) {
    // An entry that waits must outlive a power cut before the operator is told it was kept.
    const Synced synced(*m_db, waits(state));
    Statement& s = *m_db->update;
    Use use(s);
    s.bind(1, id).bindText(2, stateName(state)).bind(3, std::string_view(outcome));
    if (settled) {
        s.bindText(4, localNow());
    } else {
        s.bindNull(4);
    }
    if (m_inFlight != id || waits(state)) m_noneWaiting = false;
    if (m_inFlight == id) m_inFlight.reset();
    s.step();
}

void ScanJournal::reachServer(std::int64_t id, const DateTime& serverTime) {
    m_noneWaiting = false;
    const Synced synced(*m_db, true);
    Statement& s = *m_db->reach;
    Use use(s);
    s.bind(1, id).bind(2, packed(serverTime));
    s.step();
}

void ScanJournal::finish(std::int64_t id, State state, const std::string& outcome) {
    write(id, state, outcome, false);
}

void ScanJournal::settle(std::int64_t id, State state, const std::string& outcome) {
    write(id, state, outcome, true);
}

std::vector<Entry> ScanJournal::waiting() {
    std::vector<Entry> out;
    if (m_noneWaiting && !m_inFlight) return out;
    Statement& s = *m_db->waiting;
    Use use(s);
    while (s.step()) out.push_back(entryOf(s));
    m_noneWaiting = out.empty();
    return out;
}

int ScanJournal::waitingCount() {
    if (m_noneWaiting && !m_inFlight) return 0;
    Statement& s = *m_db->count;
    Use use(s);
    s.step();
    const int n = static_cast<int>(s.integer(0));
    m_noneWaiting = n == 0;
    return n;
}

std::optional<Entry> ScanJournal::entry(std::int64_t id) const {
    Statement& s = *m_db->byId;
    Use use(s);
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    return entryOf(s);
}

std::optional<std::int64_t> ScanJournal::clockOffset() const {
    Statement s(m_db->db, "select offset_ticks from clock where id = 1");
    if (!s.step()) return std::nullopt;
    return s.integer(0);
}

void ScanJournal::keepClockOffset(std::int64_t ticks) {
    const Synced synced(*m_db, true);
    Statement s(m_db->db, "insert or replace into clock (id, offset_ticks) values (1, ?1)");
    s.bind(1, ticks);
    s.step();
}

int ScanJournal::prune(int days) {
    Statement s(m_db->db, "delete from scan where local_time < datetime('now', 'localtime', ?1) "
                          "and state not in ('held', 'in_doubt')");
    std::string age = std::to_string(-(days < 0 ? 0 : days));
    age += " days";
    s.bindText(1, age);
    s.step();
    return sqlite3_changes(m_db->db);
}

std::vector<Entry> ScanJournal::entries(const Filter& filter) const {
    Statement s(m_db->db,
                (std::string("select ") + kColumns +
                 " from scan where (?1 is null or local_time >= ?1) and (?2 is null or state = ?2) order by id")
                    .c_str());
    if (filter.since.empty()) {
        s.bindNull(1);
    } else {
        s.bindText(1, filter.since);
    }
    if (filter.state) {
        s.bindText(2, stateName(*filter.state));
    } else {
        s.bindNull(2);
    }
    std::vector<Entry> out;
    while (s.step()) out.push_back(entryOf(s));
    return out;
}

} // namespace vek::journal
