// The operating system's stop signals end a running station cleanly and soon.
#include "support/TestDb.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

using vek::test::Schema;
using vek::test::TestDb;

namespace {

TEST(StopSignals, TermAndIntCloseARunningStation) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        TestDb db(Schema::Main);
        const std::string ini = db.dir() + "/station.INI";
        std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n";
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        station.setProcessEnvironment(env);
        station.start(QStringLiteral(VEK_STATION_EXE), {QStringLiteral("--settings"), QString::fromStdString(ini)});
        ASSERT_TRUE(station.waitForStarted(10000));
        // Running: it does not end by itself.
        EXPECT_FALSE(station.waitForFinished(1500));
        ::kill(static_cast<pid_t>(station.processId()), sig);
        // The station's own bound is under 3 s; the wait allows for a loaded machine.
        ASSERT_TRUE(station.waitForFinished(6000));
        EXPECT_EQ(station.exitStatus(), QProcess::NormalExit) << station.readAllStandardError().toStdString();
        EXPECT_EQ(station.exitCode(), 0);
    }
}

} // namespace
