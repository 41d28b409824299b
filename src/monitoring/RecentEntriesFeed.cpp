#include "monitoring/RecentEntriesFeed.h"

#include "util/TextCodec.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vek {

namespace {

constexpr std::size_t kBufferSize = 8192;
// How soon a datagram that had to wait for another event is offered again.
constexpr int kRetryMs = 5;

// The system's own words for an error, in the station's 8-bit text.
std::string systemReason(int error) {
    return fromQString(QString::fromLocal8Bit(std::strerror(error)));
}

[[noreturn]] void portError(int port, const std::string& reason) {
    throw std::runtime_error("Porta UDP " + std::to_string(port) + ": " + reason);
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

RecentEntriesFeed::RecentEntriesFeed(int port, Handler handler) : m_handler(std::move(handler)) {
    // Taking the number as 16 bits would quietly listen on another port.
    if (port < 1 || port > 65535) {
        portError(port, systemReason(EINVAL));
    }
    m_port = static_cast<std::uint16_t>(port);
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        portError(port, systemReason(errno));
    }
    // No address reuse: a port another program holds is an error, not a share of its datagrams.
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(m_port);
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int error = errno;
        closeFd(m_socket);
        portError(port, systemReason(error));
    }
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        const int error = errno;
        closeFd(m_socket);
        throw std::runtime_error(systemReason(error));
    }
    try {
        m_thread = std::thread([this] { receive(); });
    } catch (...) {
        closeFd(m_wake);
        closeFd(m_socket);
        throw;
    }
}

RecentEntriesFeed::~RecentEntriesFeed() {
    stop();
    closeFd(m_wake);
    closeFd(m_socket);
}

void RecentEntriesFeed::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_handledCv.notify_all();
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::uint64_t RecentEntriesFeed::handledCount() const {
    const std::lock_guard lock(m_mutex);
    return m_handled;
}

void RecentEntriesFeed::receive() {
    std::string buffer(kBufferSize, '\0');
    std::uint64_t seq = 0;
    for (;;) {
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return; // stopping
        }
        if ((fds[0].revents & POLLIN) == 0) {
            if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return;
            }
            continue;
        }
        // A longer datagram is cut: the rest of it is discarded by the system.
        const ssize_t n = ::recv(m_socket, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0) {
            continue; // EAGAIN, EINTR, or an error report queued on the socket: go on listening
        }
        std::string datagram(buffer.data(), static_cast<std::size_t>(n));
        const std::uint64_t mine = ++seq;
        QMetaObject::invokeMethod(
            &m_receiver, [this, datagram = std::move(datagram), mine] { deliver(datagram, mine); },
            Qt::QueuedConnection);
        std::unique_lock lock(m_mutex);
        m_handledCv.wait(lock, [&] { return m_stopping || m_handled >= mine; });
        if (m_stopping) {
            return;
        }
    }
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
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(m_port);
    const ssize_t sent = ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ::close(s);
    if (sent < 0) {
        return false;
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
