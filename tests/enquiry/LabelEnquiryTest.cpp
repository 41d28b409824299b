// The label enquiry on test databases: codes, the box's fields, the sector list with its filters
// and route, the trace of its statement, and F4's first step.
#include "EnquiryRig.h"
#include "db/DataSetHelpers.h"
#include "enquiry/EnquiryPanels.h"
#include "widgets/TQXPanelForm.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace vek;
using namespace vek::enquiry;
using namespace vek::test;

namespace {

using Rows = std::vector<std::string>;

TEST(EnquiryFilter, ConfiguredListElseTheSectorAndThoseBefore) {
    struct Row {
        const char* configured;
        const char* sector;
        const char* previous;
        const char* list;
    } rows[] = {
        {"10, 20 ,,30", "20", "10", "'10','20','30'"},
        {"", "40", "30", "'40','30'"},
        {"", "20", "10, 05", "'20','10','05'"},
        {"", "10", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.configured + std::string("/") + r.sector);
        EXPECT_EQ(EnquirySectorFilter(r.configured, r.sector, r.previous), r.list);
    }
}

TEST(EnquiryFilter, StatementLinesAndTheProductLiteral) {
    EXPECT_EQ(EnquirySectorsSql("P'1", "'10'"),
              "SELECT COD_SE, NOME_SE FROM SETOR S WHERE SEQPROD_SE = 'S'\n"
              "AND COD_SE IN ('10')\n"
              "AND ( ((SELECT COUNT(*) FROM PRODUTO_SETOR PS INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS "
              "WHERE PS.CODIGO_PRODUTO_PS = 'P''1' AND SE.SEQPROD_SE = 'S') = 0) OR ((SELECT COUNT(*) FROM "
              "PRODUTO_SETOR PS WHERE PS.CODIGO_SETOR_PS = S.COD_SE AND PS.CODIGO_PRODUTO_PS = 'P''1') > 0))\n"
              "ORDER BY ORDEM_SE");
    EXPECT_EQ(EnquirySectorsSql("P1", "").find("AND COD_SE IN"), std::string::npos) << "no filter line";
}

TEST(LabelEnquiry, CodesThatReachNoBox) {
    EnquiryRig rig;
    struct Row {
        const char* text;
        const char* message;
        int enquired;
    } rows[] = {
        {"0", "Código Inválido.", 0},
        {"12a", "Código Inválido.", 0},
        {"ABC", "Código Inválido.", 0},
        {"1001 ", "Código Inválido.", 0}, // a trailing blank is no whole number
        {"99999999999", "Código Inválido.", 0},
        {"9999", "Código Não Localizado.", 9999},
        {"  1005", "Código Não Localizado.", 1005}, // leading blanks allowed
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        rig.enquiry.EnquireLabel(r.text);
        EXPECT_EQ(rig.enquiryMessage(), u8(r.message));
        EXPECT_EQ(rig.enquiry.EnquiredCode, r.enquired);
        EXPECT_EQ(rig.tones.take(), kAlarm);
        EXPECT_TRUE(rig.enquiry.fields.prod.empty());
        EXPECT_TRUE(rig.enquiry.fields.totFicha.empty());
        EXPECT_EQ(rig.enquiry.cdsSetoresConsulta.recordCount(), 0);
    }
    EXPECT_TRUE(rig.boxes.take().empty());

    // An unknown code still leads F4 to the consent, since the code is kept.
    int asked = 0;
    rig.enquiry.consent = [&](const std::string& groups) -> std::optional<std::string> {
        ++asked;
        EXPECT_EQ(groups, "SUPERV");
        return std::nullopt;
    };
    bool cancellationShown = false;
    rig.enquiry.showCancellation = [&] { cancellationShown = true; };
    rig.enquiry.RequestCancellation();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(cancellationShown) << "nobody consented";
    EXPECT_EQ(rig.enquiry.AuthorisingUser, "");

    // Opening the panel again forgets the code: F4 then only warns.
    rig.enquiry.Open();
    EXPECT_EQ(rig.enquiry.EnquiredCode, 0);
    rig.enquiry.RequestCancellation();
    EXPECT_EQ(asked, 1);
    const auto shown = rig.boxes.take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, QStringLiteral("Alerta"));
    EXPECT_EQ(shown[0].text, u8("Consulte a Etiqueta para cancelamento."));
}

