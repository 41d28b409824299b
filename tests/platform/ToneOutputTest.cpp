#include "platform/AlsaToneOutput.h"
#include "platform/RecordingToneOutput.h"
#include "platform/TonePlayer.h"
#include "support/Tones.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace vek;
using vek::test::kAlarm;
using vek::test::kSuccess;

namespace {

TEST(RecordingToneOutput, KeepsEveryToneInOrderUntilTaken) {
    RecordingToneOutput out;
    EXPECT_EQ(out.play({{1800, 100}, {1450, 100}}, ToneKind::Alarm), 0); // nothing sounds, nothing to wait for
    out.play({}, ToneKind::Success);
    out.play({{2450, 120}}, ToneKind::Success);
    const std::vector<Tone> expected{{1800, 100}, {1450, 100}, {2450, 120}};
    EXPECT_EQ(out.take(), expected);
    EXPECT_TRUE(out.take().empty());
    out.play({{2800, 140}}, ToneKind::Held);
    EXPECT_EQ(out.take(), (std::vector<Tone>{{2800, 140}}));
}

int zeroCrossings(const std::vector<std::int16_t>& s) {
    int n = 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if ((s[i - 1] < 0) != (s[i] < 0)) ++n;
    }
    return n;
}

TEST(AlsaToneSamples, SineOfTheToneWithQuietEdges) {
    struct Case {
        Tone tone;
        int rate;
    };
    const Case cases[] = {{{1800, 100}, 44100}, {{1450, 250}, 44100}, {{2450, 120}, 44100}, {{440, 50}, 8000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tone.hz << " Hz " << c.tone.ms << " ms at " << c.rate);
        const auto s = AlsaToneOutput::samples(c.tone, c.rate);
        ASSERT_EQ(static_cast<long>(s.size()), static_cast<long>(c.rate) * c.tone.ms / 1000);
        // Two zero crossings per period; the fades may cost one at each end.
        const int expected = 2 * c.tone.hz * c.tone.ms / 1000;
        EXPECT_NEAR(zeroCrossings(s), expected, 3);
        // Fade in and out: no click at either end.
        EXPECT_LE(std::abs(s.front()), 200);
        EXPECT_LE(std::abs(s.back()), 200);
        const auto louder = [](auto a, auto b) { return std::abs(a) < std::abs(b); };
        const auto peak = *std::max_element(s.begin(), s.end(), louder);
        EXPECT_GT(std::abs(peak), 8000);
        EXPECT_LT(std::abs(peak), 32767);
    }
}

TEST(AlsaToneSamples, SilenceAndEmptyTones) {
    const auto rest = AlsaToneOutput::samples({0, 20}, 44100);
    EXPECT_EQ(rest.size(), 882u);
    EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](auto v) { return v == 0; }));
    EXPECT_TRUE(AlsaToneOutput::samples({1800, 0}).empty());
    EXPECT_TRUE(AlsaToneOutput::samples({1800, -5}).empty());
}

// A sink the test opens and closes: the player's thread sounds a tone only while the gate is open.
class GatedSink {
public:
    void operator()(const Tone& t) {
        std::unique_lock lock(m_mutex);
        m_entered.push_back(t);
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        m_played.push_back(t);
        m_changed.notify_all();
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void close() {
        std::lock_guard lock(m_mutex);
        m_open = false;
    }
    /// Waits (at most 5 s) until `n` tones have entered the sink.
    bool waitEntered(std::size_t n) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_entered.size() >= n; });
    }
    std::vector<Tone> played() {
        std::lock_guard lock(m_mutex);
        return m_played;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Tone> m_entered;
    std::vector<Tone> m_played;
    bool m_open = false;
};

bool waitIdle(TonePlayer& player) {
    for (int i = 0; i < 500 && !player.idle(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return player.idle();
}

TEST(TonePlayer, HandsOverAtOnceAlarmsWholeSuccessesDroppedWhileOthersSound) {
    GatedSink sink;
    TonePlayer player([&sink](const Tone& t) { sink(t); });
    // The sink holds the first tone: play still returns at once, with when the tones will end.
    EXPECT_EQ(player.play(kAlarm, ToneKind::Alarm), 550);
    ASSERT_TRUE(sink.waitEntered(1));
    EXPECT_EQ(player.play(kSuccess, ToneKind::Success), 0); // dropped: an alarm sounds
    EXPECT_GT(player.play(kAlarm, ToneKind::Alarm), 1000);  // waits behind the first
    EXPECT_EQ(player.play(kSuccess, ToneKind::Success), 0); // dropped: an alarm waits
    sink.open();
    ASSERT_TRUE(waitIdle(player));
    std::vector<Tone> twoAlarms = kAlarm;
    twoAlarms.insert(twoAlarms.end(), kAlarm.begin(), kAlarm.end());
    EXPECT_EQ(sink.played(), twoAlarms);

    // A success sounding gives way after its current tone to an alarm behind it.
    sink.close();
    EXPECT_EQ(player.play(kSuccess, ToneKind::Success), 260);
    ASSERT_TRUE(sink.waitEntered(twoAlarms.size() + 1));
    player.play(kAlarm, ToneKind::Alarm);
    sink.open();
    ASSERT_TRUE(waitIdle(player));
    std::vector<Tone> expected = twoAlarms;
    expected.push_back(kSuccess.front());
    expected.insert(expected.end(), kAlarm.begin(), kAlarm.end());
    EXPECT_EQ(sink.played(), expected);
}

TEST(AlsaToneOutput, WithoutDeviceReturnsAtOnceAndKeepsTheTonesTime) {
    AlsaToneOutput out(AlsaToneOutput::Device::None);
    EXPECT_FALSE(out.hasDevice());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(out.play({{1800, 30}, {0, 10}, {1450, -20}, {2450, 40}}, ToneKind::Alarm), 80);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    // Silent, but the time is kept: a success now would sound over the alarm, so it is dropped.
    EXPECT_EQ(out.play({{2450, 120}}, ToneKind::Success), 0);
}

TEST(AlsaToneOutput, DefaultDeviceOrFallbackPlaysWithoutThrowing) {
    // Whatever this machine has, play hands over and the player ends with the output.
    AlsaToneOutput out;
    EXPECT_NO_THROW(out.play({{880, 20}, {660, 20}}, ToneKind::Alarm));
}

} // namespace
