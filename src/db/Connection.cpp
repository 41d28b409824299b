#include "db/Connection.h"

#include "db/StatementPool.h"

#include "db/AnswerWatchdog.h"
#include "db/FbApi.h"
#include "db/Query.h"
#include "db/ServerCall.h"

#include <ibase.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vek::db {

using namespace Firebird;
using Clock = std::chrono::steady_clock;

namespace {

// The watchdog's cut of a call that got no answer. In the remote provider it shuts the client's
// socket down, which ends the blocked call (and every later one) with a network error at once; in
// an embedded attachment it shuts the attachment down, which ends a running statement too.
void cancelAttachment(void* att) noexcept {
    try {
        fb::call([&](auto* st) { static_cast<IAttachment*>(att)->cancelOperation(st, fb_cancel_abort); });
    } catch (...) {
        // Cut already, or gone: nothing more to cut.
    }
}

// The watchdog holds a reference of its own while armed: a call that releases the attachment (a
// detach) then leaves an object that a cut at the same moment may still call.
void armOn(AnswerWatchdog& watchdog, IAttachment* att, std::chrono::milliseconds within) {
    att->addRef();
    watchdog.arm(within, &cancelAttachment, att);
}

bool disarmFrom(AnswerWatchdog& watchdog, IAttachment* att) noexcept {
    const bool cut = watchdog.disarm();
    att->release();
    return cut;
}

double seconds(std::chrono::milliseconds ms) {
    return static_cast<double>(ms.count()) / 1000.0;
}

} // namespace

struct Connection::Handles {
    AnswerWatchdog watchdog; // first: it outlives the handles it may cut
    fb::Ref<IAttachment> att;
    fb::Ref<ITransaction> tra;     // the explicit transaction, when one is open
    fb::Ref<ITransaction> readTra; // kept for reads outside one
    // Every statement outside an explicit transaction starts one, so the parameter block is kept.
    std::vector<unsigned char> tpb;
    std::optional<int> tpbLockTimeout;       // the timeout the kept block was built for
    IAttachment* armedOn = nullptr;          // while a call waits under the deadline
    int armDepth = 0;                        // calls inside a wait already armed (a cursor's blobs)
    bool cut = false;                        // the client's side of `att` is cut: the next statement drops it
    std::chrono::milliseconds unanswered{0}; // the deadline a call of `att` outlived, when one did
};

Connection::Connection() : m_h(std::make_unique<Handles>()), m_pool(std::make_unique<StatementPool>()) {}

Connection::~Connection() {
    try {
        close();
    } catch (const std::exception&) {
        // Closing at destruction cannot report; the server drops the attachment with the socket.
    }
    for (Query* q : std::set<Query*>(m_queries)) {
        q->connectionGone();
    }
}

void Connection::open() {
    if (m_h->att) {
        return;
    }
    fb::Xpb dpb(IXpbBuilder::DPB);
    fb::call([&](auto* st) {
        dpb->insertInt(st, isc_dpb_sql_dialect, 3);
        dpb->insertString(st, isc_dpb_lc_ctype, "NONE");
        if (!m_user.empty()) {
            dpb->insertString(st, isc_dpb_user_name, m_user.c_str());
        }
        if (!m_password.empty()) {
            dpb->insertString(st, isc_dpb_password, m_password.c_str());
        }
    });
    const unsigned char* buf = dpb.buffer();
    const unsigned len = dpb.length();
    m_h->att.reset(
        fb::call([&](auto* st) { return fb::provider()->attachDatabase(st, m_database.c_str(), len, buf); }));
    m_h->cut = false;
    m_h->unanswered = {};
}

