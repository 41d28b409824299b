// The recent-entries feed end to end: the station executable in script mode, datagrams sent to its
// own port by <datagram> lines, and the side panel's entries as the state lines give them; and the
// list's capacity as the station below its window fixes it.
#include "StationRun.h"
#include "app/Station.h"
#include "db/Query.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "support/FreePort.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace vek;
using vek::test::conveyorIni;
using vek::test::freePort;
using vek::test::RecordingDisplay;
using vek::test::runStation;
using vek::test::Schema;
using vek::test::TestDb;
using vek::test::u;

namespace {

// A UDP socket bound to a port the system chose; closed with the object.
class HeldPort {
public:
    HeldPort() : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t n = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
    }
    ~HeldPort() { ::close(m_fd); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;
    int port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

QJsonArray row(std::initializer_list<const char*> cells) {
    QJsonArray r;
    for (const char* c : cells) r.append(u(c));
    return r;
}

class FeedScript : public ::testing::Test {
protected:
    FeedScript() {
        m_db.exec("insert into PRODUTO (COD_PR, DESC_PR) values ('P100', 'TENIS')");
        m_db.exec("insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P100', '00001', 'AZUL')");
        m_db.exec("insert into TABELA (NUM_TA, COD_TA, DESC_TA) values ('70', 'M1', 'MARCA UM')");
        m_db.exec("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, MARCA_IT, PROG_IT, FICHA_IT, "
                  "OBSPROD_IT) values ('00000001', '001', 'P100', '00001', 'M1', '000123', '0001', 'COSTURA')");
        m_db.exec("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS) values "
                  "(1, '000123', '0001', '0000', '10', 1234)");
        QImage img(30, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        auto c = m_cat.connect();
        db::Query q(*c);
        q.setSql("insert into PADRONIZ_PRODUTO (PRODUTO_PP, PADRONIZ_PP, THUMBM_PP) values ('P100', '00001', :M)");
        q.param("M").setBlob(png.toStdString());
        q.execSql();
    }
    std::string ini(int port, const std::string& extra = {}) {
        return conveyorIni(m_db.path(), "PORTA_UDP_ULT_ENTRADA=" + std::to_string(port) + "\r\n" + extra);
    }

    TestDb m_db{Schema::Main};
    TestDb m_cat{Schema::Catalogue};
};

TEST_F(FeedScript, DatagramsFillTheSidePanelNewestFirstUpToFive) {
    const auto run = runStation(m_db.dir(), ini(freePort(SOCK_DGRAM), "BDADOS_CATALOGO=" + m_cat.path() + "\r\n"),
                                {
                                    R"(<datagram>{"prog":"000123","ficha":"0001"})",
                                    R"(<datagram>{"prog":123456,"ficha":7})",
                                    R"(<datagram> {"prog":"000123","ficha":"0001"})",
                                    R"(<datagram>[{"prog":"000123","ficha":"0001"}])",
                                    R"(<datagram>{"prog":"000123","ficha":""})",
                                    R"(<datagram>{"prog":"000123"})",
                                    R"(<datagram>{"prog":"00012399","ficha":"0001"})",
                                    R"(<datagram>{"prog":"000777","ficha":"0003"})",
                                    R"(<datagram>{"prog":"000777","ficha":"0004"})",
                                    R"(<datagram>{"prog":"000123","ficha":"0001"})",
                                });
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 11u);
    EXPECT_EQ(run.text(0, "lbUltAtu"), u("Últimas Entradas"));
    EXPECT_TRUE(run.lines[0]["grids"].toObject().contains(u("dbcgUltEnt")));
    EXPECT_TRUE(run.grid(0, "dbcgUltEnt").isEmpty());
    const QJsonArray found = row({"000123", "0001", "1.234", "P100", "MARCA UM", "AZUL", "COSTURA", "picture"});
    const QJsonArray numbers = row({"\"12345", "\"7.0", "0", "", "", "", "", "placeholder"});
    EXPECT_EQ(run.grid(1, "dbcgUltEnt"), QJsonArray({found}));
    EXPECT_EQ(run.grid(2, "dbcgUltEnt"), QJsonArray({numbers, found}));
    for (std::size_t line = 3; line <= 6; ++line) {
        SCOPED_TRACE(line);
        EXPECT_EQ(run.grid(line, "dbcgUltEnt").size(), 2); // ignored, and without a word
        EXPECT_TRUE(run.boxes(line).isEmpty());
        EXPECT_EQ(run.text(line, "pnMens"), QString());
    }
    const QJsonArray cut = row({"000123", "0001", "0", "", "", "", "", "placeholder"});
    const QJsonArray third = row({"000777", "0003", "0", "", "", "", "", "placeholder"});
    const QJsonArray fourth = row({"000777", "0004", "0", "", "", "", "", "placeholder"});
    EXPECT_EQ(run.grid(7, "dbcgUltEnt"), QJsonArray({cut, numbers, found}));
    // The sixth entry drops the oldest: the panel holds five.
    EXPECT_EQ(run.grid(10, "dbcgUltEnt"), QJsonArray({found, fourth, third, cut, numbers}));
}

TEST_F(FeedScript, WhatAnEntryShowsForItsPicture) {
    struct Case {
        const char* name;
        std::string extra;
        const char* picture;
    } cases[] = {
        {"catalogue with a thumbnail", "BDADOS_CATALOGO=" + m_cat.path() + "\r\n", "picture"},
        {"no catalogue: the placeholder", "", "placeholder"},
        {"pictures off altogether", "EXIBIR_IMG_PRODUTO=N\r\nBDADOS_CATALOGO=" + m_cat.path() + "\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = runStation(m_db.dir(), ini(freePort(SOCK_DGRAM), c.extra),
                                    {R"(<datagram>{"prog":"000123","ficha":"0001"})"});
        ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
        const QJsonArray grid = run.grid(1, "dbcgUltEnt");
        ASSERT_EQ(grid.size(), 1);
        EXPECT_EQ(grid[0].toArray()[7].toString(), u(c.picture));
        EXPECT_EQ(grid[0].toArray()[3].toString(), u("P100"));
    }
}

TEST_F(FeedScript, APortThatCannotBeOpenedIsToldAndTheStationGoesOn) {
    HeldPort held;
    struct Case {
        const char* name;
        int port;
    } cases[] = {{"in use", held.port()}, {"beyond 16 bits", 65536 + held.port()}, {"above the range", 70000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = runStation(m_db.dir(), ini(c.port, "MODO_BIPAGEM=S\r\n"),
                                    {R"(<datagram>{"prog":"000123","ficha":"0001"})", "999999"});
        ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
        const QJsonArray boxes = run.boxes(0);
        ASSERT_EQ(boxes.size(), 1);
        const QString text = boxes[0].toObject()[u("text")].toString();
        const QString prefix = u("Porta UDP ") + QString::number(c.port) + u(": ");
        EXPECT_TRUE(text.startsWith(prefix)) << text.toStdString();
        EXPECT_GT(text.size(), prefix.size()); // the system's reason
        // No side panel, but the rest of the start-up ran: the scan-mode layout hides the counters.
        EXPECT_FALSE(run.lines[0]["grids"].toObject().contains(u("dbcgUltEnt")));
        EXPECT_FALSE(run.shows(0, "pnProducaoDia"));
        EXPECT_TRUE(run.shows(0, "edCodBar"));
        // A datagram line has nothing to wait for, and scanning works.
        EXPECT_TRUE(run.boxes(1).isEmpty());
        EXPECT_FALSE(run.text(2, "pnMens").isEmpty());
    }
}

TEST(FeedCapacity, IsTheSidePanelsHeightAtTheFirstStartUpAttempt) {
    int argc = 1;
    char name[] = "app_feed_tests";
    char* argv[] = {name, nullptr};
    const QCoreApplication app(argc, argv);
    TestDb source(Schema::Main);
    // The database is not there at start-up, as when its server is down.
    const std::string late = source.dir() + "/late.fdb";
    const std::string ini = source.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << late
                       << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\nPORTA_UDP_ULT_ENTRADA=" << freePort(SOCK_DGRAM)
                       << "\n";
    RecordingDisplay display; // the design's panel height: five entries
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    vek::Station station(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
    station.FormCreate();
    ASSERT_FALSE(station.context().ready);
    // The window is maximised by the time the database is back and a tick finishes the start-up.
    display.sidePanelHeight = 1000;
    std::filesystem::copy_file(source.path(), late);
    station.ClockTick();
    ASSERT_TRUE(station.context().ready) << boxes.take().size();
    ASSERT_NE(station.recentEntriesFeed(), nullptr);
    EXPECT_EQ(station.recentEntries().capacity(), 5);
    station.context().sqlCon.close();
}

} // namespace
