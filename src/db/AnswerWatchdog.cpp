#include "db/AnswerWatchdog.h"

namespace vek::db {

AnswerWatchdog::~AnswerWatchdog() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void AnswerWatchdog::arm(std::chrono::milliseconds within, Cut cut, void* target) {
    const Clock::time_point deadline = Clock::now() + within;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_deadline = deadline;
        m_within = within;
        m_answersSeen = m_answers.load(std::memory_order_relaxed);
        m_cut = cut;
        m_target = target;
        m_armed = true;
        m_fired = false;
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { run(); });
        }
        // A thread asleep towards an earlier deadline finds this one when it wakes: calls that follow
        // each other within a deadline wake it once, not once per call.
        wake = deadline < m_sleepsUntil;
    }
    if (wake) {
        m_wake.notify_one();
    }
}

bool AnswerWatchdog::disarm() {
    std::lock_guard lock(m_mutex);
    m_armed = false;
    m_target = nullptr;
    return m_fired;
}

void AnswerWatchdog::cutNow(Cut cut, void* target) {
    std::lock_guard lock(m_mutex);
    cut(target);
}

void AnswerWatchdog::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_armed) {
            m_sleepsUntil = Clock::time_point::max();
            m_wake.wait(lock);
        } else if (const Clock::time_point now = Clock::now(); now < m_deadline) {
            m_sleepsUntil = m_deadline;
            m_wake.wait_until(lock, m_deadline);
        } else if (const std::uint64_t answers = m_answers.load(std::memory_order_relaxed); answers != m_answersSeen) {
            m_answersSeen = answers;
            m_deadline = now + m_within;
        } else {
            m_cut(m_target);
            m_fired = true;
            m_armed = false;
        }
    }
}

} // namespace vek::db
