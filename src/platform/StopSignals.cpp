#include "platform/StopSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace vek {

namespace {

std::atomic<bool> g_stop{false};
int g_signalFd = -1;

constexpr std::chrono::milliseconds kGrace{2800};

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

void closeEverything() {
    g_stop = true;
    // A destructor that hangs (a device, a server) must not keep a stopping station alive.
    std::thread([] {
        std::this_thread::sleep_for(kGrace);
        static const char said[] = "vek-station: not closed in time after a stop signal\n";
        [[maybe_unused]] const auto n = ::write(STDERR_FILENO, said, sizeof said - 1);
        std::_Exit(1);
    }).detach();
    // Boxes and dialogs first, innermost first: their own loops end, and the window behind them can
    // then close.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) break;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        if (QApplication::activeModalWidget() == modal) break; // it refused
    }
    QApplication::closeAllWindows();
    // Ends the main loop and every loop nested in it; before the main loop runs, main() sees
    // stopRequested() instead.
    QCoreApplication::quit();
}

} // namespace

bool stopRequested() {
    return g_stop;
}

void blockStopSignals() {
    const sigset_t set = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void closeOnStopSignals() {
    if (g_signalFd >= 0) {
        return;
    }
    const sigset_t set = stopSignals();
    g_signalFd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (g_signalFd < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalFd, QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [notifier] {
        signalfd_siginfo info{};
        [[maybe_unused]] const auto n = ::read(g_signalFd, &info, sizeof info);
        notifier->setEnabled(false);
        closeEverything();
    });
}

} // namespace vek
