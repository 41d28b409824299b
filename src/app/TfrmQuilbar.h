#pragma once

#include "app/JournalPanels.h"
#include "app/Station.h"
#include "station/OperatorDisplay.h"
#include "station/Platform.h"
#include "widgets/DesignScale.h"
#include "widgets/TQXImageList.h"

#include <QImage>
#include <QWidget>

#include <deque>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QFrame;
class QStatusBar;
class QTableView;
class QListView;
class QTimer;

namespace vek {

namespace db {
class TableModel;
} // namespace db
class AccessClient;
namespace enquiry {
class TEnquiryPanel;
}

/// The station's main window: the screen of the station core. It builds the widgets, turns keys
/// and the timer into calls of the core, and paints what the core shows.
class TfrmQuilbar : public QWidget, public OperatorDisplay {
    Q_OBJECT

public:
    static constexpr const char* kApplicationTitle = vek::kApplicationTitle;

    TfrmQuilbar(Platform platform, std::string settingsPath, std::string executablePath, AccessClient* access = nullptr,
                QWidget* parent = nullptr);
    ~TfrmQuilbar() override;

    /// The start-up sequence; errors are shown, never thrown.
    void FormCreate();
    /// The one-minute clock; also run by the script mode's <tick>. Errors are shown, never thrown.
    void ClockTick();
    /// Loads the counters and the hourly grid from the database. Raises.
    void reloadCounters() { m_station.reloadCounters(); }

    /// Splits a totals row into two halves of its client width (the left one gets the smaller).
    static void SplitTotalsRow(QWidget* row, QWidget* left, QWidget* right);

    Station& station() { return m_station; }

    /// The suite's standard action pictures; no control of the station uses them.
    widgets::TQXImageList imPadrao;

    // OperatorDisplay.
    void paintMessage(const std::string& text, MessageColour colour, bool hint) override;
    void paintEnquiryMessage(const std::string& text, MessageColour colour, bool hint) override;
    void ShowBoxFields(const BoxFields& fields) override;
    void ClearBoxFields() override;
    void ShowTicketCount(const std::string& text) override;
    void paintScanField(bool empty) override;
    void ShowCounters(const CounterTexts& texts) override;
    void ShowPreviousDay(const PreviousDayTexts& texts) override;
    void ShowClockHeader(const std::string& text) override;
    void ShowProductPicture(const std::string& data) override;
    void ShowOperatorAndSector(const std::string& text) override;
    void ShowStatusBar(const std::string& buildText, const std::string& databaseText) override;
    void HideTotals() override;
    void ShowPlaceholderPicture() override;
    void ShowPictureArea(bool on) override;
    void SetSidePanelWidth(int width) override;
    int SidePanelHeight() const override;
    void ApplyScanModeLayout(bool scanMode, bool sectorMode, bool hideTotals) override;
    void ShowConnectionPanel(const std::string& text) override;
    void ProbeEvery(int ms) override;
    void ReleaseMessageAfter(int ms) override;
    void ShowLateRefusals(const std::vector<LateRefusal>& lines) override;
    void Repaint() override;

    /// Settles the kept scans now, as the probe does (the script's <settle>). Errors are shown.
    void SettleKeptScans();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    /// The feed's listener stops with the window.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    /// Runs one step of an event entry point; an error is shown, never passed on to Qt.
    template <class F>
    void guarded(F&& step);
    void FormResize();
    /// The picture beside the label data, never over a field.
    void placePicture();
    /// The design size of what the window shows now: the side panel's width and the visible rows count.
    QSize designSize() const;
    /// Scales the window's design to its screen (never above the design) and keeps it within the screen.
    void fitToScreen();
    /// The same once the calls of this turn of the event loop are through.
    void scheduleFit();
    void edCodBarEnter();
    /// F1 in the scan field (sector mode): the label enquiry panel, modal.
    void openEnquiry();
    /// The next code that waited for a scan to end, in the field while it is scanned.
    void runWaitingCode();
    /// Codes wait for the next turn of the event loop once nothing runs.
    void scheduleWaitingCodes();
    static QImage CopyPictureAsJpeg(QLabel* control);

    Station m_station;
    bool m_scanModeLayout = false;
    widgets::DesignScale m_scale; // the design's sizes and fonts, shown at the factor that fits the screen
    int m_sideDesignWidth = 100;
    bool m_followsScreen = false;
    bool m_fitPending = false;
    QImage m_placeholderPicture;
    std::string m_shownPicture;                       // the bytes imgProdAtu shows, or was last given
    enquiry::TEnquiryPanel* m_enquiryPanel = nullptr; // while the enquiry panel is open

    // Widgets (owned by the window through Qt parents).
    QFrame* pnLeft = nullptr;
    QFrame* Panel1 = nullptr;
    widgets::FitLabel* pnEsteira = nullptr;
    widgets::FitLabel* Label1 = nullptr;
    QLineEdit* edCodBar = nullptr;
    QFrame* pnDadosEtiq = nullptr;
    widgets::FitLabel* lbProd = nullptr;
    widgets::FitLineEdit* edProd = nullptr;
    widgets::FitLabel* lbPad = nullptr;
    widgets::FitLineEdit* edPad = nullptr;
    widgets::FitLabel* lbTam = nullptr;
    widgets::FitLineEdit* edTam = nullptr;
    widgets::FitLabel* lbTotEtiq = nullptr;
    widgets::FitLineEdit* edTotEtiq = nullptr;
    widgets::FitLabel* lbProg = nullptr;
    widgets::FitLineEdit* edProg = nullptr;
    widgets::FitLabel* lbFicha = nullptr;
    widgets::FitLineEdit* edFicha = nullptr;
    widgets::PictureLabel* imgProdAtu = nullptr;
    QLabel* imgProduto = nullptr;
    QFrame* Panel3 = nullptr;
    widgets::FitLabel* pnProducaoDia = nullptr;
    widgets::FitLabel* pnQtParesDia = nullptr;
    QFrame* pnTotal = nullptr;
    widgets::FitLabel* pnQtParesDiaAnt = nullptr;
    widgets::FitLabel* pnQtParesMes = nullptr;
    QFrame* pnTotCancelado = nullptr;
    widgets::FitLabel* pnQtParCancDiaAnt = nullptr;
    widgets::FitLabel* pnQtParCancMes = nullptr;
    QFrame* pnTotGeral = nullptr;
    widgets::FitLabel* pnTotQtParDiaAnt = nullptr;
    widgets::FitLabel* pnTotQtParMes = nullptr;
    widgets::FitLabel* pnFuncSetor = nullptr;
    widgets::FitLabel* pnConsultaEtiq = nullptr;
    QTableView* dbgProducaoHora = nullptr;
    QFrame* pnlUltAtu = nullptr;
    widgets::FitLabel* pnMens = nullptr;
    QStatusBar* sbQuilbar = nullptr;
    QLabel* sbPanel0 = nullptr;
    QLabel* sbPanel1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* m_probe = nullptr;       // every 5 s while scans are kept
    QTimer* m_messageHold = nullptr; // a refusal's message until its alarm has sounded
    std::unique_ptr<JournalPanels> m_journalPanels;
    db::TableModel* m_hourlyGrid = nullptr;
    QListView* dbcgUltEnt = nullptr; // recent entries, one panel each
};

} // namespace vek
