#include "station/OperatorDisplay.h"

#include "station/RuntimeParameters.h"
#include "util/TextCodec.h"

#include <chrono>

namespace vek {

namespace {
const std::vector<Tone> kAlarm = {{1800, 100}, {1450, 100}, {1800, 100}, {1450, 250}};
const std::vector<Tone> kSuccess = {{2450, 120}, {2800, 140}};
const std::vector<Tone> kHeld = {{2000, 80}, {2000, 80}};
} // namespace

const std::vector<Tone>& OperatorDisplay::alarmTones() {
    return kAlarm;
}

void OperatorDisplay::setOutputs(Platform platform, const RuntimeParameters* params) {
    m_platform = std::move(platform);
    m_params = params;
}

int OperatorDisplay::play(const std::vector<Tone>& tones, ToneKind kind) {
    if (m_params && (m_params->ALERTA_SONORO || !m_params->read) && m_platform.tones) {
        return m_platform.tones->play(tones, kind);
    }
    return 0;
}

std::int64_t OperatorDisplay::now() const {
    if (m_clock) return m_clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void OperatorDisplay::showMessage(std::string text, MessageColour colour, bool hint, int holdMs) {
    const std::int64_t t = now();
    if (m_heldUntil != 0 && t >= m_heldUntil) ReleaseHeldMessage();
    WaitingMessage m{std::move(text), colour, hint, t + holdMs};
    if (m_heldUntil != 0) {
        m_waitingMessages.push_back(std::move(m));
        return;
    }
    paintHeld(m, t);
}

void OperatorDisplay::paintHeld(const WaitingMessage& m, std::int64_t t) {
    paintMessage(m.text, m.colour, m.hint);
    if (m.heldUntil > t) {
        m_heldUntil = m.heldUntil;
        ReleaseMessageAfter(static_cast<int>(m.heldUntil - t));
    }
}

void OperatorDisplay::ReleaseHeldMessage() {
    if (m_heldUntil == 0) return;
    const std::int64_t t = now();
    if (t < m_heldUntil) {
        ReleaseMessageAfter(static_cast<int>(m_heldUntil - t));
        return;
    }
    m_heldUntil = 0;
    while (!m_waitingMessages.empty()) {
        const WaitingMessage m = std::move(m_waitingMessages.front());
        m_waitingMessages.pop_front();
        // A message that is not held and has another behind it would be painted over at once.
        if (m.heldUntil <= t && !m_waitingMessages.empty()) continue;
        paintHeld(m, t);
        if (m_heldUntil != 0) return;
    }
}

void OperatorDisplay::ShowErrorMessage(const std::string& text) {
    if (!say()) return;
    showMessage(text, MessageColour::Error, true, play(kAlarm, ToneKind::Alarm));
}

void OperatorDisplay::ShowStartUpError(const std::string& text) {
    ShowErrorMessage(text);
}

void OperatorDisplay::ShowSuccessMessage(const std::string& text) {
    if (!say()) return;
    play(kSuccess, ToneKind::Success);
    if (m_params && m_params->MSG_CONLUSAO) {
        showMessage(text, MessageColour::Success, false, 0);
    }
}

void OperatorDisplay::ShowHeldMessage(const std::string& text) {
    if (!say()) return;
    play(kHeld, ToneKind::Held);
    showMessage(text, MessageColour::Held, true, 0);
}

void OperatorDisplay::ShowEnquiryError(const std::string& text) {
    paintEnquiryMessage(text, MessageColour::Error, true);
    play(kAlarm, ToneKind::Alarm);
}

void OperatorDisplay::SuccessBeep() {
    if (m_quiet) return;
    play(kSuccess, ToneKind::Success);
}

void OperatorDisplay::ShowWarningBox(const std::string& text) {
    if (m_platform.boxes) {
        m_platform.boxes->show(MessageBoxes::Icon::Warning, QStringLiteral("Alerta"), toQString(text));
    }
}

void OperatorDisplay::ShowErrorBox(const std::string& text) {
    if (m_quiet) return; // a kept scan's error is its late refusal's reason
    if (m_platform.boxes) {
        m_platform.boxes->show(MessageBoxes::Icon::Error, QStringLiteral("Erro"), toQString(text));
    }
}

void OperatorDisplay::ShowPlatformError(const std::string& text) {
    if (m_platform.boxes) {
        m_platform.boxes->show(MessageBoxes::Icon::Error, QString::fromLatin1(kApplicationTitle), toQString(text));
    }
}

} // namespace vek
