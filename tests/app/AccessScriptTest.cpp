// The station end to end through the reference access server: the database comes from the server's list.
#include "StationRun.h"
#include "db/Query.h"
#include "support/FreePort.h"
#include "support/TestDb.h"

#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <vector>

using vek::test::conveyorIni;
using vek::test::runStation;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

// The settings' key gives this password, which the test server refuses: a database opens only with
// the password of the server's entry.
const char* const kKeyPassword = "cobaltrim";

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
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {}
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
    return "{\"id\": " + std::to_string(id) + ", \"host\": \"" + host + "\", \"password\": \"" +
           vek::test::serverPassword() + "\", \"type\": \"" + type + "\", \"description\": \"" + description +
           "\", \"parent\": 0}";
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
    // BDADOS names a database that does not exist and CHAVE a wrong password: only the server's
    // entry can open one. The feed shows whether the catalogue is open (an entry with its picture).
    return conveyorIni(dir + "/not-this.fdb",
                       "CHAVE=1\r\nPORTA_UDP_ULT_ENTRADA=" + std::to_string(vek::test::freePort(SOCK_DGRAM)) +
                           "\r\n[VEKSERVER]\r\nHOST=127.0.0.1:" + std::to_string(port) + "\r\n");
}

// Neither the entries' password nor the key's reaches standard output or standard error.
void expectNoPassword(const vek::test::StationRun& run) {
    for (const std::string& password : {vek::test::serverPassword(), std::string(kKeyPassword)}) {
        SCOPED_TRACE(password);
        for (const QJsonObject& line : run.lines) {
            EXPECT_FALSE(QJsonDocument(line).toJson().contains(password.c_str())) << "the password reached the output";
        }
        EXPECT_FALSE(run.errors.contains(QString::fromStdString(password))) << "the password reached standard error";
    }
}

const QString kAnnounced = QStringLiteral(R"(<datagram>{"prog":"000123","ficha":"0001"})");

// The picture column of the feed's newest entry: "picture" only when the catalogue is open.
QString newestPicture(const vek::test::StationRun& run, std::size_t line) {
    return run.grid(line, "dbcgUltEnt").at(0).toArray().at(7).toString();
}

// Main databases that know the announced ticket, and a catalogue with its product's picture; all
// reached through the test server.
class AccessStation : public ::testing::Test {
protected:
    AccessStation() {
        for (const TestDb* db : {&m_first, &m_second}) {
            db->exec("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT) values "
                     "('00000001', '001', 'P100', '00001', '000123', '0001')");
            db->exec("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS) values "
                     "(1, '000123', '0001', '0000', '10', 12)");
        }
        QImage img(8, 8, QImage::Format_RGB32);
        img.fill(Qt::blue);
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        auto c = m_cat.connect();
        vek::db::Query q(*c);
        q.setSql("insert into PADRONIZ_PRODUTO (PRODUTO_PP, PADRONIZ_PP, THUMBM_PP) values ('P100', '00001', :M)");
        q.param("M").setBlob(png.toStdString());
        q.execSql();
    }

    TestDb m_first{Schema::Main};
    TestDb m_second{Schema::Main};
    TestDb m_cat{Schema::Catalogue};
};

TEST_F(AccessStation, OneCompanyOpensItsMainDatabaseWithoutAsking) {
    const AccessServerProcess server(
        m_first.dir(), companies({company(1, "Unica",
                                          database(1, m_cat.remoteLocation(), "C", "Unica - Catalogo") + ", " +
                                              database(2, m_first.remoteLocation(), "G", "Unica - Producao"))}));
    ASSERT_GT(server.port(), 0);
    const auto run =
        runStation(m_first.dir(), accessIni(m_first.dir(), server.port()), {QStringLiteral("999999"), kAnnounced});
    ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines[0]["window"].toString(), QStringLiteral("frmQuilbar"));
    EXPECT_TRUE(run.boxes(0).isEmpty()) << QJsonDocument(run.boxes(0)).toJson().toStdString();
    EXPECT_EQ(run.text(0, "sbQuilbar.1"), QStringLiteral(" BD: ") + QString::fromStdString(m_first.remoteLocation()));
    // The scan reached the database: an unknown box is refused by it, not by the configuration.
    EXPECT_FALSE(run.text(1, "pnMens").isEmpty());
    EXPECT_NE(run.text(1, "pnMens"), QStringLiteral("Banco de dados nao configurado."));
    EXPECT_EQ(newestPicture(run, 2), QStringLiteral("picture")) << "the catalogue opened with the entry's password";
    expectNoPassword(run);
}

TEST_F(AccessStation, TwoCompaniesLetTheScriptChooseInTheDialog) {
    // The catalogue is the first company's, whichever company is chosen.
    const AccessServerProcess server(
        m_first.dir(), companies({company(1, "Alfa",
                                          database(1, m_first.remoteLocation(), "G", "Alfa Calcados") + ", " +
                                              database(3, m_cat.remoteLocation(), "C", "Alfa Catalogo")),
                                  company(2, "Beta", database(2, m_second.remoteLocation(), "G", "Beta Calcados"))}));
    ASSERT_GT(server.port(), 0);
    const auto run = runStation(
        m_first.dir(), accessIni(m_first.dir(), server.port()),
        {QStringLiteral("<select>cbSelecionarEmpresa=Beta Calcados"), QStringLiteral("<click>btEntrar"), kAnnounced});
    ASSERT_EQ(run.lines.size(), 4u) << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines[0]["window"].toString(), QStringLiteral("frmSelecionarBanco"));
    EXPECT_EQ(run.grid(0, "cbSelecionarEmpresa"),
              QJsonArray({QJsonArray{QStringLiteral("Alfa Calcados")}, QJsonArray{QStringLiteral("Beta Calcados")}}));
    EXPECT_FALSE(run.shows(0, "sbQuilbar.1")) << "the main window is not shown before the choice";
    EXPECT_EQ(run.text(1, "cbSelecionarEmpresa"), QStringLiteral("Beta Calcados"));
    EXPECT_EQ(run.lines[2]["window"].toString(), QStringLiteral("frmQuilbar"));
    EXPECT_TRUE(run.boxes(2).isEmpty()) << QJsonDocument(run.boxes(2)).toJson().toStdString();
    EXPECT_EQ(run.text(2, "sbQuilbar.1"), QStringLiteral(" BD: ") + QString::fromStdString(m_second.remoteLocation()));
    EXPECT_EQ(newestPicture(run, 3), QStringLiteral("picture"));
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

TEST_F(AccessStation, NoMainDatabaseInTheFirstCompanyFailsTheConnection) {
    const AccessServerProcess server(
        m_first.dir(), companies({company(1, "Unica", database(1, m_cat.remoteLocation(), "C", "Unica - Catalogo"))}));
    ASSERT_GT(server.port(), 0);
    const auto run = runStation(m_first.dir(), accessIni(m_first.dir(), server.port()), {QStringLiteral("123")});
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    ASSERT_EQ(run.boxes(0).size(), 1);
    EXPECT_EQ(run.boxes(0)[0].toObject()["title"].toString(), QStringLiteral("Falha ao conectar."));
    EXPECT_TRUE(run.lines[0]["window"].isNull()) << "the window is never shown";
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
    expectNoPassword(run);
}

} // namespace
