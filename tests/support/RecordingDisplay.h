#pragma once

#include "station/OperatorDisplay.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vek::test {

/// A display that remembers what the station showed, by the names of the screen's widgets; tones
/// and boxes go to the platform given to the station (recorders in tests).
class RecordingDisplay : public OperatorDisplay {
public:
    struct Message {
        std::string text;
        MessageColour colour = MessageColour::Neutral;
    };

    /// Texts by widget name (8-bit): pnMens, pnMsgConsulta, edProd … edTotEtiq, edCodBar ("" once
    /// cleared), pnQtParesDia, pnEsteira, pnFuncSetor, sbQuilbar.0/1 …
    std::map<std::string, std::string> texts;
    MessageColour messageColour = MessageColour::Neutral;
    std::string hint;
    /// Every message painted in pnMens, oldest first.
    std::vector<Message> messages;
    int pictures = 0;     // product pictures shown
    int placeholders = 0; // the placeholder shown for a picture the catalogue could not give
    std::string lastPicture;
    int repaints = 0;
    int sidePanelWidth = -1;
    int sidePanelHeight = 579;
    int probeMs = 0; // how often Settle is asked for; 0: not at all // the design's: five recent entries
    bool pictureArea = false;
    bool totalsHidden = false;
    bool scanModeLayout = false;

    const std::string& text(const std::string& name) { return texts[name]; }

    /// Runs as each message is painted, to look at the station at that moment.
    std::function<void()> onMessage;

    void paintMessage(const std::string& text, MessageColour colour, bool withHint) override {
        if (onMessage) onMessage();
        texts["pnMens"] = text;
        messageColour = colour;
        if (withHint) hint = text;
        messages.push_back({text, colour});
    }
    void paintEnquiryMessage(const std::string& text, MessageColour, bool) override { texts["pnMsgConsulta"] = text; }
    void ShowBoxFields(const BoxFields& f) override {
        texts["edProd"] = f.prod;
        texts["edPad"] = f.pad;
        texts["edTam"] = f.tam;
        texts["edProg"] = f.prog;
        texts["edFicha"] = f.ficha;
    }
    void ClearBoxFields() override {
        for (const char* n : {"edProd", "edPad", "edTam", "edProg", "edFicha", "edTotEtiq"}) texts[n].clear();
    }
    /// Runs after each done/total count is shown (a sub-ticket shows one per box written off).
    std::function<void(const std::string&)> onTicketCount;
    void ShowTicketCount(const std::string& t) override {
        texts["edTotEtiq"] = t;
        if (onTicketCount) onTicketCount(t);
    }
    void paintScanField(bool empty) override {
        if (empty) texts["edCodBar"].clear();
    }
    void ShowCounters(const CounterTexts& t) override {
        texts["pnQtParesDia"] = t.day;
        texts["pnQtParesMes"] = t.month;
        texts["pnTotQtParMes"] = t.monthTotal;
    }
    void ShowPreviousDay(const PreviousDayTexts& t) override {
        texts["pnQtParesDiaAnt"] = t.production;
        texts["pnQtParCancDiaAnt"] = t.cancelled;
        texts["pnQtParCancMes"] = t.monthCancelled;
        texts["pnTotQtParDiaAnt"] = t.total;
    }
    void ShowClockHeader(const std::string& t) override { texts["pnEsteira"] = t; }
    void ShowProductPicture(const std::string& data) override {
        ++pictures;
        lastPicture = data;
    }
    void ShowOperatorAndSector(const std::string& t) override { texts["pnFuncSetor"] = t; }
    void ShowStatusBar(const std::string& a, const std::string& b) override {
        texts["sbQuilbar.0"] = a;
        texts["sbQuilbar.1"] = b;
    }
    void HideTotals() override { totalsHidden = true; }
    void ShowPictureArea(bool on) override { pictureArea = on; }
    void ShowPlaceholderPicture() override { ++placeholders; }
    void SetSidePanelWidth(int w) override { sidePanelWidth = w; }
    int SidePanelHeight() const override { return sidePanelHeight; }
    void ApplyScanModeLayout(bool scanMode, bool, bool) override { scanModeLayout = scanMode; }
    /// pnConexao ("" while hidden) and the lines of pnRecusasTardias (none while hidden).
    void ShowConnectionPanel(const std::string& t) override { texts["pnConexao"] = t; }
    void ProbeEvery(int ms) override { probeMs = ms; }
    std::vector<LateRefusal> lateRefusals;
    void ShowLateRefusals(const std::vector<LateRefusal>& lines) override { lateRefusals = lines; }
    void Repaint() override { ++repaints; }
};

} // namespace vek::test
