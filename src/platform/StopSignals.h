#pragma once

namespace vek {

/// SIGTERM and SIGINT (a log-off, a shutdown, a kiosk supervisor) close every window as their close
/// buttons would, so the event loop returns and the station's destructors run: connections detached,
/// queued notifications given their time, threads joined. Modal boxes and dialogs open at that
/// moment are closed first. Should the close take longer than a few seconds, the process ends
/// anyway, with exit code 1.
///
/// The signals are taken by the event loop, never by a handler that interrupts a thread: the
/// database client's threads must not be cut short in their waits. So `blockStopSignals` comes first
/// in main, before any thread exists (threads inherit the blocked set), and `closeOnStopSignals`
/// once the application object exists.
void blockStopSignals();
void closeOnStopSignals();

/// True once a stop signal arrived: nothing modal may be opened any more, and a start-up that was
/// under way when it came must not go on to show the window.
bool stopRequested();

} // namespace vek
