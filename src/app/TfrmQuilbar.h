#pragma once

#include "app/Platform.h"
#include "app/RuntimeParameters.h"
#include "app/StationSettings.h"
#include "db/Connection.h"
#include "db/MemTable.h"
#include "db/Query.h"
#include "util/DateTime.h"

#include <QImage>
#include <QWidget>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QFrame;
class QStatusBar;
class QTableView;
class QTimer;

namespace vek {

namespace db {
class TableModel;
}
class AccessClient;

/// The station's main window: start-up, the scan field, the counters and the operator messages.
class TfrmQuilbar : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kApplicationTitle = "VEK - Atualizacao de Etiquetas";

    TfrmQuilbar(Platform platform, std::string settingsPath, std::string executablePath, QWidget* parent = nullptr);
    ~TfrmQuilbar() override;

    /// The start-up sequence; errors are shown, never thrown.
    void FormCreate();
    /// The one-minute clock; also run by the script mode's <tick>. Errors are shown, never thrown.
    void ClockTick();
    /// Loads the counters and the hourly grid from the database (the loader of the station's mode).
    void reloadCounters();

    /// Splits a totals row into two halves of its client width (the left one gets the smaller).
    static void SplitTotalsRow(QWidget* row, QWidget* left, QWidget* right);

    // State, for the station's own tests.
    const StationSettings& settings() const { return m_settings; }
    const RuntimeParameters& parameters() const { return m_params; }
    bool imagesOn() const { return m_imagesOn; }
    bool accessDbOn() const { return m_accessDbOn; }
    bool ready() const { return m_ready; }
    int dayCount() const { return m_dayCount; }
    int monthCount() const { return m_monthCount; }
    int monthCancelledCount() const { return m_monthCancelledCount; }
    db::Connection& sqlCon() { return m_sqlCon; }
    db::Connection& sqlConCat() { return m_sqlConCat; }
    db::Connection& sqlConAcesso() { return m_sqlConAcesso; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildUi();
    /// Runs one step of an event entry point; an error is shown, never passed on to Qt.
    template <class F>
    bool guarded(F&& step);
    void startUp();
    void clockTick();
    void ApplyScanModeLayout();
    void ShowOperatorAndSector();
    void FormResize();

    // The scan.
    void edCodBarEnter();
    void scanCode();
    void runPendingCodes();
    void ProcessScan();
    void RefreshCountersIfDue();
    DateTime ReadServerTime();
    void OpenSectorData(const std::string& sector);
    bool ValidateUnitBoxInSector();
    void clearDisplayFields();
    void writeOff(double code);
    void readStatusCounts(db::Query& query);

    // Ticket counts and sector records.
    void CountTicketBoxes(const std::string& prog, const std::string& ficha);
    void CountTicketBoxesInSector(const std::string& prog, const std::string& ficha, const std::string& sector);
    void RecordTicketCompletion(const std::string& prog, const std::string& ficha, const std::string& subTicket,
                                const std::string& product);
    int RecordUnitBoxSectorUpdate(const std::string& prog, const std::string& ficha, const std::string& subTicket,
                                  int boxCode);
    void NotifyDashboard(int id);
    void PostStockMovement(double code, const DateTime& serverTime);
    void PostProductionStockEntry(std::int64_t code);
    void ProcessSubTicket(const std::string& code);

    // Counters.
    void LoadConveyorCounters();
    void LoadSectorCounters();
    void loadCounters(bool sector);
    void AddHourlyWriteOff(const DateTime& t);
    void ShowCounters();

    // Pictures.
    std::string LookupThumbnail(const std::string& product, const std::string& pattern);
    void ShowPicture(QLabel* control, const std::string& data);
    QImage CopyPictureAsJpeg(QLabel* control);

public:
    // Operator messages and boxes.
    void ShowErrorMessage(const QString& text);
    void ShowSuccessMessage(const QString& text);
    void ShowEnquiryError(const QString& text);
    void SuccessBeep();
    void ShowWarningBox(const QString& text);
    void ShowErrorBox(const QString& text);
    /// What the platform shows for an error that reaches the event loop.
    void showPlatformError(const std::exception& e);

private:
    Platform m_platform;
    std::string m_settingsPath;
    std::string m_executablePath;
    StationSettings m_settings;
    RuntimeParameters m_params;

    db::Connection m_sqlCon;
    db::Connection m_sqlConCat;
    db::Connection m_sqlConAcesso;
    db::Query sqlCodCxUn;
    db::Query sqlQuilbar;
    db::Query sqlDataServ;
    db::Query sqlDadosSetor;
    db::Query sqlTotPar;
    db::Query sqlTotParUnit;
    db::Query sqlEmpresa;
    db::Query sqlFunc;
    db::Query sqlSetor;
    db::Query sqlPesqEtiqProgFicha;
    db::Query sqlPesqEtiqProgFichaSetor;
    db::Query sqlImgProd;

    bool m_configured = false; // the database settings passed the start-up checks
    QString m_configProblem;   // the start-up check that failed
    bool m_ready = false;      // every start-up step ran
    bool m_imagesOn = false;
    bool m_accessDbOn = false;
    bool m_hideTotals = false; // company rule
    bool m_scanning = false;
    bool m_startingUp = false;
    std::deque<QString> m_pendingCodes; // codes that arrived while a scan or start-up ran

    int m_dayCount = 0;
    int m_monthCount = 0;
    int m_monthCancelledCount = 0;
    int m_countDone = 0;
    int m_countPending = 0;
    DateTime m_lastClockTime;
    std::string m_lastClockTimeText;
    qint64 m_lastCounterRefresh = 0; // local clock, ms since the epoch; 0 = never
    QImage m_placeholderPicture;
    std::string m_cdsImgProd; // the picture of the last looked-up product

    // Widgets (owned by the window through Qt parents).
    QFrame* pnLeft = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* pnEsteira = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edCodBar = nullptr;
    QFrame* pnDadosEtiq = nullptr;
    QLabel* lbProd = nullptr;
    QLineEdit* edProd = nullptr;
    QLabel* lbPad = nullptr;
    QLineEdit* edPad = nullptr;
    QLabel* lbTam = nullptr;
    QLineEdit* edTam = nullptr;
    QLabel* lbTotEtiq = nullptr;
    QLineEdit* edTotEtiq = nullptr;
    QLabel* lbProg = nullptr;
    QLineEdit* edProg = nullptr;
    QLabel* lbFicha = nullptr;
    QLineEdit* edFicha = nullptr;
    QLabel* imgProdAtu = nullptr;
    QLabel* imgProduto = nullptr;
    QFrame* Panel3 = nullptr;
    QLabel* pnProducaoDia = nullptr;
    QLabel* pnQtParesDia = nullptr;
    QFrame* pnTotal = nullptr;
    QLabel* pnQtParesDiaAnt = nullptr;
    QLabel* pnQtParesMes = nullptr;
    QFrame* pnTotCancelado = nullptr;
    QLabel* pnQtParCancDiaAnt = nullptr;
    QLabel* pnQtParCancMes = nullptr;
    QFrame* pnTotGeral = nullptr;
    QLabel* pnTotQtParDiaAnt = nullptr;
    QLabel* pnTotQtParMes = nullptr;
    QLabel* pnFuncSetor = nullptr;
    QLabel* pnConsultaEtiq = nullptr;
    QTableView* dbgProducaoHora = nullptr;
    QFrame* pnlUltAtu = nullptr;
    QLabel* pnMens = nullptr;
    QStatusBar* sbQuilbar = nullptr;
    QLabel* sbPanel0 = nullptr;
    QLabel* sbPanel1 = nullptr;
    QTimer* Timer1 = nullptr;
    db::MemTable cdsProdHora{"cdsProdHora"};
    db::TableModel* m_hourlyGrid = nullptr;
};

} // namespace vek
