// The station end to end through the reference access server: the database comes from the server's list.
#include "StationRun.h"
#include "support/TestDb.h"

#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <vector>

using vek::test::conveyorIni;
using vek::test::runStation;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

const char* const kPassword = "s3nha-secreta";

// The reference server on a free port, stopped when the test ends.
class AccessServerProcess {
public:
    AccessServerProcess(const std::string& dir, const std::string& listJson) {
        const std::string listPath = dir + "/companies.json";
        std::ofstream(listPath, std::ios::binary) << listJson;
        m_process.start(QStringLiteral(VEK_ACCESS_SERVER_EXE),
                        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--list"),
                         QString::fromStdString(listPath)});
        if (!m_process.waitForStarted(10000)) return;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        const QString first = QString::fromUtf8(m_process.readLine()).trimmed();
        const auto match = QRegularExpression(QStringLiteral("listening on [^:]+:(\\d+)$")).match(first);
        if (match.hasMatch()) m_port = match.captured(1).toInt();
    }
    ~AccessServerProcess() {
        m_process.kill();
        m_process.waitForFinished();
    }
    AccessServerProcess(const AccessServerProcess&) = delete;
    AccessServerProcess& operator=(const AccessServerProcess&) = delete;

    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

std::string database(int id, const std::string& host, const char* type, const std::string& description) {
    return "{\"id\": " + std::to_string(id) + ", \"host\": \"" + host + "\", \"password\": \"" + kPassword +
           "\", \"type\": \"" + type + "\", \"description\": \"" + description + "\", \"parent\": 0}";
}

std::string company(int code, const std::string& name, const std::string& databases) {
    return "{\"codigo\": " + std::to_string(code) + ", \"nome\": \"" + name + "\", \"bancos\": [" + databases + "]}";
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "[" + std::string.
std::string companies(const std::vector<std::string>& items) {
    std::string list(1, '[');
    for (const std::string& item : items) {
        if (list.size() > 1) list += ", ";
        list += item;
    }
    list += ']';
    return list;
}

std::string accessIni(const std::string& dir, int port) {
    // BDADOS names a database that does not exist: only the server's choice can open one.
    return conveyorIni(dir + "/not-this.fdb", "[VEKSERVER]\r\nHOST=127.0.0.1:" + std::to_string(port) + "\r\n");
}

void expectNoPassword(const vek::test::StationRun& run) {
    for (const QJsonObject& line : run.lines) {
        EXPECT_FALSE(QJsonDocument(line).toJson().contains(kPassword)) << "the password reached the output";
    }
}

class AccessStation : public ::testing::Test {
protected:
    TestDb m_first{Schema::Main};
    TestDb m_second{Schema::Main};
};

TEST_F(AccessStation, OneCompanyOpensItsMainDatabaseWithoutAsking) {
    const AccessServerProcess server(m_first.dir(),
                                     companies({company(1, "Unica", database(1, m_first.path(), "G", "Unica - Producao"))}));
    ASSERT_GT(server.port(), 0);
    const auto run = runStation(m_first.dir(), accessIni(m_first.dir(), server.port()), {QStringLiteral("999999")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines[0]["window"].toString(), QStringLiteral("frmQuilbar"));
    EXPECT_TRUE(run.boxes(0).isEmpty()) << QJsonDocument(run.boxes(0)).toJson().toStdString();
    EXPECT_EQ(run.text(0, "sbQuilbar.1"), QStringLiteral(" BD: ") + QString::fromStdString(m_first.path()));
    // The scan reached the database: an unknown box is refused by it, not by the configuration.
    EXPECT_FALSE(run.text(1, "pnMens").isEmpty());
    EXPECT_NE(run.text(1, "pnMens"), QStringLiteral("Banco de dados nao configurado."));
    expectNoPassword(run);
}

TEST_F(AccessStation, TwoCompaniesLetTheScriptChooseInTheDialog) {
    const AccessServerProcess server(
        m_first.dir(), companies({company(1, "Alfa", database(1, m_first.path(), "G", "Alfa Calcados")),
                                  company(2, "Beta", database(2, m_second.path(), "G", "Beta Calcados"))}));
    ASSERT_GT(server.port(), 0);
    const auto run = runStation(m_first.dir(), accessIni(m_first.dir(), server.port()),
                                {QStringLiteral("<select>cbSelecionarEmpresa=Beta Calcados"),
                                 QStringLiteral("<click>btEntrar")});
    ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines[0]["window"].toString(), QStringLiteral("frmSelecionarBanco"));
    EXPECT_EQ(run.grid(0, "cbSelecionarEmpresa"),
              QJsonArray({QJsonArray{QStringLiteral("Alfa Calcados")}, QJsonArray{QStringLiteral("Beta Calcados")}}));
    EXPECT_FALSE(run.shows(0, "sbQuilbar.1")) << "the main window is not shown before the choice";
    EXPECT_EQ(run.text(1, "cbSelecionarEmpresa"), QStringLiteral("Beta Calcados"));
    EXPECT_EQ(run.lines[2]["window"].toString(), QStringLiteral("frmQuilbar"));
    EXPECT_TRUE(run.boxes(2).isEmpty()) << QJsonDocument(run.boxes(2)).toJson().toStdString();
    EXPECT_EQ(run.text(2, "sbQuilbar.1"), QStringLiteral(" BD: ") + QString::fromStdString(m_second.path()));
    expectNoPassword(run);
}

TEST_F(AccessStation, CancelInTheDialogEndsTheProcessWithZero) {
    const AccessServerProcess server(
        m_first.dir(), companies({company(1, "Alfa", database(1, m_first.path(), "G", "Alfa Calcados")),
                                  company(2, "Beta", database(2, m_second.path(), "G", "Beta Calcados"))}));
    ASSERT_GT(server.port(), 0);
    const auto run = runStation(m_first.dir(), accessIni(m_first.dir(), server.port()),
                                {QStringLiteral("<click>btCancelar"), QStringLiteral("123")});
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    EXPECT_EQ(run.lines[0]["window"].toString(), QStringLiteral("frmSelecionarBanco"));
    EXPECT_EQ(run.lines[1]["input"].toString(), QStringLiteral("<click>btCancelar"));
    EXPECT_TRUE(run.lines[1]["window"].isNull());
    EXPECT_TRUE(run.lines[1]["texts"].toObject().isEmpty());
    EXPECT_TRUE(run.boxes(1).isEmpty());
    expectNoPassword(run);
}

TEST_F(AccessStation, ServerDownShowsTheConnectionFailureAndEndsWithZero) {
    int unused = 0;
    {
        // A port the server listened on a moment ago is free and answers nobody now.
        const AccessServerProcess server(m_first.dir(), "[]");
        unused = server.port();
    }
    ASSERT_GT(unused, 0);
    const auto run = runStation(m_first.dir(), accessIni(m_first.dir(), unused), {QStringLiteral("123")});
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    ASSERT_EQ(run.boxes(0).size(), 1);
    EXPECT_EQ(run.boxes(0)[0].toObject()["title"].toString(), QStringLiteral("Falha ao conectar."));
    EXPECT_TRUE(run.lines[0]["window"].isNull()) << "the window is never shown";
}

} // namespace