void Connection::close() {
    m_transactionLost = false;
    if (!m_h->att) {
        return;
    }
    if (m_h->cut) {
        dropLostAttachment();
        m_transactionLost = false; // closing ends it as a rollback would
        return;
    }
    if (m_h->tra) {
        try {
            rollback();
        } catch (const DbError&) {
            m_h->tra.reset();
        }
        if (!m_h->att) {
            return; // the rollback found the connection gone and dropped it
        }
    }
    for (Query* q : m_queries) {
        q->connectionClosing();
    }
    m_pool->clear();
    if (m_h->readTra) {
        try {
            fb::callServer(*this, [&](auto* st) { m_h->readTra->commit(st); });
            m_h->readTra.forget();
        } catch (const DbError& e) {
            if (e.isConnectionLost()) {
                dropLostAttachment();
                throw;
            }
            fb::releaseOnServer(*this, m_h->readTra); // it wrote nothing; the detach ends it
        }
    }
    try {
        fb::callServer(*this, [&](auto* st) { m_h->att->detach(st); });
        m_h->att.forget();
    } catch (const DbError&) {
        cutAttachment(); // the release would ask the server again
        m_h->att.reset();
        throw;
    }
}

void Connection::statementFailed(const DbError& e) {
    if (e.isConnectionLost()) {
        dropLostAttachment();
    }
}

void Connection::dropLostAttachment() noexcept {
    if (!m_h->att) {
        return;
    }
    // Releasing a live transaction asks the server to roll it back and waits for the answer, which
    // a server that has dropped us may never send (the test server, after ending an attachment,
    // stopped reading its socket and left the rollback unanswered for minutes). Cut first, and
    // nothing below waits.
    cutAttachment();
    for (Query* q : m_queries) {
        q->connectionClosing();
    }
    m_pool->clear();
    // The server has ended the transaction with the attachment; only the client's handles remain.
    if (m_h->tra) {
        m_transactionLost = true;
    }
    m_h->tra.reset();
    m_h->readTra.reset();
    try {
        fb::call([&](auto* st) { m_h->att->detach(st); });
        m_h->att.forget();
    } catch (const DbError&) {
        m_h->att.reset();
    }
    m_h->cut = false;
    m_h->unanswered = {};
}

void Connection::cutAttachment() noexcept {
    if (!m_h->att || m_h->cut) {
        return;
    }
    m_h->watchdog.cutNow(&cancelAttachment, m_h->att.get());
    m_h->cut = true;
}

std::chrono::milliseconds Connection::deadlineFor(Wait wait) const {
    if (wait == Wait::RowLock && m_lockTimeout > 0) {
        return m_answerDeadline + std::chrono::seconds(m_lockTimeout);
    }
    return m_answerDeadline;
}

void Connection::armAnswerDeadline(Wait wait) {
    if (m_h->armDepth++ > 0 || m_answerDeadline.count() <= 0 || !m_h->att) {
        return;
    }
    m_armedFor = deadlineFor(wait);
    m_h->armedOn = m_h->att.get();
    armOn(m_h->watchdog, m_h->armedOn, m_armedFor);
}

void Connection::answered() noexcept {
    m_h->watchdog.answered();
}

void Connection::disarmAnswerDeadline() noexcept {
    if (--m_h->armDepth > 0) {
        m_h->watchdog.answered(); // a call inside the wait got its answer
        return;
    }
    if (!m_h->armedOn) {
        return;
    }
    const bool cut = disarmFrom(m_h->watchdog, std::exchange(m_h->armedOn, nullptr));
    // A call whose answer came as the deadline passed has a cut attachment all the same.
    if (cut && m_h->att) {
        m_h->cut = true;
        m_h->unanswered = m_armedFor;
    }
}

void Connection::answerFailed(const DbError& e) {
    disarmAnswerDeadline();
    if (m_h->armDepth == 0 && m_h->unanswered.count() > 0 && !e.isNoAnswer()) {
        throw DbError::noAnswer(seconds(m_h->unanswered), &e);
    }
}

bool Connection::isOpen() const {
    return static_cast<bool>(m_h->att);
}

