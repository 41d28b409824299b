#pragma once

#include "db/Connection.h"
#include "db/DbError.h"

#include <optional>

namespace vek::db {

/// How often a unit of work runs in all after update conflicts (a row it needed was changed by a
/// station whose transaction committed while this one waited) on a connection without a lock
/// timeout; with one, the timeout bounds the tries.
inline constexpr int kConflictAttempts = 5;

/// The connection's transaction, owned by one unit of work: started here, rolled back unless
/// committed. It refuses to start inside another one, so a unit that must own cannot join by mistake.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    /// Rolls back if still open. Never raises: the error that led here is the one worth reporting.
    void rollback() noexcept;

private:
    Connection& m_connection;
    bool m_active = false;
};

/// A unit of work that joins the connection's open transaction (whose owner commits or rolls back)
/// or, when none is open, owns one of its own.
class UnitOfWork {
public:
    explicit UnitOfWork(Connection& connection);
    UnitOfWork(const UnitOfWork&) = delete;
    UnitOfWork& operator=(const UnitOfWork&) = delete;

    bool owns() const { return m_own.has_value(); }
    /// Commits an owned transaction; a joined one is left to its owner.
    void commit();

private:
    std::optional<Transaction> m_own;
};

/// Runs `work(Transaction&)` in a transaction of its own and returns what it returns. `work` commits
/// (or rolls back early, before it tells the operator anything); returning without either rolls
/// back. An update conflict runs the whole unit again, within `ConflictRetry`'s bounds, so nothing
/// `work` shows before its commit may have happened yet.
template <class Work>
auto runInTransaction(Connection& connection, Work&& work, int attempts = kConflictAttempts) {
    ConflictRetry retry(connection, attempts);
    for (;;) {
        Transaction transaction(connection);
        try {
            return work(transaction);
        } catch (const DbError& e) {
            transaction.rollback();
            if (!retry.again(e.isUpdateConflict())) {
                throw;
            }
        }
    }
}

} // namespace vek::db
