#pragma once

namespace vek {

/// SIGTERM and SIGINT (a log-off, a shutdown, a kiosk supervisor) close every window as their close
/// buttons would, so the event loop returns and the station's destructors run: connections detached,
/// queued notifications given their time, threads joined. Should that take longer than a few
/// seconds, the process ends anyway. Call once, after the application object exists.
void closeOnStopSignals();

} // namespace vek
