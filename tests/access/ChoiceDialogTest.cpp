#include "AccessFixtures.h"

#include "access/TfrmSelecionarBanco.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace vek::access;
using vek::access::testing::kTwoCompanies;
using vek::access::testing::ServedClient;
using vek::access::testing::whenChoiceDialogShown;

namespace {

QStringList lines(QDialog& dialog) {
    QStringList texts;
    auto* combo = dialog.findChild<QComboBox*>("cbSelecionarEmpresa");
    for (int i = 0; combo && i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
}

void click(QDialog& dialog, const char* button) {
    auto* target = dialog.findChild<QPushButton*>(button);
    ASSERT_NE(target, nullptr) << button;
    QTest::mouseClick(target, Qt::LeftButton);
}

struct Listed : ServedClient {
    Listed() : ServedClient(serving(kTwoCompanies)) {
        client->LoadDatabaseList();
        EXPECT_EQ(client->CompanyCount(), 2);
    }
};

} // namespace

TEST(TfrmSelecionarBanco, HasItsCaptionControlsAndSize) {
    TfrmSelecionarBanco dialog;
    EXPECT_EQ(dialog.objectName(), "frmSelecionarBanco");
    EXPECT_EQ(dialog.windowTitle(), "Selecionar empresa");
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(dialog.size(), QSize(297, 177));
    auto* combo = dialog.findChild<QComboBox*>("cbSelecionarEmpresa");
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(combo->geometry().topLeft(), QPoint(8, 116));
    EXPECT_EQ(combo->width(), 281);
    auto* entrar = dialog.findChild<QPushButton*>("btEntrar");
    auto* cancelar = dialog.findChild<QPushButton*>("btCancelar");
    ASSERT_TRUE(entrar && cancelar);
    EXPECT_EQ(entrar->text(), "Entrar");
    EXPECT_EQ(entrar->geometry(), QRect(63, 145, 75, 25));
    EXPECT_EQ(cancelar->text(), "Cancelar");
    EXPECT_EQ(cancelar->geometry(), QRect(151, 145, 75, 25));
    bool prompt = false;
    bool banner = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        prompt = prompt || (label->text() == "Selecione uma empresa" && label->pos() == QPoint(8, 100));
        banner = banner || (label->geometry() == QRect(8, 8, 280, 85) && !label->pixmap().isNull());
    }
    EXPECT_TRUE(prompt);
    EXPECT_TRUE(banner);
}

TEST(ChooseDatabase, ListsEveryCompanysDatabasesOfTheKindFirstPreselected) {
    Listed listed;
    QStringList shown;
    int preselected = -1;
    whenChoiceDialogShown([&](QDialog& dialog) {
        shown = lines(dialog);
        preselected = dialog.findChild<QComboBox*>("cbSelecionarEmpresa")->currentIndex();
        dialog.findChild<QComboBox*>("cbSelecionarEmpresa")->setCurrentIndex(1);
        click(dialog, "btEntrar");
    });
    EXPECT_EQ(listed.client->ChooseDatabase(TDatabaseKind::G), 1);
    // Company by company; the accent arrives as the character, not as its code page byte.
    EXPECT_EQ(shown, (QStringList{QString::fromUtf8("Produção"), "Teste", "Sul"}));
    EXPECT_EQ(preselected, 0);
    ASSERT_NE(listed.client->SelectedDatabase(), nullptr);
    EXPECT_EQ(listed.client->SelectedDatabase()->host, "srv01:/dados/teste.fdb");
    EXPECT_EQ(listed.client->SelectedDatabase()->password, "pw-teste");
}

TEST(ChooseDatabase, OnlyEntrarSelects) {
    const struct {
        const char* name;
        std::function<void(QDialog&)> close;
    } cases[] = {
        {"Cancelar", [](QDialog& d) { click(d, "btCancelar"); }},
        {"Escape", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"window closed", [](QDialog& d) { d.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Listed listed;
        const TDatabaseInfo* before = listed.client->Company(1).databases.at(0).get();
        listed.client->setSelectedDatabase(before);
        whenChoiceDialogShown([&](QDialog& dialog) {
            dialog.findChild<QComboBox*>("cbSelecionarEmpresa")->setCurrentIndex(0);
            c.close(dialog);
        });
        EXPECT_EQ(listed.client->ChooseDatabase(TDatabaseKind::G), 2);
        EXPECT_EQ(listed.client->SelectedDatabase(), before);
    }
}

TEST(ChooseDatabase, ConfirmingAnEmptyListSelectsNothing) {
    Listed listed;
    QStringList shown{"not read"};
    whenChoiceDialogShown([&](QDialog& dialog) {
        shown = lines(dialog);
        click(dialog, "btEntrar");
    });
    EXPECT_EQ(listed.client->ChooseDatabase(TDatabaseKind::F), 1);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(listed.client->SelectedDatabase(), nullptr);
}

TEST(ChooseDatabase, CataloguesAreListedForKindC) {
    Listed listed;
    QStringList shown;
    whenChoiceDialogShown([&](QDialog& dialog) {
        shown = lines(dialog);
        click(dialog, "btEntrar");
    });
    EXPECT_EQ(listed.client->ChooseDatabase(TDatabaseKind::C), 1);
    EXPECT_EQ(shown, QStringList{QString::fromUtf8("Catálogo")});
    EXPECT_EQ(listed.client->SelectedDatabase()->host, "srv01:/dados/catalogo.fdb");
}
