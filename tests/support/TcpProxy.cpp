#include "support/TcpProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vek::test {

namespace {

using Clock = std::chrono::steady_clock;

// Beyond this much held per direction the relay stops reading, and the sender's own buffers fill.
constexpr std::size_t kMaxHeld = 4 << 20;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            m_fd = std::exchange(o.m_fd, -1);
        }
        return *this;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

struct Chunk {
    Clock::time_point due;
    std::string bytes;
    std::size_t sent = 0;
};

// One way of a relayed connection.
struct Direction {
    std::deque<Chunk> held;
    std::size_t heldBytes = 0;
    bool eof = false;           // the source will send nothing more
    bool shut = false;          // the destination was told so, or can take nothing more
    std::size_t pauseAfter = 0; // when not 0, the chunks to forward before pausing

    bool wantsRead() const { return !eof && heldBytes < kMaxHeld; }
    std::optional<Clock::time_point> nextDue() const {
        return held.empty() ? std::nullopt : std::optional(held.front().due);
    }
};

struct Link {
    Fd client;
    Fd server;      // empty until connected onward
    Direction up;   // client to server
    Direction down; // server to client
    bool dead = false;
    bool answered = true; // the server has sent since the client last did: its next bytes begin an exchange

    bool done() const { return dead || (up.shut && down.shut); }
};

} // namespace

struct TcpProxy::Impl {
    int targetPort;
    int port = 0;
    Fd listener;
    Fd wakeRead;
    Fd wakeWrite;
    std::mutex mutex;
    bool paused = false;
    bool pauseOnReply = false;
    std::optional<Clock::time_point> resumeAt;
    bool stopping = false;
    std::chrono::milliseconds delay{0};
    std::atomic<int> accepted{0};
    std::atomic<bool> refusing{false};
    std::vector<Fd> refused; // answered and left for the client to close
    std::vector<Clock::time_point> exchanges;
    std::vector<std::unique_ptr<Link>> links;
    std::thread thread;

