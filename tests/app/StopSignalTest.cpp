// The operating system's stop signals end a running station cleanly and soon.
#include "support/FreePort.h"
#include "support/TestDb.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using vek::test::Schema;
using vek::test::TestDb;

namespace {

// Starts the station on `settings`, lets it run, sends `sig` and expects a clean end: the window
// closed through the event loop, not the watchdog that ends a station whose close hangs.
void expectCleanStop(const std::string& settings, int sig) {
    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    station.setProcessEnvironment(env);
    station.start(QStringLiteral(VEK_STATION_EXE), {QStringLiteral("--settings"), QString::fromStdString(settings)});
    ASSERT_TRUE(station.waitForStarted(10000));
    // Running (or waiting on its box): it does not end by itself.
    EXPECT_FALSE(station.waitForFinished(1500));
    ::kill(static_cast<pid_t>(station.processId()), sig);
    // The station's own bound is under 3 s; the wait allows for a loaded machine.
    ASSERT_TRUE(station.waitForFinished(6000));
    const std::string said = station.readAllStandardError().toStdString();
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit) << said;
    EXPECT_EQ(station.exitCode(), 0) << said;
    EXPECT_EQ(said.find("not closed in time"), std::string::npos) << said;
}

TEST(StopSignals, TermAndIntCloseARunningStationWithItsFeed) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        TestDb db(Schema::Main);
        const std::string ini = db.dir() + "/station.INI";
        std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n"
                           << "PORTA_UDP_ULT_ENTRADA=" << vek::test::freePort(SOCK_DGRAM) << "\n";
        expectCleanStop(ini, sig);
    }
}

TEST(StopSignals, AStationWaitingOnABoxAtStartUpStopsToo) {
    // Not configured: start-up waits on its error box, before the window is shown.
    TestDb db(Schema::Main);
    const std::string ini = db.dir() + "/station.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nEXIBIR_IMG_PRODUTO=N\n";
    expectCleanStop(ini, SIGTERM);
}

} // namespace
