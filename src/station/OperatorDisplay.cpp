#include "station/OperatorDisplay.h"

#include "station/RuntimeParameters.h"
#include "util/TextCodec.h"

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

void OperatorDisplay::play(const std::vector<Tone>& tones) {
    if (m_params && (m_params->ALERTA_SONORO || !m_params->read) && m_platform.tones) {
        m_platform.tones->play(tones);
    }
}

void OperatorDisplay::ShowErrorMessage(const std::string& text) {
    if (!say()) return;
    paintMessage(text, MessageColour::Error, true);
    play(kAlarm);
}

void OperatorDisplay::ShowStartUpError(const std::string& text) {
    ShowErrorMessage(text);
}

void OperatorDisplay::ShowSuccessMessage(const std::string& text) {
    if (!say()) return;
    if (m_params && m_params->MSG_CONLUSAO) {
        paintMessage(text, MessageColour::Success, false);
    }
    play(kSuccess);
}

void OperatorDisplay::ShowHeldMessage(const std::string& text) {
    if (!say()) return;
    paintMessage(text, MessageColour::Held, true);
    play(kHeld);
}

void OperatorDisplay::ShowEnquiryError(const std::string& text) {
    paintEnquiryMessage(text, MessageColour::Error, true);
    play(kAlarm);
}

void OperatorDisplay::SuccessBeep() {
    if (m_quiet) return;
    play(kSuccess);
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
