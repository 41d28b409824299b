#pragma once

#include "station/OperatorDisplay.h"

#include <optional>
#include <string>

namespace vek {

class ProductionMonitor;

/// What became of one scan, as the scan itself tells it; the scan journal records it.
enum class ScanResult {
    Booked,  // written off or recorded, and told as a success
    Refused, // a rule of the scan refused it; nothing of it was written
    Kept,    // no database: kept to be settled once it is back
    InDoubt, // the answer was lost: kept until the database tells what became of it
    Failed,  // an error ended it; nothing of it was written
};

struct ScanOutcome {
    ScanResult result = ScanResult::Refused;
    std::string message; // 8-bit: what the operator was shown (or would be, while settling quietly)
    int boxes = 0;       // boxes this scan wrote off (or, in sector mode, recorded)

    static ScanOutcome booked(std::string message, int boxes) {
        return {ScanResult::Booked, std::move(message), boxes};
    }
    static ScanOutcome refused(std::string message) { return {ScanResult::Refused, std::move(message), 0}; }
};

/// A booking told: the counters, done/total when the scan has one, the success message, and one
/// paint of them all at the scan's end.
void showBooked(OperatorDisplay& display, ProductionMonitor& monitor, const std::optional<std::string>& ticketCount,
                const std::string& message);

/// A refusal: shown in red with the alarm, and told as the scan's outcome.
inline ScanOutcome refuse(OperatorDisplay& display, const std::string& message) {
    display.ShowErrorMessage(message);
    return ScanOutcome::refused(message);
}

} // namespace vek
