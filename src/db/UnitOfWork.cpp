#include "db/UnitOfWork.h"

namespace vek::db {

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.startTransaction(); // raises when one is open already
    m_active = true;
}

Transaction::~Transaction() {
    rollback();
}

void Transaction::commit() {
    if (!m_active) {
        throw DbError("No transaction is active");
    }
    m_active = false;
    try {
        m_connection.commit();
    } catch (...) {
        // A commit the server refused leaves the transaction open: it must not stay so.
        try {
            if (m_connection.inTransaction()) m_connection.rollback();
        } catch (const DbError&) {}
        throw;
    }
}

void Transaction::rollback() noexcept {
    if (!m_active) {
        return;
    }
    m_active = false;
    try {
        m_connection.rollback();
    } catch (const DbError&) {
        // A rollback that fails has already dropped the handle.
    }
}

UnitOfWork::UnitOfWork(Connection& connection) {
    if (!connection.inTransaction()) {
        m_own.emplace(connection);
    }
}

void UnitOfWork::commit() {
    if (m_own) {
        m_own->commit();
    }
}

} // namespace vek::db
