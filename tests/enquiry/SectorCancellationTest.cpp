// Cancelling a box's sector update: the warnings, the one transaction with the stock cancellation
// and the audit row, and what a failure leaves (nothing).
#include "EnquiryRig.h"
#include "enquiry/EnquiryPanels.h"
#include "widgets/TQXPanelForm.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vek;
using namespace vek::enquiry;
using namespace vek::test;

namespace {

using Rows = std::vector<std::string>;

// The panel's sector list by object name, as a script finds it.
QComboBox* sectorList(TCancelPanel& panel) {
    return panel.findChild<widgets::TQXPanelForm*>()->PopupWindow()->findChild<QComboBox*>(
        QStringLiteral("dbSetorCanc"));
}

// Box 1001 recorded in 10, 20 and 30 and written off by 30; box 1002 only in 10. Enquired 1001 with
// CAIO's consent.
class Cancellation : public ::testing::Test {
protected:
    void SetUp() override {
        rig.recorded(1001, "10", 1);
        rig.recorded(1001, "20", 2);
        rig.recorded(1001, "30", 3);
        rig.recorded(1002, "10", 4);
        rig.db.exec("update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '01', SETOR_CX = '30', "
                    "FUNCIONARIO_CX = '7' where CODIGO_CX = 1001");
        rig.ctx.settings.SETORES_CONSULTA_ETIQUETA = "10,20,30";
        enquire(1001);
    }
    void enquire(int code) {
        rig.enquiry.EnquireLabel(std::to_string(code));
        rig.enquiry.AuthorisingUser = "CAIO";
        rig.tones.take();
    }
    // The database state the cancellation touches, as one text per part.
    Rows state() {
        return {std::to_string(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001")),
                std::to_string(rig.count("PRODUCAO_SETOR where CODCXUNIT_PS = 1001")),
                std::to_string(rig.count("CODCXUNIT where CODIGO_CX = 1001 and DTBAIXA_CX is not null and "
                                         "ESTEIRA_CX = '01'")),
                std::to_string(rig.count("PRODUCAO_ESTOQUE where STATUS_ES = 'A'")), std::to_string(rig.count("LOG"))};
    }
    void stockBooking() {
        rig.db.exec("insert into PRODUCAO_ESTOQUE (ID_ES, CODIGO_CXUNIT_ES, PROG_ES, FICHA_ES, STATUS_ES, "
                    "FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES) values "
                    "(1, 1001, '000123', '0001', 'A', 1, 1, 'PROD', '1', 1, 1)");
    }
    void ddl(const std::string& sql) {
        auto c = rig.db.connect();
        c->executeImmediate(sql);
    }

    EnquiryRig rig;
};

TEST_F(Cancellation, WarningsWriteNothing) {
    const Rows before = state();
    const Rows list = rig.sectorRows();
    struct Row {
        std::optional<std::string> sector;
        int code;
        const char* text;
    } rows[] = {
        {std::nullopt, 1001, "Informe o Setor."},
        {std::string(), 1001, "Informe o Setor."},
        {std::string("20"), 1002, "Não existe atualização para essa Etiqueta nesse Setor."},
        {std::string("40"), 1001, "Não existe atualização para essa Etiqueta nesse Setor."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        rig.enquiry.EnquiredCode = r.code;
        EXPECT_FALSE(rig.cancellation.CancelSectorUpdate(r.sector));
        const auto shown = rig.boxes.take();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].title, QStringLiteral("Alerta"));
        EXPECT_EQ(shown[0].text, u8(r.text));
        EXPECT_FALSE(rig.ctx.sqlCon.inTransaction()) << "no transaction started";
        EXPECT_TRUE(rig.tones.take().empty());
    }
    EXPECT_EQ(state(), before);
    EXPECT_EQ(rig.sectorRows(), list);
}

TEST_F(Cancellation, EarlierSectorTakesBackTheWriteOffAndLeavesAnAuditRow) {
    EXPECT_EQ(rig.sectorRows(), (Rows{"10|SETOR 10|2|1", "20|SETOR 20|1|2", "30|SETOR 30|1|2"}));
    rig.enquiry.cdsSetoresConsulta.moveToRow(2); // the list's cursor elsewhere: the chosen sector counts
    EXPECT_TRUE(rig.cancellation.CancelSectorUpdate(std::string("10")));
    EXPECT_EQ(rig.tones.take(), kSuccess);
    EXPECT_FALSE(rig.ctx.sqlCon.inTransaction());
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001 and SETOR_PU = '10'"), 0);
    EXPECT_EQ(rig.count("PRODUCAO_SETOR where CODCXUNIT_PS = 1001 and SETOR_PS = '10'"), 0);
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001"), 2) << "the other sectors stay";
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1002"), 1) << "other boxes stay";
    EXPECT_EQ(rig.count("CODCXUNIT where CODIGO_CX = 1001 and DTBAIXA_CX is null and ESTEIRA_CX is null and "
                        "SETOR_CX = '30' and FUNCIONARIO_CX = '7'"),
              1);
    EXPECT_EQ(rig.sectorRows(), (Rows{"10|SETOR 10|1|2", "20|SETOR 20|1|2", "30|SETOR 30|1|2"}));
    EXPECT_EQ(rig.count("LOG where CHAVE_LG = '1001|10' and ARQ_LG = 'PRODUCAO_SETOR_CXUNIT' and CAMPO_LG = "
                        "'EXCLUIDO' and USUARIO_LG = 'CAIO' and DATA_LG is not null and VRANT_LG = "
                        "'Cancelamento da Atualiza\xe7\xe3o da Etiqueta' and coalesce(VRATU_LG, '') = ''"),
              1);
    EXPECT_EQ(rig.count("LOG"), 1) << "one audit row, no stock booking to take back";
}

TEST_F(Cancellation, StockBookingCancelledInTheSameTransaction) {
    stockBooking();
    EXPECT_TRUE(rig.cancellation.CancelSectorUpdate(std::string("20")));
    EXPECT_EQ(rig.count("PRODUCAO_ESTOQUE where ID_ES = 1 and STATUS_ES = 'C' and USUARIO_CANC_ES = 'CAIO' and "
                        "DATA_CANC_ES is not null"),
              1);
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001 and SETOR_PU = '20'"), 0);
    EXPECT_TRUE(rig.modules.dmEstoqueProducaoIfMade()) << "created on first use and kept";
}

TEST_F(Cancellation, FailuresLeaveNothingAndTheCountsAsTheyWere) {
    stockBooking();
    ddl("create exception E_TESTE 'recusado'");
    struct Row {
        const char* name;
        const char* trigger;
        const char* drop;
    } rows[] = {
        {"the stock step fails",
         "create trigger PE_BU for PRODUCAO_ESTOQUE before update as begin exception E_TESTE; end",
         "drop trigger PE_BU"},
        // The commit itself fails after the counts were moved.
        {"the commit fails",
         "create trigger NO_COMMIT active on transaction commit as begin if (exists(select 1 from LOG where "
         "CHAVE_LG = '1001|20')) then exception E_TESTE; end",
         "drop trigger NO_COMMIT"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ddl(r.trigger);
        const Rows before = state();
        const Rows list = rig.sectorRows();
        EXPECT_THROW(rig.cancellation.CancelSectorUpdate(std::string("20")), std::exception);
        EXPECT_FALSE(rig.ctx.sqlCon.inTransaction());
        EXPECT_EQ(state(), before);
        EXPECT_EQ(rig.sectorRows(), list);
        EXPECT_TRUE(rig.tones.take().empty()) << "no success beep";
        rig.ctx.sqlCon.close();
        ddl(r.drop);
    }
    // Once the fault is gone the same cancellation goes through.
    EXPECT_TRUE(rig.cancellation.CancelSectorUpdate(std::string("20")));
    EXPECT_EQ(rig.sectorRows(), (Rows{"10|SETOR 10|2|1", "20|SETOR 20|0|3", "30|SETOR 30|1|2"}));
}

TEST_F(Cancellation, PanelPreselectsTheStationsSectorAndTakesF9AndEsc) {
    TCancelPanel panel(rig.enquiry, rig.cancellation, nullptr);
    QStringList seen;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        seen << (w ? w->objectName() : QString()) << (w ? w->windowTitle() : QString());
        seen << sectorList(panel)->currentText();
        seen << QString::number(sectorList(panel)->count());
        QTest::keyClick(sectorList(panel), Qt::Key_Escape);
        seen << (w && w->isVisible() ? "open" : "closed");
    });
    panel.Show();
    EXPECT_EQ(seen, (QStringList{"pfCancAtuCxUnit", u8("Cancelar Atualização Etiqueta"), "SETOR 20", "3", "closed"}));
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001"), 3) << "Esc changes nothing";

    // F9 on the preselected sector: cancelled and closed.
    TCancelPanel second(rig.enquiry, rig.cancellation, nullptr);
    bool open = true;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        QTest::keyClick(sectorList(second), Qt::Key_F9);
        open = w && w->isVisible();
        if (open && w) w->close();
    });
    second.Show();
    EXPECT_FALSE(open);
    EXPECT_EQ(rig.count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001 and SETOR_PU = '20'"), 0);
    EXPECT_EQ(rig.sectorRows(), (Rows{"10|SETOR 10|2|1", "20|SETOR 20|0|3", "30|SETOR 30|1|2"}));

    // A station sector the enquiry did not list: nothing chosen, F9 warns and the panel stays.
    rig.ctx.settings.SETOR = "40";
    TCancelPanel third(rig.enquiry, rig.cancellation, nullptr);
    QString chosen = QStringLiteral("?");
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        chosen = sectorList(third)->currentText();
        QTest::keyClick(sectorList(third), Qt::Key_F9);
        open = w && w->isVisible();
        if (w) w->close();
    });
    third.Show();
    EXPECT_EQ(chosen, QString());
    EXPECT_TRUE(open);
    const auto shown = rig.boxes.take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Informe o Setor."));
}

} // namespace
