#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace vek {

/// Asks the database server whether it answers, off the window's thread: an attach of its own that
/// may wait for its connect timeout on a silent network while the station goes on keeping scans.
class DatabaseProbe {
public:
    enum class State { Idle, Running, Answered, Failed };

    DatabaseProbe() = default;
    /// Waits for a probe under way, which its connect timeout bounds.
    ~DatabaseProbe();
    DatabaseProbe(const DatabaseProbe&) = delete;
    DatabaseProbe& operator=(const DatabaseProbe&) = delete;

    /// Starts one attempt unless one is under way.
    void start(const std::string& location, const std::string& user, const std::string& password,
               int connectTimeoutSeconds);
    /// The attempt's state; an ended one is taken (the probe is Idle again after Answered or Failed).
    State take();

private:
    void join();
    std::thread m_thread;
    std::atomic<State> m_state{State::Idle};
};

} // namespace vek
