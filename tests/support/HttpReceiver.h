#pragma once

// An HTTP server of the test's own that keeps every POST it is sent, for the dashboard's tests.
// Header-only: the tests that use it link cpp-httplib themselves.
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vek::test {

/// One request as the receiver took it.
struct ReceivedPost {
    std::string path, contentType, body;
    bool operator==(const ReceivedPost&) const = default;
};

class HttpReceiver {
public:
    /// Listens on 127.0.0.1 at `port` (0: any free port). With `hold`, every request waits for its
    /// answer until release(): a receiver that hangs.
    explicit HttpReceiver(int port, bool hold = false) : m_held(hold) {
        m_server.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock lock(m_mutex);
            m_posts.push_back({req.path, req.get_header_value("Content-Type"), req.body});
            m_cv.notify_all();
            m_cv.wait(lock, [this] { return !m_held; });
            res.status = 200;
        });
        m_port =
            port == 0 ? m_server.bind_to_any_port("127.0.0.1") : (m_server.bind_to_port("127.0.0.1", port) ? port : -1);
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~HttpReceiver() {
        release();
        m_server.stop();
        m_thread.join();
    }
    HttpReceiver(const HttpReceiver&) = delete;
    HttpReceiver& operator=(const HttpReceiver&) = delete;

    /// The port it listens on; -1 when the one asked for was taken.
    int port() const { return m_port; }
    /// Lets the held requests, and every later one, have their answers.
    void release() {
        const std::lock_guard lock(m_mutex);
        m_held = false;
        m_cv.notify_all();
    }
    /// Waits (at most 10 s) until `n` requests have arrived; false when they did not.
    bool waitForPosts(std::size_t n) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(10), [&] { return m_posts.size() >= n; });
    }
    std::vector<ReceivedPost> posts() {
        const std::lock_guard lock(m_mutex);
        return m_posts;
    }

private:
    httplib::Server m_server;
    int m_port = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_held;
    std::vector<ReceivedPost> m_posts;
};

} // namespace vek::test