    explicit Impl(int target) : targetPort(target) {
        listener = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!listener) throw std::runtime_error("proxy: no socket");
        const int one = 1;
        ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a = loopback(0);
        socklen_t len = sizeof a;
        if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener.get(), 128) != 0 ||
            ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            throw std::runtime_error(std::string("proxy: cannot listen: ") + std::strerror(errno));
        }
        port = ntohs(a.sin_port);
        int p[2];
        if (::pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("proxy: no pipe");
        wakeRead = Fd(p[0]);
        wakeWrite = Fd(p[1]);
    }

    void wake() {
        const char c = 0;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite.get(), &c, 1); // a full pipe wakes as well
    }

    void connectOnward(Link& l) {
        Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in a = loopback(targetPort);
        // Loopback: refused or connected at once, so a blocking connect keeps the loop simple.
        if (!s || ::connect(s.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            l.dead = true;
            return;
        }
        setNonBlocking(s.get());
        l.server = std::move(s);
    }

    static void readInto(int fd, Direction& d, Direction& towardFd, Clock::time_point due, bool& dead) {
        char buf[65536];
        while (d.wantsRead()) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n > 0) {
                d.held.push_back(Chunk{due, std::string(buf, static_cast<std::size_t>(n))});
                d.heldBytes += static_cast<std::size_t>(n);
            } else if (n == 0) {
                d.eof = true;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return;
            } else if (errno != EINTR) {
                // Reset by the peer: nothing comes from it and nothing reaches it any more.
                d.eof = true;
                towardFd.shut = true;
                dead = true;
                return;
            }
        }
    }

    // Returns true when the direction asks for a pause.
    static bool flush(int fd, Direction& d, Clock::time_point now, bool& dead) {
        if (d.shut) {
            return false;
        }
        while (!d.held.empty() && d.held.front().due <= now) {
            Chunk& c = d.held.front();
            const ssize_t n = ::send(fd, c.bytes.data() + c.sent, c.bytes.size() - c.sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return false;
                dead = true;
                return false;
            }
            c.sent += static_cast<std::size_t>(n);
            d.heldBytes -= static_cast<std::size_t>(n);
            if (c.sent < c.bytes.size()) return false;
            d.held.pop_front();
            if (d.pauseAfter > 0 && --d.pauseAfter == 0) return true;
        }
        if (d.eof && d.held.empty()) {
            ::shutdown(fd, SHUT_WR);
            d.shut = true;
        }
        return false;
    }

    void run() {
        std::vector<pollfd> fds;
        std::vector<std::pair<Link*, bool>> owners; // per entry after the first two: link, client side
        for (;;) {
            bool isPaused;
            bool onReply;
            std::chrono::milliseconds wait;
            std::optional<Clock::time_point> next;
            {
                std::lock_guard lock(mutex);
                if (stopping) return;
                if (resumeAt && Clock::now() >= *resumeAt) {
                    paused = pauseOnReply = false;
                    resumeAt.reset();
                }
                next = resumeAt;
                isPaused = paused;
                onReply = pauseOnReply;
                wait = delay;
            }
            Clock::time_point now = Clock::now();
            if (!isPaused) {
                bool pauseNow = false;
                for (auto& l : links) {
                    if (!l->server && !l->dead) connectOnward(*l);
                    if (l->server && !pauseNow) {
                        flush(l->server.get(), l->up, now, l->dead);
                        pauseNow = flush(l->client.get(), l->down, now, l->dead);
                    }
                }
                if (pauseNow) {
                    std::lock_guard lock(mutex);
                    paused = isPaused = true;
                }
            }
            if (!isPaused) {
                // Nothing closes while paused: a silent network ends no connection.
                std::erase_if(links, [](const auto& l) { return l->done(); });
                for (auto& l : links) {
                    for (const Direction* d : {&l->up, &l->down}) {
                        if (auto due = d->nextDue(); due && *due > now && (!next || *due < *next)) next = due;
                    }
                }
            }

            fds.assign({{wakeRead.get(), POLLIN, 0}, {listener.get(), POLLIN, 0}});
            owners.clear();
            for (auto& l : links) {
                if (l->dead) continue;
                auto add = [&](int fd, const Direction& from, const Direction& to, bool client) {
                    short ev = from.wantsRead() ? POLLIN : 0;
                    if (!isPaused && !to.shut && to.nextDue() && *to.nextDue() <= now) ev |= POLLOUT;
                    if (ev != 0) {
                        fds.push_back({fd, ev, 0});
                        owners.emplace_back(l.get(), client);
                    }
                };
                add(l->client.get(), l->up, l->down, true);
                if (l->server) add(l->server.get(), l->down, l->up, false);
            }
            int timeout = -1;
            if (next) {
                timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count());
                timeout = std::max(timeout, 0);
            }
            if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;

            if (fds[0].revents & POLLIN) {
                char buf[256];
                while (::read(wakeRead.get(), buf, sizeof buf) > 0) {}
            }
            if (fds[1].revents & POLLIN) {
                for (;;) {
                    Fd c(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
                    if (!c) break;
                    if (refusing) {
                        // The wire protocol's op_reject (4), a 32-bit big-endian operation code.
                        static constexpr unsigned char kReject[] = {0, 0, 0, 4};
                        [[maybe_unused]] const ssize_t n = ::write(c.get(), kReject, sizeof kReject);
                        refused.push_back(std::move(c));
                        ++accepted;
                        continue;
                    }
                    auto l = std::make_unique<Link>();
                    l->client = std::move(c);
                    links.push_back(std::move(l));
                    ++accepted;
                }
            }
            now = Clock::now();
            const Clock::time_point due = now + wait;
            for (std::size_t i = 2; i < fds.size(); ++i) {
                auto [l, client] = owners[i - 2];
                const short rev = fds[i].revents;
                Direction& from = client ? l->up : l->down;
                Direction& to = client ? l->down : l->up;
                if (rev & (POLLIN | POLLHUP | POLLERR)) {
                    const std::size_t before = from.held.size();
                    readInto(fds[i].fd, from, to, due, l->dead);
                    if (from.held.size() > before) {
                        if (client && l->answered) {
                            std::lock_guard lock(mutex);
                            exchanges.push_back(now);
                        }
                        l->answered = !client;
                    }
                    if (!client && onReply && from.held.size() > before) {
                        from.pauseAfter = before + 1;
                        onReply = false;
                        std::lock_guard lock(mutex);
                        pauseOnReply = false;
                    }
                }
                if (rev & POLLHUP) {
                    to.shut = true; // the peer is gone both ways: what was held for it is dropped
                }
            }
        }
    }
};

TcpProxy::TcpProxy(int targetPort) : m_impl(std::make_unique<Impl>(targetPort)) {
    m_impl->thread = std::thread([this] { m_impl->run(); });
}

TcpProxy::~TcpProxy() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->wake();
    m_impl->thread.join();
}

int TcpProxy::port() const {
    return m_impl->port;
}

void TcpProxy::pause() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->paused = true;
    m_impl->wake();
}

void TcpProxy::resume() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->paused = m_impl->pauseOnReply = false;
    m_impl->resumeAt.reset();
    m_impl->wake();
}

void TcpProxy::resumeAfter(std::chrono::milliseconds after) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->resumeAt = Clock::now() + after;
    m_impl->wake();
}

void TcpProxy::pauseAfterReply() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->pauseOnReply = true;
    m_impl->wake();
}

void TcpProxy::setDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->delay = delay;
    m_impl->wake();
}

void TcpProxy::refuseNew(bool refuse) {
    m_impl->refusing = refuse;
}

int TcpProxy::accepted() const {
    return m_impl->accepted.load();
}

std::vector<std::chrono::steady_clock::time_point> TcpProxy::exchanges() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->exchanges;
}

} // namespace vek::test
