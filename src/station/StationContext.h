#pragma once

#include "db/Connection.h"
#include "db/MemTable.h"
#include "db/Query.h"
#include "station/OperatorDisplay.h"
#include "station/RuntimeParameters.h"
#include "station/StationSettings.h"
#include "stock/TdmEstoqueProducao.h"
#include "util/DateTime.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <memory>
#include <string>

namespace vek {

namespace auditlog {
class TdmLog;
}

/// The texts of the station's shared statements, as they are sent.
namespace sql {
extern const char* const kCodCxUn;    // sqlCodCxUn: the box row, parameter COD
extern const char* const kQuilbar;    // sqlQuilbar: the write-off of a box not written off yet
extern const char* const kQuilbarEm;  // sqlQuilbarEm: the same at a given time, DTBAIXA
extern const char* const kDataServ;   // sqlDataServ: the server's clock
extern const char* const kDadosSetor; // sqlDadosSetor: the sector's row, parameter COD_SETOR
} // namespace sql

/// What the station's logic works on: the settings, the runtime parameters, the connections, the
/// window state shared by the subsystems, the statements they share, and the operator's display.
/// Each subsystem keeps its own statements; those here are used by several of them.
class StationContext {
public:
    explicit StationContext(OperatorDisplay& display);
    ~StationContext();
    StationContext(const StationContext&) = delete;
    StationContext& operator=(const StationContext&) = delete;

    OperatorDisplay& display;
    StationSettings settings;
    RuntimeParameters params;

    // Declared before the statements, which must go first.
    db::Connection sqlCon;
    db::Connection sqlConCat;
    db::Connection sqlConAcesso;

    bool configured = false;   // the database settings passed the start-up checks
    std::string configProblem; // the start-up check that failed
    bool ready = false;        // every start-up step ran
    bool ImagesOn = false;
    bool AccessDbOn = false;
    bool hideTotals = false; // company rule

    int DayCount = 0;
    int MonthCount = 0;
    int MonthCancelledCount = 0;
    int CountDone = 0;
    int CountPending = 0;
    DateTime LastClockTime;
    std::string LastClockTimeText;
    std::int64_t LastCounterRefresh = 0; // local clock, ms since the epoch; 0 = never

    /// Today's production per hour, shown by the hourly grid.
    db::MemTable cdsProdHora{"cdsProdHora"};
    /// The picture of the last looked-up product.
    std::string cdsImgProd;

    /// The scan's box statement: a scan reads its row once into a value and closes it.
    db::Query sqlCodCxUn;
    db::Query sqlQuilbar;
    db::Query sqlQuilbarEm;
    db::Query sqlDataServ;
    db::Query sqlDadosSetor;

    /// The production stock module, created by the first booking and kept for the window's life.
    std::unique_ptr<stock::TdmEstoqueProducao> dmEstoqueProducao;

private:
    std::unique_ptr<auditlog::TdmLog> m_dmLog;
    std::optional<DateTime> m_serverTimeRead;
    std::chrono::steady_clock::time_point m_serverTimeReadAt;

public:
    /// The audit-log module, created on first use (user "QUILBAR") and kept.
    auditlog::TdmLog& dmLog();

    /// Reads the server's clock; also the anchor of serverTimeEstimate.
    DateTime ReadServerTime();
    /// The server's clock now as the station estimates it: the last time read plus the monotonic
    /// time since. Nothing before the first read.
    std::optional<DateTime> serverTimeEstimate() const;
    /// A kept scan being settled: the time its records take instead of the clock's.
    std::optional<DateTime> settlingTime;
    /// The time a sector record of this scan takes: the kept scan's, else the last clock tick's.
    DateTime recordTime() const { return settlingTime ? *settlingTime : LastClockTime; }
    /// Opens the sector's row; it stays open for the caller.
    void OpenSectorData(const std::string& sector);
    /// "done/total" of the last count, as `edTotEtiq` shows it.
    std::string ticketCountText() const;
};

} // namespace vek
