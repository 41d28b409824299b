#include "metrics/MetricsEndpoint.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <stdexcept>
#include <vector>

namespace vek::metrics {

namespace {

// Workers for the accepted connections that make the accepting thread wait while all are taken:
// connections beyond them stay in the kernel's queue, and a flood of idle ones costs the station
// no threads, memory or descriptors.
class BoundedPool : public httplib::TaskQueue {
public:
    explicit BoundedPool(int workers) : m_limit(static_cast<std::size_t>(workers)) {
        for (int i = 0; i < workers; ++i) {
            m_threads.emplace_back([this] { work(); });
        }
    }
    ~BoundedPool() override = default;

    void enqueue(std::function<void()> fn) override {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [this] { return m_jobs.size() + m_busy < m_limit || m_stopping; });
        m_jobs.push_back(std::move(fn));
        m_work.notify_one();
    }

    void shutdown() override {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_work.notify_all();
        m_room.notify_all();
        for (std::thread& t : m_threads) {
            t.join();
        }
    }

private:
    void work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
                if (m_jobs.empty()) {
                    return;
                }
                fn = std::move(m_jobs.front());
                m_jobs.pop_front();
                ++m_busy;
            }
            fn(); // reads the request, answers it and closes the connection
            {
                std::lock_guard lock(m_mutex);
                --m_busy;
            }
            m_room.notify_one();
        }
    }

    const std::size_t m_limit;
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_room;
    std::deque<std::function<void()>> m_jobs;
    std::size_t m_busy = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

std::size_t requestBytes(const httplib::Request& req) {
    std::size_t n = req.method.size() + req.target.size() + req.version.size() + req.body.size();
    for (const auto& [name, value] : req.headers) {
        n += name.size() + value.size() + 4; // ": " and CRLF
    }
    return n;
}

} // namespace

MetricsEndpoint::MetricsEndpoint(const std::string& address, int port) : m_server(std::make_unique<httplib::Server>()) {
    httplib::Server& s = *m_server;
    s.new_task_queue = [] { return new BoundedPool(kConnections); };
    // Not the library's SO_REUSEPORT: a second station on the same port would share it silently, and
    // the office would read either station's page at random.
    s.set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    s.set_read_timeout(kReadSeconds, 0);
    s.set_write_timeout(kReadSeconds, 0);
    s.set_keep_alive_timeout(kReadSeconds);
    s.set_payload_max_length(kRequestBytes);
    s.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (requestBytes(req) > static_cast<std::size_t>(kRequestBytes)) {
            res.status = 431;
            res.set_content("request too large\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method != "GET") {
            res.status = 405;
            res.set_header("Allow", "GET");
            res.set_content("only GET\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path != "/metrics" && req.path != "/health") {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(renderMetrics(snapshot(), residentMemoryBytes()), "text/plain; version=0.0.4; charset=utf-8");
    });
    s.Get("/health", [this](const httplib::Request&, httplib::Response& res) {
        const auto [status, text] = health(snapshot());
        res.status = status;
        res.set_content(text, "text/plain; charset=utf-8");
    });
    m_port = port == 0 ? s.bind_to_any_port(address.c_str()) : (s.bind_to_port(address.c_str(), port) ? port : -1);
    if (m_port <= 0) {
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
    }
    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_listenEnded = true;
    });
}

MetricsEndpoint::~MetricsEndpoint() {
    // A stop before the loop runs would be lost, and the loop would run on: stop a running one.
    while (!m_listenEnded) {
        if (m_server->is_running()) {
            m_server->stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_thread.join();
}

void MetricsEndpoint::publish(StationMetrics snapshot) {
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(snapshot);
}

StationMetrics MetricsEndpoint::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

} // namespace vek::metrics
