#include "scan/DashboardNotifier.h"

namespace vek {

void DashboardNotifier::NotifyDashboard(int) {
    // The dashboard notification is not part of this station build yet.
}

} // namespace vek
