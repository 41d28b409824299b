#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

namespace vek::db {

class DbError;
class Query;
class StatementPool;

/// One attachment to a database with the station's fixed parameters: user "sysdba", SQL dialect 3,
/// connection character set NONE (8-bit texts pass unchanged), read committed record-version
/// transactions that wait on locks for at most the lock timeout.
///
/// Reads outside a unit of work share one read-only read committed transaction that stays open
/// with the attachment: it costs no transaction start and no commit per statement, and (being
/// read-only read committed) it holds back neither garbage collection nor other stations.
///
/// The location text is passed unchanged: a file path opens the database in-process, `host:path`
/// or `host/port:path` reaches a server. Opens on first use and stays open. When a statement fails
/// because the connection is gone, the attachment and its prepared statements are dropped (the
/// statement still raises), so the next statement attaches and prepares again.
///
/// Every wait on a server is bounded: an attach by the connect timeout, every other call by the
/// answer deadline when one is set. A call the server leaves unanswered past it (a network gone
/// silent) is abandoned: the attachment is cut on the client's side, the call raises a lost
/// connection (`DbError::isNoAnswer`) and the attachment is dropped as for any other.
class Connection {
public:
    static constexpr int kDefaultLockTimeoutSeconds = 10;
    static constexpr int kDefaultConnectTimeoutSeconds = 3;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setDatabase(std::string location) { m_database = std::move(location); }
    const std::string& database() const { return m_database; }
    /// The empty text removes the password parameter.
    void setPassword(std::string password) { m_password = std::move(password); }
    const std::string& password() const { return m_password; }
    void setUser(std::string user) { m_user = std::move(user); }
    const std::string& user() const { return m_user; }
    /// Seconds a statement waits for a row locked by another transaction before failing.
    void setLockTimeout(int seconds) { m_lockTimeout = seconds; }
    int lockTimeout() const { return m_lockTimeout; }
    /// Seconds an attach may take in all, from the TCP connect to the attachment; 0 leaves the
    /// client library's own timeout (which bounds only the connect and the server's first answer).
    void setConnectTimeout(int seconds) { m_connectTimeout = seconds; }
    int connectTimeout() const { return m_connectTimeout; }
    /// How long a call may wait for the server's answer; zero (the default) waits as long as the
    /// network does. A statement that may wait for a row locked by another transaction gets the
    /// lock timeout on top, so a lock wait is never taken for silence.
    void setAnswerDeadline(std::chrono::milliseconds deadline) { m_answerDeadline = deadline; }
    std::chrono::milliseconds answerDeadline() const { return m_answerDeadline; }

    void open();
    /// Rolls back an open transaction, frees the statements prepared on it and detaches.
    void close();
    bool isOpen() const;

    /// Explicit transaction: statements issued while it is open run inside it. A transaction lost
    /// with the connection stays the current one until rolled back: until then every statement
    /// raises instead of running in a transaction of its own, so no unit of work goes on half done.
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    /// Runs SQL text as it stands (no parameters), in the open transaction or one of its own.
    /// Used for scripts, whose procedure bodies contain colons that are not parameters.
    void executeImmediate(const std::string& sql);

    /// "select gen_id(<name>, 1) from rdb$database".
    std::int64_t nextGeneratorValue(const std::string& generator);
    /// The same as a 32-bit id; raises when the generator has gone beyond one.
    std::int32_t nextId(const std::string& generator);

    // For Query.
    /// What a call waits for: only the server's answer, or possibly a row lock first.
    enum class Wait { Answer, RowLock };
    /// Around each call that waits on the server (see `fb::callServer`): `armAnswerDeadline` before,
    /// then either `disarmAnswerDeadline` or, when the call raised, `answerFailed`, which raises the
    /// no-answer error in the call's place when the deadline cut it. Pairs nest; the outer one
    /// counts. `answered` tells that an answer came inside (a cursor's row): the wait starts again.
    void armAnswerDeadline(Wait wait);
    void answered() noexcept;
    void disarmAnswerDeadline() noexcept;
    void answerFailed(const DbError& e);
    /// Cuts the attachment on the client's side, so that releasing its handles waits for nothing;
    /// the next statement drops it and attaches again. Errors are ignored.
    void cutAttachment() noexcept;
    Firebird::IAttachment* attachment(); // opens when closed
    Firebird::ITransaction* currentTransaction() const;
    /// A new transaction with the station's parameters; the caller owns its one reference.
    Firebird::ITransaction* newTransaction();
    /// The kept read-only transaction for plain reads outside a unit of work (started on first use).
    Firebird::ITransaction* readTransaction();
    /// Drops the attachment, its transaction and its queries' statements when `e` says the
    /// connection is gone; any other error leaves everything as it is.
    void statementFailed(const DbError& e);
    StatementPool& statementPool() { return *m_pool; }
    void attach(Query* q) { m_queries.insert(q); }
    void detach(Query* q) { m_queries.erase(q); }
    /// The queries made on this connection that still exist.
    const std::set<Query*>& queries() const { return m_queries; }

private:
    struct Handles;
    void dropLostAttachment() noexcept;

    std::chrono::milliseconds deadlineFor(Wait wait) const;

    std::unique_ptr<Handles> m_h;
    std::unique_ptr<StatementPool> m_pool;
    std::string m_database;
    std::string m_password;
    std::string m_user = "sysdba";
    int m_lockTimeout = kDefaultLockTimeoutSeconds;
    int m_connectTimeout = kDefaultConnectTimeoutSeconds;
    std::chrono::milliseconds m_answerDeadline{0};
    std::chrono::milliseconds m_armedFor{0}; // the deadline of the call under way, for its error
    bool m_transactionLost = false;
    std::set<Query*> m_queries;
};

/// Attaches with the station's parameters (SQL dialect 3, character set NONE) and the connect
/// timeout, then detaches: whether the server answers now. Raises DbError. It uses no Connection,
/// so a thread of its own may call it while the window's thread works on its connections.
void probeDatabase(const std::string& location, const std::string& user, const std::string& password,
                   int connectTimeoutSeconds);

/// Creates a new database file (or server database) with the given page size and default
/// character set WIN1252, SQL dialect 3. Without forced writes a commit does not wait for the disk
/// (for benchmarks and throw-away databases only).
void createDatabase(const std::string& location, const std::string& user, const std::string& password,
                    int pageSize = 8192, bool forcedWrites = true);

/// Whether a unit of work that met a conflict on a row may run again. A lock wait that ran out and a
/// conflict with a holder that committed meanwhile report the same codes, so the tries together may
/// not outlast the connection's lock timeout: a row held all along ends in the error once the
/// timeout is spent, never after several timeouts. Within the timeout a unit runs again as often as
/// it meets a conflict; `attempts` bounds the tries only without a timeout. Create one before the
/// first try.
class ConflictRetry {
public:
    ConflictRetry(const Connection& connection, int attempts);
    /// True when the try that just failed with `retryable` may run again.
    bool again(bool retryable);

private:
    std::chrono::steady_clock::time_point m_deadline;
    bool m_bounded;
    int m_left;
};

/// Tries run again by ConflictRetry in this process so far: how often units of work met a
/// conflict, which the benchmarks report beside the lock waits.
std::int64_t conflictRetries();

} // namespace vek::db
