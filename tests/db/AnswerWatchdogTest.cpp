// The watchdog that cuts a call left without an answer, on its own (no server involved).
#include "db/AnswerWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace vek::db;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Target {
    std::atomic<int> cuts{0};
    std::atomic<Clock::time_point> at{};
    std::thread::id thread;
};

void cut(void* p) noexcept {
    auto& t = *static_cast<Target*>(p);
    t.at = Clock::now();
    t.thread = std::this_thread::get_id();
    ++t.cuts;
}

// Waits (boundedly) for the watchdog's thread to cut.
bool cutWithin(const Target& t, std::chrono::milliseconds bound) {
    const auto end = Clock::now() + bound;
    while (t.cuts == 0 && Clock::now() < end) std::this_thread::sleep_for(5ms);
    return t.cuts > 0;
}

TEST(AnswerWatchdog, CutsWhatGetsNoAnswerInTimeAndNothingElse) {
    AnswerWatchdog w;
    Target answered;
    for (int i = 0; i < 1000; ++i) { // calls answered at once: never cut, though their deadline passes below
        w.arm(100ms, &cut, &answered);
        EXPECT_FALSE(w.disarm());
    }

    Target silent;
    const auto start = Clock::now();
    w.arm(200ms, &cut, &silent);
    ASSERT_TRUE(cutWithin(silent, 5s));
    EXPECT_GE(silent.at.load() - start, 200ms) << "cut before its deadline";
    EXPECT_NE(silent.thread, std::this_thread::get_id()) << "the waiting thread cannot cut its own wait";
    EXPECT_TRUE(w.disarm());
    EXPECT_EQ(silent.cuts, 1);

    // Answers inside one wait (a cursor's rows) put the cut off: one answer, then silence, gives
    // at least two deadlines.
    Target slow;
    const auto again = Clock::now();
    w.arm(200ms, &cut, &slow);
    w.answered();
    ASSERT_TRUE(cutWithin(slow, 5s));
    EXPECT_GE(slow.at.load() - again, 400ms);
    EXPECT_TRUE(w.disarm());

    EXPECT_EQ(answered.cuts, 0);
    EXPECT_EQ(silent.cuts, 1) << "a wait is cut once";
}

} // namespace
