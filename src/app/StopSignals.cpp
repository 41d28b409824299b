#include "app/StopSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vek {

namespace {

int g_pipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void onStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &c, 1);
}

constexpr std::chrono::milliseconds kGrace{2800};

} // namespace

void closeOnStopSignals() {
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [notifier] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_pipe[0], &c, 1);
        notifier->setEnabled(false);
        // A destructor that hangs (a device, a server) must not keep a stopping station alive.
        std::thread([] {
            std::this_thread::sleep_for(kGrace);
            std::_Exit(0);
        }).detach();
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

} // namespace vek
