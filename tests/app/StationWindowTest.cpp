// The station window in-process: resize rule, back-to-back scans and parameters.
#include "app/ParameterLoader.h"
#include "app/TfrmQuilbar.h"
#include "db/Query.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "station/StationSettings.h"
#include "support/Box.h"
#include "support/OffscreenScreens.h"
#include "support/TestDb.h"
#include "util/Format.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vek;
using vek::test::Box;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

class Parameters : public ::testing::Test {
protected:
    void row(const std::string& group, const std::string& name, const std::string& value) {
        m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('" + group + "', '" + name + "', '" +
                  value + "')");
    }
    RuntimeParameters load(int settingsBranch = 0) {
        auto c = m_db.connect();
        return LoadParameters(*c, m_boxes, settingsBranch);
    }
    TestDb m_db{Schema::Main};
    RecordingMessageBoxes m_boxes;
};

TEST_F(Parameters, EmptyTableGivesTheDefaults) {
    const auto p = load();
    EXPECT_TRUE(p.VALIDAR_SETOR_ANT_OBRIG);
    EXPECT_FALSE(p.ATUALIZAR_ESTOQUE);
    EXPECT_EQ(p.FILIAL_ESTOQUE, 1);
    EXPECT_EQ(p.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, 90);
    EXPECT_EQ(p.FILIAL_ESTOQUE_PRODUCAO, 0);
    EXPECT_TRUE(p.SERVIDOR_NODE.empty());
    EXPECT_TRUE(m_boxes.take().empty());
}

TEST_F(Parameters, FlagsAreExactAndCaseSensitive) {
    row("ATU_CAIXA_UNITARIA", "VALIDAR_SETOR_ANT_OBRIG", "n");
    row("ATU_CAIXA_UNITARIA", "ATUALIZAR_ESTOQUE", "s");
    row("ATU_CAIXA_UNITARIA", "ALERTA_SONORO", "S");
    row("ATU_CAIXA_UNITARIA", "BLOQ_ETIQ_EMISSAO_MAIOR_DIAS", "abc");
    row("ATU_CAIXA_UNITARIA", "FILIAL_ESTOQUE", "0");
    row("DASHBOARD_PRODUCAO", "SERVIDOR_NODE", "dash.local");
    auto p = load();
    EXPECT_TRUE(p.VALIDAR_SETOR_ANT_OBRIG);
    EXPECT_FALSE(p.ATUALIZAR_ESTOQUE);
    EXPECT_TRUE(p.ALERTA_SONORO);
    EXPECT_EQ(p.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, 90);
    EXPECT_EQ(p.FILIAL_ESTOQUE, 1) << "0 leaves the default";
    EXPECT_EQ(p.SERVIDOR_NODE, "dash.local");
}

TEST_F(Parameters, StockBranchFromTheSettingsFileWins) {
    row("ATU_CAIXA_UNITARIA", "FILIAL_ESTOQUE", "3");
    row("ATU_CAIXA_UNITARIA", "BLOQ_ETIQ_EMISSAO_MAIOR_DIAS", "0");
    EXPECT_EQ(load(7).FILIAL_ESTOQUE, 7);
    const auto p = load(0);
    EXPECT_EQ(p.FILIAL_ESTOQUE, 3);
    EXPECT_EQ(p.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, 0);
}

TEST_F(Parameters, NamesAreComparedExactlyAndAConversionErrorKeepsWhatCameBefore) {
    row("ATU_CAIXA_UNITARIA", "ALERTA_SONORO", "S");
    row("ATU_CAIXA_UNITARIA ", "MSG_CONLUSAO", "S");
    row("ATU_CAIXA_UNITARIA", " MSG_CONLUSAO", "S");
    row("ATU_CAIXA_UNITARIA", "FILIAL_ESTOQUE", "2,5");
    row("ATU_CAIXA_UNITARIA", "BLOQ_ETIQ_EMISSAO_MAIOR_DIAS", "7");
    auto c = m_db.connect();
    RuntimeParameters p;
    EXPECT_THROW(LoadParameters(*c, m_boxes, 0, p), std::exception);
    EXPECT_TRUE(p.ALERTA_SONORO) << "read before the bad branch: kept";
    EXPECT_FALSE(p.MSG_CONLUSAO) << "a group or name with blanks is another parameter";
    EXPECT_EQ(p.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, 90) << "after the bad branch: never read";
}

TEST_F(Parameters, DatabaseErrorShowsThePARAMBoxAndIsPassedOn) {
    db::Connection c;
    c.setDatabase(m_db.dir() + "/missing.fdb");
    EXPECT_THROW(ReadParam(c, m_boxes, "G", "P"), std::exception);
    const auto boxes = m_boxes.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Erro"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Erro ao abrir a tabela PARAM\r")));
}

