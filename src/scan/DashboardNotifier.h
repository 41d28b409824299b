#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace vek {

struct RuntimeParameters;

/// Sends HTTP POSTs one after another on a thread of its own, so that the caller never waits for
/// the receiver. A connection attempt is bounded; a failure is dropped with one line on standard
/// error. At destruction what is still queued gets a bounded time to go out.
class HttpPostQueue {
public:
    HttpPostQueue();
    ~HttpPostQueue();
    HttpPostQueue(const HttpPostQueue&) = delete;
    HttpPostQueue& operator=(const HttpPostQueue&) = delete;

    void post(std::string url, std::string contentType, std::string body);
    /// Waits until everything queued so far was sent or dropped, at most `limit`; true when it was.
    bool drain(std::chrono::milliseconds limit);

    static constexpr std::chrono::milliseconds kConnectTimeout{1000};
    static constexpr std::chrono::milliseconds kRequestTimeout{2000};
    static constexpr std::chrono::milliseconds kCloseWait{2000};

private:
    struct Request {
        std::string url, contentType, body;
    };
    void run();
    void send(const Request& r);

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Request> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_abortAt = std::chrono::steady_clock::time_point::max();
    std::atomic<std::chrono::steady_clock::rep> m_abortTicks{
        std::chrono::steady_clock::time_point::max().time_since_epoch().count()};
    std::thread m_thread;
};

/// Tells the production dashboard about a box recorded in a sector.
class DashboardNotifier {
public:
    /// `params`: the station's, read at start-up after the notifier is made.
    explicit DashboardNotifier(const RuntimeParameters& params) : m_params(params) {}

    /// Only without the strict previous-sector rule and with a dashboard server that is a host name
    /// or address; id 0 included.
    void NotifyDashboard(int id);

    static std::string requestBody(int id);
    static std::string requestUrl(const std::string& server);
    HttpPostQueue& queue() { return m_queue; }

private:
    const RuntimeParameters& m_params;
    HttpPostQueue m_queue;
    bool m_badServerTold = false;
};

} // namespace vek
