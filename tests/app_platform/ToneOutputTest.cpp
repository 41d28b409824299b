#include "app/AlsaToneOutput.h"
#include "app/RecordingToneOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

using namespace vek;

namespace {

TEST(RecordingToneOutput, KeepsEveryToneInOrderUntilTaken) {
    RecordingToneOutput out;
    out.play({{1800, 100}, {1450, 100}});
    out.play({});
    out.play({{2450, 120}});
    const std::vector<Tone> expected{{1800, 100}, {1450, 100}, {2450, 120}};
    EXPECT_EQ(out.take(), expected);
    EXPECT_TRUE(out.take().empty());
    out.play({{2800, 140}});
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

TEST(AlsaToneOutput, WithoutDeviceKeepsTheTonesDuration) {
    AlsaToneOutput out(AlsaToneOutput::Device::None);
    EXPECT_FALSE(out.hasDevice());
    const auto start = std::chrono::steady_clock::now();
    out.play({{1800, 30}, {0, 10}, {1450, -20}, {2450, 40}});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(80));
}

TEST(AlsaToneOutput, DefaultDeviceOrFallbackPlaysWithoutThrowing) {
    // Whatever this machine has, play returns only after the tones' time.
    AlsaToneOutput out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(out.play({{880, 20}, {660, 20}}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}

} // namespace