TEST(LabelEnquiry, BoxFieldsAndTheRoutesCountsAndTheTrace) {
    EnquiryRig rig;
    rig.db.exec("insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P100', '00001', 'PRETO')");
    rig.recorded(1001, "10", 1);
    rig.recorded(1002, "10", 2);
    rig.recorded(1001, "20", 3);
    rig.enquiry.EnquireLabel("1001");
    EXPECT_EQ(rig.enquiry.EnquiredCode, 1001);
    const EnquiryFields& f = rig.enquiry.fields;
    EXPECT_EQ(f.prod, "P100");
    EXPECT_EQ(f.pad, "00001 PRETO");
    EXPECT_EQ(f.tam, "38");
    EXPECT_EQ(f.prog, "000123");
    EXPECT_EQ(f.ficha, "0001");
    EXPECT_EQ(f.totFicha, "3");
    EXPECT_EQ(rig.enquiryMessage(), QString());
    EXPECT_EQ(rig.tones.take(), kSuccess);
    // Station sector 20 comes after 10: the filter is '20','10'.
    EXPECT_EQ(rig.sectorRows(), (Rows{"10|SETOR 10|2|1", "20|SETOR 20|1|2"}));
    EXPECT_EQ(rig.enquiry.cdsSetoresConsulta.currentRow(), 0) << "the first row is current";
    EXPECT_NE(rig.enquiry.sqlSetoresConsulta.sql().find("AND COD_SE IN ('20','10')"), std::string::npos);

    std::ifstream trace(rig.db.dir() + "/SQL/sqlSetoresConsulta.sql", std::ios::binary);
    ASSERT_TRUE(trace.good()) << "the trace of the last run";
    std::stringstream text;
    text << trace.rdbuf();
    EXPECT_EQ(text.str().rfind("SELECT COD_SE, NOME_SE FROM SETOR S WHERE SEQPROD_SE = 'S'\r\n", 0), 0u);
    EXPECT_NE(text.str().find("ORDER BY ORDEM_SE\r\n"), std::string::npos);
}

