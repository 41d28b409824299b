#pragma once

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class QThread;

namespace vek {

/// The listener of the recent-entries feed: a UDP socket on one port of all local IPv4 addresses
/// and a receiver thread of its own. Each datagram (at most 8192 bytes of it) is handed to the
/// thread that created the listener, through its event loop, and the receiver waits until it has
/// been handled there before it reads the next: datagrams are handled one at a time, in arrival
/// order, between that thread's other events. What arrives meanwhile waits in the system's receive
/// buffer, which drops what does not fit; nothing queues up inside the station.
class RecentEntriesFeed {
public:
    using Handler = std::function<void(std::string_view datagram)>;

    /// Opens the port; raises std::runtime_error with the system's reason when it cannot (in use,
    /// not allowed, outside 1 to 65535). The handler runs on the creating thread; what it throws is
    /// dropped.
    RecentEntriesFeed(int port, Handler handler);
    /// Stops and joins the receiver; a datagram not yet handled is dropped.
    ~RecentEntriesFeed();
    RecentEntriesFeed(const RecentEntriesFeed&) = delete;
    RecentEntriesFeed& operator=(const RecentEntriesFeed&) = delete;

    /// While it answers false (another event of the creating thread is under way and lets events
    /// through, e.g. to paint), a datagram waits its turn instead of being handled inside it.
    void setReadyCheck(std::function<bool()> ready) { m_ready = std::move(ready); }

    /// Ends the receiver; no handler runs afterwards. Idempotent; creating thread only.
    void stop();
    bool running() const { return m_thread != nullptr; }
    std::uint16_t port() const { return m_port; }
    /// Datagrams handed to the handler so far.
    std::uint64_t handledCount() const;
    /// Datagrams taken from the socket so far: at most one more than handledCount(), the one on its
    /// way to the handler.
    std::uint64_t readCount() const;

    /// Sends the bytes in one datagram from a socket of its own to this listener's port on the
    /// local host, then runs the creating thread's events until the listener has handled one more
    /// datagram or `timeoutMs` have passed (a datagram the system dropped must not hang the caller).
    /// False when nothing was handled in time or the bytes could not be sent.
    bool sendToSelf(std::string_view bytes, int timeoutMs = 2000);

private:
    class Receiver;

    /// Receiver thread: hands one datagram over and waits until it was handled; false once stopping.
    bool handOver(std::string datagram);
    void deliver(const std::string& datagram, std::uint64_t seq);

    Handler m_handler;
    std::function<bool()> m_ready;
    std::uint16_t m_port = 0;
    QObject m_receiver; // lives in the creating thread; posted datagrams die with it

    mutable std::mutex m_mutex;
    std::condition_variable m_handledCv;
    bool m_stopping = false;
    std::uint64_t m_read = 0;           // sequence number of the last datagram read from the socket
    std::uint64_t m_handled = 0;        // sequence number of the last datagram handled
    std::unique_ptr<Receiver> m_thread; // last: its socket and loop end before the rest goes
};

} // namespace vek
