#include "platform/TonePlayer.h"

#include <algorithm>

namespace vek {

TonePlayer::TonePlayer(Sink sink) : m_sink(std::move(sink)), m_thread([this] { run(); }) {}

TonePlayer::~TonePlayer() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_waiting.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

int TonePlayer::play(const std::vector<Tone>& tones, ToneKind kind) {
    int ms = 0;
    for (const Tone& t : tones) ms += std::max(t.ms, 0);
    if (ms == 0) return 0;
    const auto now = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration untilSounded{};
    {
        std::lock_guard lock(m_mutex);
        const bool busy = m_sounding || !m_waiting.empty();
        if ((kind == ToneKind::Success && busy) || m_waiting.size() >= kMaxWaiting) return 0;
        // A success sounding now gives way after its current tone; counting it whole keeps the
        // estimate on the safe side (a message held for it is held no shorter than its alarm).
        m_endsAt = std::max(now, m_endsAt) + std::chrono::milliseconds(ms);
        untilSounded = m_endsAt - now;
        m_waiting.push_back({tones, kind});
    }
    m_wake.notify_one();
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(untilSounded).count());
}

bool TonePlayer::idle() {
    std::lock_guard lock(m_mutex);
    return !m_sounding && m_waiting.empty();
}

void TonePlayer::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop) return;
        Batch batch = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_sounding = true;
        for (const Tone& tone : batch.tones) {
            if (m_stop || (batch.kind == ToneKind::Success && !m_waiting.empty())) break;
            if (tone.ms <= 0) continue;
            lock.unlock();
            m_sink(tone);
            lock.lock();
        }
        m_sounding = false;
        if (m_waiting.empty()) m_endsAt = std::min(m_endsAt, std::chrono::steady_clock::now());
    }
}

} // namespace vek