TEST(StationWindow, TotalsRowsSplitInHalvesAndFontFollowsTheWidth) {
    QWidget row, left(&row), right(&row);
    row.resize(957, 20);
    TfrmQuilbar::SplitTotalsRow(&row, &left, &right);
    EXPECT_EQ(left.width(), 478);
    EXPECT_EQ(right.width(), 479);

    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    TfrmQuilbar w(Platform{&tones, &boxes, [](int) {}}, "/nonexistent.INI", "/nonexistent");
    auto* big = w.findChild<QLabel*>(QStringLiteral("pnTotQtParMes"));
    ASSERT_TRUE(big);
    w.show();
    QCoreApplication::processEvents();
    w.setWindowState(Qt::WindowNoState);
    w.resize(1000, 694);
    QCoreApplication::processEvents();
    EXPECT_EQ(big->font().pointSize(), 20);
    w.resize(1001, 694);
    QCoreApplication::processEvents();
    EXPECT_EQ(big->font().pointSize(), 30);
}

TEST(StationWindow, SettlingKeptScansLeavesAHalfTypedCodeInTheField) {
    TestDb db(Schema::Main);
    db.exec(Box(7001).prog("000123").ficha("0001").emitted().sql());
    const std::string ini = db.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n"
                       << "DIARIO_LEITURAS=" << db.dir() << "/s.journal\n";
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    TfrmQuilbar w(Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
    w.FormCreate();
    ASSERT_TRUE(w.station().context().ready);
    ASSERT_TRUE(w.station().forward().Hold("7001")) << "a scan kept for later";
    auto* ed = w.findChild<QLineEdit*>(QStringLiteral("edCodBar"));
    ASSERT_TRUE(ed);
    ed->setText(QStringLiteral("1000"));
    w.SettleKeptScans();
    EXPECT_EQ(w.station().forward().waitingCount(), 0);
    EXPECT_EQ(w.station().monitor().dayCount(), 1) << "the kept scan was booked";
    EXPECT_EQ(ed->text(), QStringLiteral("1000"));
    w.station().context().sqlCon.close();
}

TEST(StationWindow, PicturesAndHeaderFollowTheirPanelsWhenTheLayoutSizesThem) {
    TestDb db(Schema::Main);
    const std::string ini = db.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\nMODO_BIPAGEM=S\n";
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    TfrmQuilbar w(Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
    w.FormCreate();
    ASSERT_TRUE(w.station().context().ready);
    w.show();
    auto* panel = w.findChild<QWidget*>(QStringLiteral("pnDadosEtiq"));
    auto* picture = w.findChild<QWidget*>(QStringLiteral("imgProdAtu"));
    auto* strip = w.findChild<QWidget*>(QStringLiteral("Panel1"));
    auto* header = w.findChild<QWidget*>(QStringLiteral("pnEsteira"));
    ASSERT_TRUE(panel && picture && strip && header);
    for (int width : {1356, 1100, 1600}) {
        SCOPED_TRACE(width);
        w.setWindowState(Qt::WindowNoState);
        w.resize(width, 694);
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        EXPECT_TRUE(picture->isVisible());
        EXPECT_EQ(picture->geometry().right(), panel->width() - 1) << "at the panel's right edge";
        EXPECT_EQ(picture->y(), 0);
        EXPECT_EQ(picture->height(), panel->height()) << "over its full height";
        EXPECT_GE(picture->x(), 0);
        EXPECT_EQ(header->width(), strip->width()) << "the header spans its strip";
    }
    w.station().context().sqlCon.close();
}

TEST(StationWindow, CodesArrivingDuringAScanWaitForIt) {
    TestDb db(Schema::Main);
    for (int code = 7001; code <= 7003; ++code) {
        db.exec(Box(code).prog("000123").ficha("0001").emitted().sql());
    }
    const std::string ini = db.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\n";
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    {
        TfrmQuilbar w(Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
        w.FormCreate();
        ASSERT_TRUE(w.station().context().ready);
        w.show();
        auto* ed = w.findChild<QLineEdit*>(QStringLiteral("edCodBar"));
        ASSERT_TRUE(ed);
        // All codes are queued before the first is handled: the others' keys reach the field while the
        // first scan repaints its counters, and each Enter must wait its turn without merging codes.
        for (const char* code : {"7001", "7002", "7003"}) {
            for (const char* c = code; *c; ++c) {
                QCoreApplication::postEvent(
                    ed, new QKeyEvent(QEvent::KeyPress, Qt::Key_0 + (*c - '0'), Qt::NoModifier, QString(QChar(*c))));
            }
            QCoreApplication::postEvent(ed, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        }
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        EXPECT_EQ(w.station().monitor().dayCount(), 3);
        EXPECT_TRUE(boxes.take().empty());
        w.station().context().sqlCon.close();
    }
    auto c = db.connect();
    db::Query q(*c);
    q.setSql("select count(*) as N from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 3);
}

} // namespace

int main(int argc, char** argv) {
    // Also when the build lists the tests, where no display exists. A full-HD primary screen (the
    // design's sizes) and the smaller ones the window must fit beside it.
    const vek::test::OffscreenScreens screens{{1920, 1080}, {1280, 1024}, {1366, 768}, {1600, 900}};
    QApplication app(argc, argv);
    setCurrentFormatSettings(brazilianFormatSettings());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
