// The server program itself, as an installation runs it.
#include "access/TVEKConnection.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace vek::access;

namespace {

struct ServerProcess {
    QTemporaryDir dir;
    QProcess process;
    int port = 0;

    bool start(const std::string& listText, QStringList extra = {}) {
        const QString list = dir.filePath("empresas.json");
        std::ofstream(list.toStdString(), std::ios::binary) << listText;
        process.setProgram(VEK_ACCESS_SERVER_PATH);
        process.setArguments(QStringList{"--port", "0", "--list", list} + extra);
        process.start();
        if (!process.waitForStarted(5000)) return false;
        // The first line names the port it found.
        while (process.state() == QProcess::Running && !process.canReadLine()) process.waitForReadyRead(100);
        const QString line = QString::fromUtf8(process.readLine());
        const QRegularExpressionMatch match = QRegularExpression(":(\\d+)\\s*$").match(line);
        if (!match.hasMatch()) return false;
        port = match.captured(1).toInt();
        return true;
    }
    int finish() {
        process.waitForFinished(5000);
        return process.exitCode();
    }
    ~ServerProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

} // namespace

TEST(AccessServerProcess, ServesTheListFileToTheClient) {
    for (const char* offset : {"", "4093"}) {
        SCOPED_TRACE(offset);
        ServerProcess server;
        ASSERT_TRUE(server.start(R"([{"codigo":3,"nome":"Uma","bancos":[
            {"id":1,"host":"srv:/a.fdb","password":"segredo","type":"G","description":"A","parent":0}]}])",
                                 *offset ? QStringList{"--offset", offset} : QStringList{}));
        TVEKConnection client;
        client.setHost("127.0.0.1:" + std::to_string(server.port));
        client.LoadDatabaseList();
        ASSERT_EQ(client.CompanyCount(), 1);
        EXPECT_EQ(client.Company(0).databases.at(0)->password, "segredo");
    }
}

TEST(AccessServerProcess, RefusesABrokenListWithoutShowingIt) {
    const struct {
        const char* name;
        std::string text;
        QStringList args;
    } cases[] = {
        {"not JSON", "{\"password\":\"segredo\"", {}},
        {"a company without bancos", R"([{"codigo":1,"nome":"segredo"}])", {}},
        {"offset outside the table", "[]", {"--offset", "4096"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerProcess server;
        EXPECT_FALSE(server.start(c.text, c.args));
        EXPECT_NE(server.finish(), 0);
        EXPECT_FALSE(server.process.readAllStandardError().contains("segredo"));
    }
}