TEST(LabelEnquiry, SectorFiltersRouteAndTicketEdges) {
    struct Row {
        const char* name;
        const char* configured;
        const char* sector;
        int box;
        Rows expected;
        const char* total;
    } rows[] = {
        {"configured list with blanks and an empty item",
         "10, 20 ,,30",
         "20",
         1001,
         {"10|SETOR 10|0|3", "20|SETOR 20|0|3", "30|SETOR 30|0|3"},
         "3"},
        {"the station's sector 40 and its previous 30; 40 is no sequence sector",
         "",
         "40",
         1001,
         {"30|SETOR 30|0|3"},
         "3"},
        {"a first sector without previous ones: no filter",
         "",
         "10",
         1001,
         {"10|SETOR 10|0|3", "20|SETOR 20|0|3", "30|SETOR 30|0|3"},
         "3"},
        {"a product without route: every sequence sector",
         "",
         "10",
         2001,
         {"10|SETOR 10|0|1", "20|SETOR 20|0|1", "30|SETOR 30|0|1"},
         "1"},
        {"ticket 0000 counts nothing", "", "10", 3001, {"10|SETOR 10|0|0", "20|SETOR 20|0|0", "30|SETOR 30|0|0"}, "0"},
        {"a product code with a quote: only its route", "", "10", 4001, {"20|SETOR 20|0|1"}, "1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EnquiryRig rig;
        rig.box(2001, "P200", "000200", "0002");
        rig.box(3001, "P100", "000300", "0000");
        rig.box(4001, "P'1", "000400", "0004");
        rig.route("P''1", {"20"});
        rig.ctx.settings.SETORES_CONSULTA_ETIQUETA = r.configured;
        rig.ctx.settings.SETOR = r.sector;
        rig.enquiry.EnquireLabel(std::to_string(r.box));
        EXPECT_EQ(rig.enquiryMessage(), QString());
        EXPECT_EQ(rig.sectorRows(), r.expected);
        EXPECT_EQ(rig.enquiry.fields.totFicha, r.total) << "the station's own sector";
    }
    EnquiryRig rig;
    rig.box(4001, "P'1", "000400", "0004");
    rig.enquiry.EnquireLabel("4001");
    EXPECT_NE(rig.enquiry.sqlSetoresConsulta.sql().find("PS.CODIGO_PRODUTO_PS = 'P''1'"), std::string::npos);
}

TEST(LabelEnquiry, CancelledBoxIsShownAllTheSame) {
    EnquiryRig rig;
    rig.box(Box::usual(1004).cancelled("cast('2024-03-05 14:07:00' as timestamp)"));
    rig.recorded(1001, "20", 1);
    rig.enquiry.EnquireLabel("1004");
    EXPECT_EQ(rig.enquiryMessage(), u8("Código CANCELADO em 05/03 14:07"));
    EXPECT_EQ(rig.enquiry.fields.prod, "P100");
    EXPECT_EQ(rig.enquiry.fields.totFicha, "3") << "the cancelled box is not counted";
    EXPECT_EQ(rig.sectorRows(), (Rows{"10|SETOR 10|0|3", "20|SETOR 20|1|2"}));
    std::vector<Tone> expected = kAlarm;
    expected.insert(expected.end(), kSuccess.begin(), kSuccess.end());
    EXPECT_EQ(rig.tones.take(), expected) << "the alarm, then the success beep";

    // The next enquiry starts clean.
    rig.enquiry.EnquireLabel("1001");
    EXPECT_EQ(rig.enquiryMessage(), QString());
}

// The panel: keys in the code field and what it shows.
TEST(EnquiryPanel, KeysOfTheCodeField) {
    EnquiryRig rig;
    rig.recorded(1001, "20", 1);
    TEnquiryPanel panel(rig.enquiry, rig.cancellation, nullptr);
    // The panel's widgets by object name, as a script finds them.
    auto* pfConsultaEtiq = panel.findChild<widgets::TQXPanelForm*>(QStringLiteral("pfConsultaEtiq"));
    ASSERT_TRUE(pfConsultaEtiq);
    QWidget* popup = pfConsultaEtiq->PopupWindow();
    auto* edCodBarraConsulta = popup->findChild<QLineEdit*>(QStringLiteral("edCodBarraConsulta"));
    auto* edProdConsulta = popup->findChild<QLineEdit*>(QStringLiteral("edProdConsulta"));
    auto* edTotFichaConsulta = popup->findChild<QLineEdit*>(QStringLiteral("edTotFichaConsulta"));
    auto* pnCancQuilbar = popup->findChild<QLabel*>(QStringLiteral("pnCancQuilbar"));
    auto* pnMsgConsulta = popup->findChild<QLabel*>(QStringLiteral("pnMsgConsulta"));
    ASSERT_TRUE(edCodBarraConsulta && edProdConsulta && edTotFichaConsulta && pnCancQuilbar && pnMsgConsulta);
    QStringList seen;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        seen << (w ? w->objectName() : QString()) << (w ? w->windowTitle() : QString());
        seen << QString::number(w ? w->width() : 0) + "x" + QString::number(w ? w->height() : 0);
        seen << (pnCancQuilbar->isVisibleTo(w) ? "hint" : "no hint");
        QTest::keyClicks(edCodBarraConsulta, QStringLiteral("1001"));
        QTest::keyClick(edCodBarraConsulta, Qt::Key_Return);
        seen << edProdConsulta->text() << edTotFichaConsulta->text() << edCodBarraConsulta->text();
        // Blanks only: nothing changes.
        QTest::keyClicks(edCodBarraConsulta, QStringLiteral("   "));
        QTest::keyClick(edCodBarraConsulta, Qt::Key_Return);
        seen << edProdConsulta->text();
        edCodBarraConsulta->clear();
        QTest::keyClicks(edCodBarraConsulta, QStringLiteral("0"));
        QTest::keyClick(edCodBarraConsulta, Qt::Key_Return);
        seen << edProdConsulta->text() << edCodBarraConsulta->text();
        QTest::keyClick(edCodBarraConsulta, Qt::Key_Escape);
        seen << (w && w->isVisible() ? "open" : "closed");
    });
    panel.Show();
    EXPECT_EQ(seen, (QStringList{"pfConsultaEtiq", u8("Conulta Etiqueta Unitária"), "1378x662", "hint", "P100", "3", "",
                                 "P100", "", "", "closed"}));
    // The message line is the panel's own.
    panel.paintMessage(cp1252("Código Inválido."), MessageColour::Error, true);
    EXPECT_EQ(pnMsgConsulta->text(), u8("Código Inválido."));
    EXPECT_EQ(pnMsgConsulta->toolTip(), u8("CÓDIGO INVÁLIDO."));

    // Without the access-control database no hint and F4 does nothing.
    rig.ctx.AccessDbOn = false;
    bool hint = true;
    QTimer::singleShot(0, [&] {
        hint = pnCancQuilbar->isVisibleTo(popup);
        QTest::keyClick(edCodBarraConsulta, Qt::Key_F4);
        QTest::keyClick(edCodBarraConsulta, Qt::Key_F1);
    });
    panel.Show();
    EXPECT_FALSE(hint);
    EXPECT_TRUE(rig.boxes.take().empty()) << "F4 unavailable: not even the warning";
}

} // namespace
