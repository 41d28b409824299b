#pragma once

// The scan benchmarks' two windows: the station's own, started on its settings, and one of its
// kind, not started (it sends nothing), that the bare side paints on.
#include "app/TfrmQuilbar.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"

#include <QCoreApplication>
#include <QLineEdit>

#include <string>

namespace vek::bench {

struct ScanWindows {
    explicit ScanWindows(const std::string& ini)
        : station(Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent"),
          bare(Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent") {
        station.FormCreate();
        station.show();
        bare.show();
        QCoreApplication::processEvents();
        scanField = station.findChild<QLineEdit*>(QStringLiteral("edCodBar"));
    }
    ~ScanWindows() {
        station.station().context().sqlCon.close();
        bare.station().context().sqlCon.close();
    }
    ScanWindows(const ScanWindows&) = delete;
    ScanWindows& operator=(const ScanWindows&) = delete;

    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    TfrmQuilbar station;
    TfrmQuilbar bare;
    QLineEdit* scanField = nullptr;
};

} // namespace vek::bench
