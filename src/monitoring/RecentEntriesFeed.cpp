#include "monitoring/RecentEntriesFeed.h"

#include "util/TextCodec.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>
#include <cstring>
#include <future>
#include <stdexcept>

namespace vek {

namespace {

constexpr qint64 kBufferSize = 8192;
// How soon a datagram that had to wait for another event is offered again.
constexpr int kRetryMs = 5;

// The system's own words for an error, in the station's 8-bit text.
std::string systemReason(int error) {
    return fromQString(QString::fromLocal8Bit(std::strerror(error)));
}

// Qt names the usual causes without their system text; give the system's words for those.
std::string bindReason(const QUdpSocket& socket) {
    switch (socket.error()) {
    case QAbstractSocket::AddressInUseError:
        return systemReason(EADDRINUSE);
    case QAbstractSocket::SocketAccessError:
        return systemReason(EACCES);
    case QAbstractSocket::SocketAddressNotAvailableError:
        return systemReason(EADDRNOTAVAIL);
    default:
        return fromQString(socket.errorString());
    }
}

[[noreturn]] void portError(int port, const std::string& reason) {
    throw std::runtime_error("Porta UDP " + std::to_string(port) + ": " + reason);
}

} // namespace

// The receiver thread. Its socket is made, bound, read and closed inside the thread, under the
// thread's own event loop, so the socket never crosses threads.
class RecentEntriesFeed::Receiver : public QThread {
public:
    explicit Receiver(RecentEntriesFeed& feed) : m_feed(feed) {}
    ~Receiver() override {
        quit();
        wait();
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    /// Empty once the port is bound, else why it could not be.
    std::future<std::string> bindResult() { return m_bound.get_future(); }

protected:
    void run() override {
        try {
            listen();
        } catch (const std::exception& e) {
            report(e.what());
        } catch (...) {
            report("Unexpected error");
        }
    }

private:
    void listen() {
        QUdpSocket socket;
        // Not shared: a port another program holds is an error, not a share of its datagrams.
        if (!socket.bind(QHostAddress(QHostAddress::AnyIPv4), m_feed.m_port, QAbstractSocket::DontShareAddress)) {
            report(bindReason(socket));
            return;
        }
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this, &socket] { readPending(socket); });
        report({});
        exec();
    }

    // One datagram at a time: the next is read only once the previous has been handled.
    void readPending(QUdpSocket& socket) noexcept {
        try {
            while (socket.hasPendingDatagrams()) {
                std::string datagram(static_cast<std::size_t>(kBufferSize), '\0');
                // A longer datagram is cut: the rest of it is discarded by the system.
                const qint64 n = socket.readDatagram(datagram.data(), kBufferSize);
                if (n < 0) {
                    return; // an error report queued on the socket; the next datagram wakes us again
                }
                datagram.resize(static_cast<std::size_t>(n));
                if (!m_feed.handOver(std::move(datagram))) {
                    return; // stopping
                }
            }
        } catch (...) {
            // Out of memory for one datagram: it is lost, the listener goes on.
        }
    }

    // The constructor waits for the first report; later ones (an error after binding) are dropped.
    void report(const std::string& error) noexcept {
        if (m_reported) return;
        m_reported = true;
        try {
            m_bound.set_value(error);
        } catch (...) {}
    }

    RecentEntriesFeed& m_feed;
    std::promise<std::string> m_bound;
    bool m_reported = false;
};

RecentEntriesFeed::RecentEntriesFeed(int port, Handler handler) : m_handler(std::move(handler)) {
    // Taking the number as 16 bits would quietly listen on another port.
    if (port < 1 || port > 65535) {
        portError(port, systemReason(EINVAL));
    }
    m_port = static_cast<std::uint16_t>(port);
    auto thread = std::make_unique<Receiver>(*this);
    std::future<std::string> bound = thread->bindResult();
    thread->start();
    if (!thread->isRunning() && !thread->isFinished()) {
        throw std::runtime_error("Porta UDP " + std::to_string(port) + ": " + systemReason(EAGAIN));
    }
    const std::string error = bound.get();
    if (!error.empty()) {
        thread->wait();
        portError(port, error);
    }
    m_thread = std::move(thread);
}

RecentEntriesFeed::~RecentEntriesFeed() {
    stop();
}

void RecentEntriesFeed::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_handledCv.notify_all();
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
        m_thread.reset();
    }
}

std::uint64_t RecentEntriesFeed::handledCount() const {
    const std::lock_guard lock(m_mutex);
    return m_handled;
}

std::uint64_t RecentEntriesFeed::readCount() const {
    const std::lock_guard lock(m_mutex);
    return m_read;
}

bool RecentEntriesFeed::handOver(std::string datagram) {
    std::uint64_t mine = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return false;
        }
        mine = ++m_read;
    }
    QMetaObject::invokeMethod(
        &m_receiver, [this, datagram = std::move(datagram), mine] { deliver(datagram, mine); }, Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_handledCv.wait(lock, [&] { return m_stopping || m_handled >= mine; });
    return !m_stopping;
}

void RecentEntriesFeed::deliver(const std::string& datagram, std::uint64_t seq) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return;
        }
    }
    if (m_ready && !m_ready()) {
        QTimer::singleShot(kRetryMs, &m_receiver, [this, datagram, seq] { deliver(datagram, seq); });
        return;
    }
    try {
        if (m_handler) {
            m_handler(datagram);
        }
    } catch (...) {
        // The handler decides what to tell; nothing reaches the event loop from here.
    }
    {
        const std::lock_guard lock(m_mutex);
        m_handled = seq;
    }
    m_handledCv.notify_all();
}

bool RecentEntriesFeed::sendToSelf(std::string_view bytes, int timeoutMs) {
    if (!running()) {
        return false;
    }
    const std::uint64_t before = handledCount();
    {
        QUdpSocket sender;
        const qint64 sent = sender.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()),
                                                 QHostAddress(QHostAddress::LocalHost), m_port);
        if (sent < 0) {
            return false;
        }
    }
    // A loop of its own: the datagram reaches the handler through this thread's events.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (handledCount() != before) {
            loop.quit();
        }
    });
    deadline.start(timeoutMs);
    check.start(1);
    loop.exec();
    return handledCount() != before;
}

} // namespace vek
