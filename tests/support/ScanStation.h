#pragma once

// One station's scan classes on a test database, without a window: what a scan shows goes to a
// recording display, its tones and boxes to recorders.
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/StationModules.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"

#include <string>

namespace vek::test {

/// A test database made before the station that uses it (a base of the rigs, listed first).
struct WithTestDb {
    TestDb db{Schema::Main};
};

/// A configured conveyor station "01" on `database` (through a server: with its `password`),
/// pictures off, the success message on and the clock read; tests change settings and switches
/// before they scan.
class ScanStation {
public:
    explicit ScanStation(const std::string& database, const std::string& password = {}) {
        display.setOutputs(Platform{&tones, &boxes, {}}, &ctx.params);
        ctx.settings.BDADOS = database;
        ctx.settings.CODESTEIRA = "01";
        // Assigned as a string: GCC 12 warns falsely (-Wrestrict) on the literal once this is inlined.
        ctx.settings.EXIBIR_IMG_PRODUTO = std::string("N");
        ctx.sqlCon.setDatabase(database);
        ctx.sqlCon.setPassword(password);
        ctx.configured = true;
        ctx.params.read = true; // as a started station's
        ctx.params.MSG_CONLUSAO = true;
        monitor.ClockTick();
    }
    ~ScanStation() { ctx.sqlCon.close(); }
    ScanStation(const ScanStation&) = delete;
    ScanStation& operator=(const ScanStation&) = delete;

    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    StationContext ctx{display};
    ProductionMonitor monitor{ctx};
    ProductPictures pictures{ctx.sqlConCat};
    StationModules modules{ctx.sqlCon};
    UnitBoxScan scan{ctx, monitor, pictures, modules};
};

} // namespace vek::test
