#pragma once

#include "station/Platform.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vek {

/// Plays tones on a thread of its own, so that the window's thread hands them over and goes on.
/// An alarm (or the kept scan's tone) is played whole, after what sounds before it; a success that
/// would start while another tone sounds or waits is dropped, and a success still sounding stops
/// after its current tone when something waits: the operator hears the latest result, not a queue.
class TonePlayer {
public:
    /// Sounds one tone and returns when it has sounded; runs on the player's thread only.
    using Sink = std::function<void(const Tone&)>;

    /// At most this many sets wait behind the one sounding; a barrage of refusals beyond it is not
    /// worth seconds of alarms after the fact.
    static constexpr std::size_t kMaxWaiting = 16;

    explicit TonePlayer(Sink sink);
    /// Waiting tones are dropped; the one sounding ends first.
    ~TonePlayer();
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

    /// Never blocks on sound. Returns the milliseconds from now until these tones will have sounded,
    /// 0 when they are dropped.
    int play(const std::vector<Tone>& tones, ToneKind kind);

    /// True while nothing sounds or waits.
    bool idle();

private:
    struct Batch {
        std::vector<Tone> tones;
        ToneKind kind = ToneKind::Alarm;
    };
    void run();

    Sink m_sink;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Batch> m_waiting;
    bool m_sounding = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_endsAt{}; // when the last accepted tone will have sounded
    std::thread m_thread;                             // last: it starts once everything above exists
};

} // namespace vek