IAttachment* Connection::attachment() {
    if (m_h->cut) {
        dropLostAttachment(); // cut by an earlier call: of no further use
    }
    open();
    return m_h->att.get();
}

ITransaction* Connection::currentTransaction() const {
    return m_h->tra.get();
}

ITransaction* Connection::newTransaction() {
    if (m_transactionLost) {
        throw DbError("The connection was lost and the open transaction with it");
    }
    open(); // never drops the attachment: a statement under way uses it
    IAttachment* att = m_h->att.get();
    if (!m_h->tpbLockTimeout || *m_h->tpbLockTimeout != m_lockTimeout) {
        fb::Xpb tpb(IXpbBuilder::TPB);
        fb::call([&](auto* st) {
            tpb->insertTag(st, isc_tpb_write);
            tpb->insertTag(st, isc_tpb_read_committed);
            tpb->insertTag(st, isc_tpb_rec_version);
            tpb->insertTag(st, isc_tpb_wait);
            if (m_lockTimeout > 0) {
                tpb->insertInt(st, isc_tpb_lock_timeout, m_lockTimeout);
            }
        });
        const unsigned char* buf = tpb.buffer();
        m_h->tpb.assign(buf, buf + tpb.length());
        m_h->tpbLockTimeout = m_lockTimeout;
    }
    const auto& tpb = m_h->tpb;
    return fb::callServer(
        *this, [&](auto* st) { return att->startTransaction(st, static_cast<unsigned>(tpb.size()), tpb.data()); });
}

ITransaction* Connection::readTransaction() {
    if (m_transactionLost) {
        throw DbError("The connection was lost and the open transaction with it");
    }
    open();
    IAttachment* att = m_h->att.get();
    if (!m_h->readTra) {
        static constexpr unsigned char kTpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                                                 isc_tpb_rec_version, isc_tpb_nowait};
        m_h->readTra.reset(
            fb::callServer(*this, [&](auto* st) { return att->startTransaction(st, sizeof kTpb, kTpb); }));
    }
    return m_h->readTra.get();
}

void Connection::startTransaction() {
    if (m_h->tra || m_transactionLost) {
        throw DbError("A transaction is already active");
    }
    try {
        attachment();
        m_h->tra.reset(newTransaction());
    } catch (const DbError& e) {
        statementFailed(e);
        throw;
    }
}

void Connection::commit() {
    if (!m_h->tra && m_transactionLost) {
        throw DbError("The connection was lost and the open transaction with it");
    }
    if (!m_h->tra) {
        throw DbError("No transaction is active");
    }
    try {
        fb::callServer(*this, [&](auto* st) { m_h->tra->commit(st); });
    } catch (const DbError& e) {
        statementFailed(e);
        throw;
    }
    m_h->tra.forget();
}

void Connection::rollback() {
    if (!m_h->tra && m_transactionLost) {
        m_transactionLost = false; // the server rolled it back when the connection went
        return;
    }
    if (!m_h->tra) {
        throw DbError("No transaction is active");
    }
    try {
        fb::callServer(*this, [&](auto* st) { m_h->tra->rollback(st); });
        m_h->tra.forget();
    } catch (const DbError& e) {
        if (e.isConnectionLost()) {
            dropLostAttachment();      // cuts before it releases the transaction, so nothing waits
            m_transactionLost = false; // ended with the attachment, as the rollback asked
        } else {
            // The server rolls back what it can when the reference goes; the station must not stay stuck.
            fb::releaseOnServer(*this, m_h->tra);
        }
        throw;
    }
}

bool Connection::inTransaction() const {
    return m_h->tra || m_transactionLost;
}

