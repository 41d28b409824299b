#pragma once

#include "station/Platform.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vek {

struct RuntimeParameters;

/// The box as the scan shows it in the six fields of the label panel.
struct BoxFields {
    std::string prod;  // edProd
    std::string pad;   // edPad: pattern and its description
    std::string tam;   // edTam
    std::string prog;  // edProg
    std::string ficha; // edFicha
};

/// The counter texts, formatted as the screen shows them.
struct CounterTexts {
    std::string day;        // pnQtParesDia
    std::string month;      // pnQtParesMes
    std::string monthTotal; // pnTotQtParMes
};

struct PreviousDayTexts {
    std::string production;     // pnQtParesDiaAnt
    std::string cancelled;      // pnQtParCancDiaAnt
    std::string monthCancelled; // pnQtParCancMes
    std::string total;          // pnTotQtParDiaAnt
};

enum class MessageColour { Neutral, Error, Success, Held }; // Held: amber, a scan kept for later

/// One line of the late refusals: a kept scan the database refused once it was back.
struct LateRefusal {
    std::string code;
    std::string time; // the scan's, "dd/MM HH:mm:ss"
    std::string reason;
};

/// Everything the station's logic shows the operator. The message rules (colours, hints, tones,
/// the success switch) are the same for every display and live here; a display only paints.
/// Texts are 8-bit; a display converts them at its edge.
class OperatorDisplay {
public:
    virtual ~OperatorDisplay() = default;

    /// Tones and boxes go through `platform`; the switches are read from `params` at each message.
    void setOutputs(Platform platform, const RuntimeParameters* params);
    const Platform& platform() const { return m_platform; }

    void ShowErrorMessage(const std::string& text);
    void ShowSuccessMessage(const std::string& text);
    void ShowEnquiryError(const std::string& text);
    /// A start-up that cannot finish: an error message, with the alarm unless the parameters were
    /// read and switch it off.
    void ShowStartUpError(const std::string& text);
    void SuccessBeep();
    void ShowWarningBox(const std::string& text);
    void ShowErrorBox(const std::string& text);
    /// The box of an error that ends an event: titled with the application's title.
    void ShowPlatformError(const std::string& text);
    /// Back to the neutral, empty panel (Enter in the scan field).
    void ClearMessage() { showMessage({}, MessageColour::Neutral, false, 0); }
    /// A scan kept for later (no database, or no answer): amber, with its own tone.
    void ShowHeldMessage(const std::string& text);
    /// The alarm of a batch of late refusals, once.
    void LateRefusalAlarm() { play(alarmTones(), ToneKind::Alarm); }

    /// A refusal's message stays in pnMens until its alarm has sounded, however many scans are
    /// handled meanwhile; their messages wait and follow (one that another follows at once is never
    /// painted). The display's clock calls this when asked to through ReleaseMessageAfter; a display
    /// without one has it called at its next message.
    void ReleaseHeldMessage();
    /// Milliseconds of a steady clock; tests give their own.
    void setMonotonicClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

    /// While quiet (kept scans being settled) messages are only remembered: neither painted nor sounded.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    bool quiet() const { return m_quiet; }

    // What a display paints.
    /// `hint`: the panel's hint becomes the text in upper case.
    virtual void paintMessage(const std::string& text, MessageColour colour, bool hint) = 0;
    virtual void paintEnquiryMessage(const std::string& text, MessageColour colour, bool hint) = 0;
    virtual void ShowBoxFields(const BoxFields& fields) = 0;
    virtual void ClearBoxFields() = 0;
    virtual void ShowTicketCount(const std::string& text) = 0; // edTotEtiq
    /// Empties the scan field and gives it the focus. While quiet (kept scans settled in the
    /// background) what the operator is typing stays in it.
    void ClearScanField() { paintScanField(!m_quiet); }
    /// Gives the scan field the focus, emptied first when `empty`.
    virtual void paintScanField(bool empty) = 0;
    virtual void ShowCounters(const CounterTexts& texts) = 0;
    virtual void ShowPreviousDay(const PreviousDayTexts& texts) = 0;
    virtual void ShowClockHeader(const std::string& text) = 0; // pnEsteira
    /// Picture data as stored in the catalogue; data that is no picture leaves the control as it is.
    virtual void ShowProductPicture(const std::string& data) = 0;
    /// The placeholder ("SEM IMAGEM") in place of a picture the catalogue could not give.
    virtual void ShowPlaceholderPicture() {}
    /// The empty text leaves the line hidden.
    virtual void ShowOperatorAndSector(const std::string& text) = 0;
    virtual void ShowStatusBar(const std::string& buildText, const std::string& databaseText) = 0;
    virtual void HideTotals() = 0;
    /// Shows the picture area (with the placeholder picture) or hides it.
    virtual void ShowPictureArea(bool on) = 0;
    /// The side panel of recent entries: 0 collapses it.
    virtual void SetSidePanelWidth(int width) = 0;
    /// The side panel's height in pixels as laid out now (the recent entries it holds follow from it);
    /// the design height unless a display knows better.
    virtual int SidePanelHeight() const { return 579; }
    virtual void ApplyScanModeLayout(bool scanMode, bool sectorMode, bool hideTotals) = 0;
    /// The header panel pnConexao; the empty text hides it.
    virtual void ShowConnectionPanel(const std::string& text) = 0;
    /// Asks for the station's Settle every `ms` milliseconds; 0 stops asking. A display without a clock
    /// of its own leaves settling to the next scan.
    virtual void ProbeEvery(int ms) { (void)ms; }
    /// Asks for ReleaseHeldMessage in `ms` milliseconds (a later request replaces an earlier one).
    virtual void ReleaseMessageAfter(int ms) { (void)ms; }
    /// The list pnRecusasTardias, one line per entry; an empty list hides it.
    virtual void ShowLateRefusals(const std::vector<LateRefusal>& lines) = 0;
    /// Paints what changed now (the counters must be seen at once).
    virtual void Repaint() = 0;

private:
    struct WaitingMessage {
        std::string text;
        MessageColour colour = MessageColour::Neutral;
        bool hint = false;
        std::int64_t heldUntil = 0; // when its tones will have sounded
    };
    static const std::vector<Tone>& alarmTones();
    /// The tones' milliseconds until sounded, 0 when not played.
    int play(const std::vector<Tone>& tones, ToneKind kind);
    /// Paints now, or waits behind a held message; `holdMs`: how long this one is held.
    void showMessage(std::string text, MessageColour colour, bool hint, int holdMs);
    void paintHeld(const WaitingMessage& m, std::int64_t now);
    std::int64_t now() const;
    std::function<std::int64_t()> m_clock;
    std::deque<WaitingMessage> m_waitingMessages;
    std::int64_t m_heldUntil = 0;
    /// False when quiet: nothing is painted or sounded.
    bool say() const { return !m_quiet; }
    Platform m_platform;
    bool m_quiet = false;
    const RuntimeParameters* m_params = nullptr;
};

/// Runs one step of an event entry point: an error is shown in the platform's error box with its
/// own text, never passed on (to Qt least of all). True when the step ran through.
template <class F>
bool guarded(OperatorDisplay& display, F&& step) {
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        display.ShowPlatformError(e.what());
    } catch (...) {
        display.ShowPlatformError("Unexpected error");
    }
    return false;
}

} // namespace vek
