#pragma once

#include "db/Connection.h"
#include "db/Query.h"
#include "station/OperatorDisplay.h"
#include "station/RuntimeParameters.h"
#include "station/StationSettings.h"
#include "util/DateTime.h"

#include <chrono>
#include <optional>
#include <string>

namespace vek {

/// The texts of the station's shared statements, as they are sent.
namespace sql {
extern const char* const kCodCxUn;     // the box row, parameter COD (the enquiry's)
extern const std::string kCodCxUnScan; // sqlCodCxUn: the same row with the server's clock (DATA_SERV)
extern const char* const kQuilbar;     // sqlQuilbar: the write-off of a box not written off yet
extern const char* const kQuilbarEm;   // sqlQuilbarEm: the same at a given time, DTBAIXA
extern const char* const kDataServ;    // sqlDataServ: the server's clock
extern const char* const kDadosSetor;  // sqlDadosSetor: the sector's row, parameter COD_SETOR
} // namespace sql

/// What the station's logic works on: the settings, the runtime parameters, the connections and
/// their start-up state, the statements the subsystems share, and the operator's
/// display. Each subsystem keeps its own statements and state; those here are used by several.
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

    /// The scan's box statement: a scan reads its row once into a value and closes it.
    db::Query sqlCodCxUn;
    db::Query sqlQuilbar;
    db::Query sqlQuilbarEm;
    db::Query sqlDataServ;
    db::Query sqlDadosSetor;

    /// Reads the server's clock; also the anchor of serverTimeEstimate.
    DateTime ReadServerTime();
    /// The server's clock as a statement read it just now (the scan's box look-up does).
    DateTime NoteServerTime(const DateTime& t);
    /// The server's clock now as the station estimates it: the last time read plus the monotonic
    /// time since; before the first read, the machine's clock moved by an offset assumed from an
    /// earlier run; nothing without either.
    std::optional<DateTime> serverTimeEstimate() const;
    /// The server's clock minus the machine's (local time), in ticks, as the last read found it;
    /// else the assumed one.
    std::optional<std::int64_t> serverClockOffset() const;
    /// When the server last answered a reading of its clock (the machine's clock); nothing before.
    std::optional<std::chrono::system_clock::time_point> lastServerAnswer() const { return m_serverAnswered; }
    /// The offset an earlier run found: a station restarted while the server is away still dates
    /// its scans by the server's clock.
    void assumeServerClockOffset(std::int64_t ticks) { m_assumedOffset = ticks; }
    /// Opens the sector's row; it stays open for the caller.
    void OpenSectorData(const std::string& sector);

private:
    std::optional<DateTime> m_serverTimeRead;
    std::chrono::steady_clock::time_point m_serverTimeReadAt;
    std::int64_t m_readOffset = 0; // server minus machine at the last read
    std::optional<std::chrono::system_clock::time_point> m_serverAnswered;
    std::optional<std::int64_t> m_assumedOffset;
};

} // namespace vek
