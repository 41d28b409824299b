#pragma once

// Internal to the database layer.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vek::db {

/// Cuts what a call waits on when the call's deadline passes without an answer: the waiting thread
/// cannot do it, it is the one blocked. One thread per watchdog, started at the first arm and asleep
/// on a condition variable between deadlines. Arming and disarming take the mutex once; the cut
/// runs under it too, so once `disarm` has returned nothing touches the target any more and its
/// owner may release it.
class AnswerWatchdog {
public:
    using Clock = std::chrono::steady_clock;
    using Cut = void (*)(void* target) noexcept;

    AnswerWatchdog() = default;
    ~AnswerWatchdog();
    AnswerWatchdog(const AnswerWatchdog&) = delete;
    AnswerWatchdog& operator=(const AnswerWatchdog&) = delete;

    /// When `within` passes without an answer, unless disarmed first, `cut(target)` runs on the
    /// watchdog's thread.
    void arm(std::chrono::milliseconds within, Cut cut, void* target);
    /// An answer came (a row of a cursor): the wait goes on for `within` from when the watchdog
    /// next looks, so a cursor whose rows keep coming is never cut. Costs one plain store.
    void answered() noexcept {
        m_answers.store(m_answers.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    /// True when the deadline passed since the arm and the cut ran.
    bool disarm();
    /// Runs `cut(target)` now, never at the same time as a deadline's cut.
    void cutNow(Cut cut, void* target);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    Clock::time_point m_deadline;
    std::chrono::milliseconds m_within{0};
    std::atomic<std::uint64_t> m_answers{0}; // written by the waiting thread alone
    std::uint64_t m_answersSeen = 0;
    Clock::time_point m_sleepsUntil = Clock::time_point::max();
    Cut m_cut = nullptr;
    void* m_target = nullptr;
    bool m_armed = false;
    bool m_fired = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace vek::db
