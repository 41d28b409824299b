#include "scan/ScanOutcome.h"

#include "monitoring/ProductionMonitor.h"

namespace vek {

void showBooked(OperatorDisplay& display, ProductionMonitor& monitor, const std::optional<std::string>& ticketCount,
                const std::string& message) {
    monitor.ShowCounterTexts();
    if (ticketCount) {
        display.ShowTicketCount(*ticketCount);
    }
    display.ShowSuccessMessage(message);
    display.Repaint(); // the counters at once, with the message: one paint per scan
}

} // namespace vek
