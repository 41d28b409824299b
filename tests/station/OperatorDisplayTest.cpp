#include "station/RuntimeParameters.h"
#include "support/RecordingDisplay.h"

#include <gtest/gtest.h>

using namespace vek;

namespace {

// Tones that sound for as long as a real player says: an alarm ends `alarmMs` after the last one.
class TimedTones final : public ToneOutput {
public:
    explicit TimedTones(const std::int64_t& clock) : m_clock(clock) {}
    int play(const std::vector<Tone>& tones, ToneKind kind) override {
        int ms = 0;
        for (const Tone& t : tones) ms += t.ms;
        if (kind == ToneKind::Success && m_endsAt > m_clock) return 0;
        m_endsAt = std::max(m_endsAt, m_clock) + ms;
        return static_cast<int>(m_endsAt - m_clock);
    }

private:
    const std::int64_t& m_clock;
    std::int64_t m_endsAt = 0;
};

TEST(OperatorDisplay, RefusalHeldUntilItsAlarmHasSoundedLaterMessagesFollow) {
    std::int64_t clock = 1000;
    TimedTones tones(clock);
    RuntimeParameters params;
    params.read = true;
    params.ALERTA_SONORO = true;
    params.MSG_CONLUSAO = true;
    test::RecordingDisplay display;
    display.setOutputs(Platform{&tones, nullptr, {}}, &params);
    display.setMonotonicClock([&clock] { return clock; });

    display.ShowErrorMessage("Caixa já baixada");
    EXPECT_EQ(display.text("pnMens"), "Caixa já baixada");
    // Scans handled while the alarm sounds: their messages wait, the refusal stays.
    clock += 100;
    display.ClearMessage();
    display.ShowSuccessMessage("Baixa efetuada 1");
    clock += 100;
    display.ClearMessage();
    display.ShowErrorMessage("Etiqueta inválida");
    display.ClearMessage();
    display.ShowSuccessMessage("Baixa efetuada 2");
    clock += 300; // 500 ms: the first alarm (550 ms) still sounds
    display.ReleaseHeldMessage();
    EXPECT_EQ(display.text("pnMens"), "Caixa já baixada");
    ASSERT_EQ(display.messages.size(), 1u);

    // Its alarm over: the second refusal, held for its own alarm behind the first; the messages
    // painted over at once are skipped.
    clock += 50;
    display.ReleaseHeldMessage();
    EXPECT_EQ(display.text("pnMens"), "Etiqueta inválida");
    clock += 549;
    display.ReleaseHeldMessage();
    EXPECT_EQ(display.text("pnMens"), "Etiqueta inválida");
    clock += 1;
    // Without a clock of its own a display releases at its next message.
    display.ShowSuccessMessage("Baixa efetuada 3");
    std::vector<std::string> painted;
    for (const auto& m : display.messages) painted.push_back(m.text);
    EXPECT_EQ(painted, (std::vector<std::string>{"Caixa já baixada", "Etiqueta inválida", "Baixa efetuada 2",
                                                 "Baixa efetuada 3"}));
    EXPECT_EQ(display.messageColour, MessageColour::Success);
}

} // namespace
