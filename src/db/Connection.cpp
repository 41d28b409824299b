#include "db/Connection.h"

#include "db/StatementPool.h"

#include "db/AnswerWatchdog.h"
#include "db/FbApi.h"
#include "db/Query.h"
#include "db/ServerCall.h"

#include <ibase.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
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

std::vector<unsigned char> stationDpb(const std::string& user, const std::string& password, int connectTimeout) {
    fb::Xpb dpb(IXpbBuilder::DPB);
    fb::call([&](auto* st) {
        dpb->insertInt(st, isc_dpb_sql_dialect, 3);
        dpb->insertString(st, isc_dpb_lc_ctype, "NONE");
        if (!user.empty()) {
            dpb->insertString(st, isc_dpb_user_name, user.c_str());
        }
        if (!password.empty()) {
            dpb->insertString(st, isc_dpb_password, password.c_str());
        }
        if (connectTimeout > 0) {
            dpb->insertInt(st, isc_dpb_connect_timeout, connectTimeout);
        }
    });
    const unsigned char* buf = dpb.buffer();
    return {buf, buf + dpb.length()};
}

/// The TCP port of a server location ("host:path", "host/port:path", "[v6 address]/port:path",
/// "inet://host:port/path"), or nothing for a database opened in-process (a path, an alias).
std::optional<int> serverPort(const std::string& location) {
    constexpr int kDefaultPort = 3050;
    auto number = [](const std::string& text) -> std::optional<int> {
        char* end = nullptr;
        const long n = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || n <= 0 || n > 65535) {
            return std::nullopt;
        }
        return static_cast<int>(n);
    };
    for (const char* scheme : {"inet://", "inet4://", "inet6://"}) {
        if (location.rfind(scheme, 0) == 0) {
            const std::string rest = location.substr(std::string_view(scheme).size());
            const std::string host = rest.substr(0, rest.find('/'));
            const std::size_t colon = host.rfind(':');
            if (colon == std::string::npos || host.find(']', colon) != std::string::npos) {
                return kDefaultPort;
            }
            return number(host.substr(colon + 1)).value_or(kDefaultPort);
        }
    }
    if (location.empty() || location[0] == '/') {
        return std::nullopt;
    }
    const std::size_t hostEnd = location[0] == '[' ? location.find(']') : 0;
    if (hostEnd == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t colon = location.find(':', hostEnd);
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t slash = location.find('/', hostEnd);
    if (slash == std::string::npos || slash > colon) {
        return kDefaultPort;
    }
    return number(location.substr(slash + 1, colon - slash - 1)).value_or(kDefaultPort);
}

// Calls f(fd, inode) for every socket the process has open.
template <class F>
void forEachSocket(F&& f) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc/self/fd"), &::closedir);
    if (!dir) {
        return;
    }
    while (const dirent* e = ::readdir(dir.get())) {
        const int fd = std::atoi(e->d_name);
        struct stat st {};
        if (e->d_name[0] != '.' && ::fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode)) {
            f(fd, st.st_ino);
        }
    }
}

struct AttachSockets {
    std::vector<ino_t> before; // sorted
    int port;
};

// The cut of an attach that outlived its deadline: the attach has no handle to cancel yet, so the
// sockets towards the server's port opened since it began are shut down, which ends the client's
// wait with a network error.
void shutDownNewSockets(void* target) noexcept {
    const auto& a = *static_cast<const AttachSockets*>(target);
    forEachSocket([&](int fd, ino_t inode) {
        if (std::binary_search(a.before.begin(), a.before.end(), inode)) {
            return;
        }
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
            return;
        }
        int port = -1;
        if (peer.ss_family == AF_INET) {
            port = ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
        } else if (peer.ss_family == AF_INET6) {
            port = ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
        }
        if (port == a.port) {
            ::shutdown(fd, SHUT_RDWR);
        }
    });
}

// The client's connect timeout bounds the TCP connect and the wait for the server's first answer,
// not the authentication and attach that follow: a network that goes silent then held an attach for
// longer than eleven minutes (measured, without end in sight). So the whole attach gets the timeout
// as a deadline, at which the watchdog shuts down the attach's new sockets. Attaches bounded so
// take turns (the wait for the turn counts towards the deadline), so no other attach's socket is new
// then.
IAttachment* attachWithin(const std::string& location, const std::vector<unsigned char>& dpb, int timeoutSeconds,
                          AnswerWatchdog& watchdog) {
    auto attach = [&] {
        return fb::call([&](auto* st) {
            return fb::provider()->attachDatabase(st, location.c_str(), static_cast<unsigned>(dpb.size()), dpb.data());
        });
    };
    const std::optional<int> port = serverPort(location);
    if (timeoutSeconds <= 0 || !port) {
        return attach();
    }
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(timeoutSeconds);
    static std::timed_mutex turn;
    std::unique_lock lock(turn, deadline);
    if (!lock.owns_lock()) {
        throw DbError::noAnswer(timeoutSeconds);
    }
    AttachSockets sockets{{}, *port};
    forEachSocket([&](int, ino_t inode) { sockets.before.push_back(inode); });
    std::sort(sockets.before.begin(), sockets.before.end());
    watchdog.arm(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()), &shutDownNewSockets, &sockets);
    IAttachment* att = nullptr;
    try {
        att = attach();
    } catch (const DbError& e) {
        // The client's own timeout ends the wait for the first answer as a rejection.
        const bool timedOut = e.hasCode(isc_connect_reject) && Clock::now() >= deadline;
        if (watchdog.disarm() || timedOut) {
            throw DbError::noAnswer(timeoutSeconds, &e);
        }
        throw;
    } catch (...) {
        watchdog.disarm();
        throw;
    }
    if (watchdog.disarm()) {
        fb::Ref<IAttachment> cut(att); // its socket is shut: released at once
        throw DbError::noAnswer(timeoutSeconds);
    }
    return att;
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
    m_h->att.reset(
        attachWithin(m_database, stationDpb(m_user, m_password, m_connectTimeout), m_connectTimeout, m_h->watchdog));
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

void probeDatabase(const std::string& location, const std::string& user, const std::string& password,
                   int connectTimeoutSeconds) {
    AnswerWatchdog watchdog; // of its own: this runs on a thread of its own
    fb::Ref<IAttachment> att(
        attachWithin(location, stationDpb(user, password, connectTimeoutSeconds), connectTimeoutSeconds, watchdog));
    // The detach is one more round trip, bounded as well.
    const bool bounded = connectTimeoutSeconds > 0;
    if (bounded) {
        armOn(watchdog, att.get(), std::chrono::seconds(connectTimeoutSeconds));
    }
    try {
        fb::call([&](auto* st) { att->detach(st); });
    } catch (const DbError& e) {
        const bool cut = bounded && disarmFrom(watchdog, att.get());
        watchdog.cutNow(&cancelAttachment, att.get()); // so that the release waits for nothing
        att.reset();
        if (cut) {
            throw DbError::noAnswer(connectTimeoutSeconds, &e);
        }
        throw;
    }
    IAttachment* detached = att.get();
    att.forget();
    if (bounded) {
        disarmFrom(watchdog, detached); // the watchdog's own reference, the last
    }
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