void Connection::executeImmediate(const std::string& sql) {
    try {
        IAttachment* att = attachment();
        ITransaction* tra = currentTransaction();
        fb::Ref<ITransaction> own;
        if (!tra) {
            own.reset(newTransaction());
            tra = own.get();
        }
        try {
            fb::callServer(*this, Wait::RowLock, [&](auto* st) {
                att->execute(st, tra, static_cast<unsigned>(sql.size()), sql.c_str(), SQL_DIALECT_V6, nullptr, nullptr,
                             nullptr, nullptr);
            });
            if (own) {
                fb::callServer(*this, [&](auto* st) { own->commit(st); });
                own.forget();
            }
        } catch (const DbError& e) {
            if (own && e.isConnectionLost()) {
                cutAttachment(); // releasing the own transaction would wait for its rollback's answer
            }
            fb::releaseOnServer(*this, own);
            throw;
        }
    } catch (const DbError& e) {
        statementFailed(e); // after the own transaction's reference went with its scope
        throw;
    }
}

std::int64_t Connection::nextGeneratorValue(const std::string& generator) {
    // The name becomes part of the statement text, so it must be a plain identifier.
    if (generator.empty()) {
        throw DbError("Invalid generator name");
    }
    // ASCII only: a letter of the process's locale is no letter of an SQL identifier.
    if (generator.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_$") !=
        std::string::npos) {
        throw DbError("Invalid generator name: " + generator);
    }
    Query q(*this);
    q.setSql("select gen_id(" + generator + ", 1) from rdb$database");
    q.open();
    return q.field("GEN_ID").asInt64();
}

std::int32_t Connection::nextId(const std::string& generator) {
    const std::int64_t v = nextGeneratorValue(generator);
    if (v < INT32_MIN || v > INT32_MAX) {
        throw DbError("Generator " + generator + " gave " + std::to_string(v) + ", beyond a 32-bit id");
    }
    return static_cast<std::int32_t>(v);
}

void createDatabase(const std::string& location, const std::string& user, const std::string& password, int pageSize,
                    bool forcedWrites) {
    fb::Xpb dpb(IXpbBuilder::DPB);
    fb::call([&](auto* st) {
        dpb->insertInt(st, isc_dpb_page_size, pageSize);
        if (!forcedWrites) {
            dpb->insertInt(st, isc_dpb_force_write, 0);
        }
        dpb->insertInt(st, isc_dpb_sql_dialect, 3);
        dpb->insertInt(st, isc_dpb_set_db_sql_dialect, 3);
        dpb->insertString(st, isc_dpb_set_db_charset, "WIN1252");
        dpb->insertString(st, isc_dpb_lc_ctype, "NONE");
        if (!user.empty()) {
            dpb->insertString(st, isc_dpb_user_name, user.c_str());
        }
        if (!password.empty()) {
            dpb->insertString(st, isc_dpb_password, password.c_str());
        }
    });
    const unsigned char* buf = dpb.buffer();
    const unsigned len = dpb.length();
    fb::Ref<IAttachment> att(
        fb::call([&](auto* st) { return fb::provider()->createDatabase(st, location.c_str(), len, buf); }));
    fb::call([&](auto* st) { att->detach(st); });
    att.forget();
}

ConflictRetry::ConflictRetry(const Connection& connection, int attempts)
    : m_deadline(std::chrono::steady_clock::now() + std::chrono::seconds(connection.lockTimeout())),
      m_bounded(connection.lockTimeout() > 0), m_left(attempts - 1) {}

namespace {
std::atomic<std::int64_t> g_conflictRetries{0};
} // namespace

bool ConflictRetry::again(bool retryable) {
    // With a lock timeout the time alone decides: every conflict is another station's commit, so
    // eight conveyors on one ticket keep moving where a count of tries would refuse a scan within
    // milliseconds. The count bounds only a connection that waits without a timeout.
    if (!retryable || (m_bounded ? std::chrono::steady_clock::now() >= m_deadline : m_left <= 0)) {
        return false;
    }
    --m_left;
    g_conflictRetries.fetch_add(1, std::memory_order_relaxed);
    return true;
}

std::int64_t conflictRetries() {
    return g_conflictRetries.load(std::memory_order_relaxed);
}

} // namespace vek::db
