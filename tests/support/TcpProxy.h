#pragma once

#include <chrono>
#include <memory>
#include <vector>

namespace vek::test {

/// A TCP relay on 127.0.0.1 for a network that fails without closing anything: every connection
/// accepted on `port()` is forwarded to 127.0.0.1:targetPort in both directions by a thread of its
/// own. While paused nothing is forwarded and nothing is closed: bytes received are held, new
/// connections are accepted but not connected onward, as behind a pulled cable or a proxy that
/// stopped. The thread stops when the object goes.
class TcpProxy {
public:
    explicit TcpProxy(int targetPort);
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int port() const;
    void pause();
    /// Forwards again, the bytes held first.
    void resume();
    /// Forwards the next chunk the target sends (on any connection), then pauses: a network that
    /// fails half way through an exchange.
    void pauseAfterReply();
    /// Resumes by itself after `after` unless resumed before: a network that comes back, and a test
    /// whose deadline fails ends with a failure rather than a hang.
    void resumeAfter(std::chrono::milliseconds after);
    /// Every chunk is forwarded this long after it arrived, each way (a slow network's round trip).
    void setDelay(std::chrono::milliseconds delay);
    /// While on, a new connection is answered as a database server that is stopping answers an
    /// attach: rejected ("connection rejected by remote interface"). Connections open go on.
    void refuseNew(bool refuse);
    /// Connections accepted so far, for checks that a client really went through the relay.
    int accepted() const;
    /// When each round trip began: a client sending on a connection that was answered since it last
    /// sent (or that is new). However the bytes are cut into chunks either way, it counts once.
    std::vector<std::chrono::steady_clock::time_point> exchanges() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace vek::test
