#pragma once

#include "metrics/StationMetrics.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace vek::metrics {

/// GET /metrics and GET /health on `address`:`port`, served from threads of their own out of the last
/// snapshot published: a slow or hostile client never holds up the station. At most 4 connections
/// are taken at once (the next ones wait unaccepted), a request may be 8 KB and has 5 s to arrive;
/// another path is 404, another method 405.
class MetricsEndpoint {
public:
    static constexpr int kConnections = 4;
    static constexpr int kRequestBytes = 8192;
    static constexpr int kReadSeconds = 5;

    /// Listens at once (port 0: any free one); raises std::runtime_error when the address or port
    /// cannot be taken.
    MetricsEndpoint(const std::string& address, int port);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    int port() const { return m_port; }
    /// The figures the next requests are answered from.
    void publish(StationMetrics snapshot);

private:
    StationMetrics snapshot() const;

    mutable std::mutex m_mutex;
    StationMetrics m_snapshot;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    std::atomic<bool> m_listenEnded{false};
    std::thread m_thread; // last: it ends before what it serves from
};

} // namespace vek::metrics
