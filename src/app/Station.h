#pragma once

#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"

#include <memory>
#include <string>

namespace vek {

class AccessClient;

/// The station below its window: start-up, the scan and the clock on the station context. Its
/// entry points never throw: an error is shown in the platform's error box through the display.
class Station {
public:
    /// `access` is the process's access server client (not owned); without one the station behaves
    /// as if the access server could not be reached.
    Station(OperatorDisplay& display, Platform platform, std::string settingsPath, std::string executablePath,
            AccessClient* access = nullptr);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    /// The start-up sequence.
    void FormCreate();
    /// Enter in the scan field with `text`.
    void ScanCode(const std::string& text);
    /// The one-minute clock.
    void ClockTick();
    /// Loads the counters and the hourly grid (the loader of the station's mode). Raises.
    void reloadCounters() { m_monitor.reloadCounters(); }

    StationContext& context() { return m_ctx; }
    const StationContext& context() const { return m_ctx; }
    ProductionMonitor& monitor() { return m_monitor; }
    UnitBoxScan& scan() { return m_scan; }

private:
    template <class F>
    bool guarded(F&& step);
    void startUp();
    /// False when the process is to end.
    bool chooseDatabase(std::string& password);
    void ShowOperatorAndSector();
    void showStatusBar();

    Platform m_platform;
    std::string m_settingsPath;
    std::string m_executablePath;
    AccessClient* m_access;
    std::unique_ptr<AccessClient> m_ownAccess;
    StationContext m_ctx;
    ProductionMonitor m_monitor;
    ProductPictures m_pictures;
    UnitBoxScan m_scan;
};

} // namespace vek
