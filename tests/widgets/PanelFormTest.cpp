// Panel forms: names, sizes, the settings as window options, the events of the popup window.
#include "widgets/PanelForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace vek::widgets;

namespace {

// Runs `inside` once the modal popup is up, then closes it.
void whileShown(TQXPanelForm& form, const std::function<void()>& inside) {
    QTimer::singleShot(0, [&] {
        inside();
        form.close();
    });
    form.ShowPanelForm();
}

TEST(PanelForm, PanelTakesTheFormsNameAndSize) {
    QWidget host;
    struct Row {
        const char* panelName;
        QSize panelSize;
        QSize expected;
    } rows[] = {
        {"anything", {608, 97}, {608, 97}},
        {"pfX_Panel", {1378, 662}, {1378, 662}},
        {"", {0, 50}, {300, 120}}, // no width: the form's own size
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.panelName);
        auto* form = new TQXPanelForm(&host);
        form->setName(QStringLiteral("pfX"));
        form->FormWidth = 300;
        form->FormHeight = 120;
        auto* panel = new TQXDesignPanel(&host);
        panel->setObjectName(QString::fromLatin1(r.panelName));
        panel->setCaption(QStringLiteral("visible?"));
        panel->resize(r.panelSize);
        form->setPanel(panel);
        EXPECT_EQ(panel->objectName(), QStringLiteral("pfX_Panel"));
        EXPECT_TRUE(panel->caption().isEmpty());
        EXPECT_EQ(panel->parentWidget(), form->PopupWindow());
        EXPECT_EQ(form->PopupWindow()->size(), r.expected);
        EXPECT_FALSE(panel->isVisible()) << "hidden until the popup shows it";
        // Renaming the form renames its panel.
        form->setName(QStringLiteral("pfY"));
        EXPECT_EQ(panel->objectName(), QStringLiteral("pfY_Panel"));
        EXPECT_EQ(form->PopupWindow()->objectName(), QStringLiteral("pfY"));
    }
}

TEST(PanelForm, StartValuesAndTheSettingsAsWindowOptions) {
    TQXPanelForm form;
    const TFormConfig& c = form.FormConfig;
    EXPECT_EQ(c.Caption, QStringLiteral("QXPanelForm"));
    EXPECT_FALSE(c.AlphaBlend);
    EXPECT_EQ(c.AlphaBlendValue, 0);
    EXPECT_TRUE(hasIcon(c.BorderIcons, TBorderIcon::biSystemMenu));
    EXPECT_TRUE(hasIcon(c.BorderIcons, TBorderIcon::biMinimize));
    EXPECT_TRUE(hasIcon(c.BorderIcons, TBorderIcon::biMaximize));
    EXPECT_FALSE(hasIcon(c.BorderIcons, TBorderIcon::biHelp));
    EXPECT_TRUE(c.Ctl3D);
    EXPECT_EQ(c.FormStyle, TFormStyle::fsNormal);
    EXPECT_EQ(c.Position, TPosition::poDefaultPosOnly);
    EXPECT_EQ(c.BorderStyle, TFormBorderStyle::bsSizeable);

    auto* panel = new TQXDesignPanel();
    panel->resize(608, 97);
    form.setPanel(panel);
    form.ApplyFormConfig();
    TQXPopupWindow* w = form.PopupWindow();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("QXPanelForm"));
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_DOUBLE_EQ(w->windowOpacity(), 1.0);
    EXPECT_NE(w->minimumSize(), w->maximumSize()) << "sizeable";

    // The station's dialogs: system menu only, single border, centred, stay-on-top when asked.
    form.FormConfig.Caption = QStringLiteral("Cancelar");
    form.FormConfig.BorderIcons = static_cast<TBorderIcons>(TBorderIcon::biSystemMenu);
    form.FormConfig.BorderStyle = TFormBorderStyle::bsSingle;
    form.FormConfig.Position = TPosition::poScreenCenter;
    form.FormConfig.AlphaBlend = true;
    form.FormConfig.AlphaBlendValue = 204;
    form.FormConfig.FormStyle = TFormStyle::fsStayOnTop;
    form.ApplyFormConfig();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cancelar"));
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->minimumSize(), QSize(608, 97));
    EXPECT_EQ(w->maximumSize(), QSize(608, 97));
    EXPECT_NEAR(w->windowOpacity(), 0.8, 0.01);

    form.FormConfig.BorderStyle = TFormBorderStyle::bsNone;
    form.ApplyFormConfig();
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);

    bool modal = false;
    QPoint centre;
    whileShown(form, [&] {
        modal = QApplication::activeModalWidget() == w;
        centre = w->frameGeometry().center();
    });
    EXPECT_TRUE(modal);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
}

TEST(PanelForm, WindowEventsAreHandedOverAtEveryShow) {
    TQXPanelForm form;
    auto* panel = new TQXDesignPanel();
    panel->resize(200, 100);
    auto* edit = new QLineEdit(panel);
    form.setPanel(panel);
    int shows = 0, closes = 0, hides = 0, creates = 0;
    form.OnShow = [&] { ++shows; };
    form.OnClose = [&] { ++closes; };
    form.OnHide = [&] { ++hides; };
    form.OnCreate = [&] { ++creates; };
    EXPECT_EQ(form.PopupWindow()->OnShow, nullptr) << "handed over only when shown";
    whileShown(form, [] {});
    whileShown(form, [] {});
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(hides, 2);
    EXPECT_EQ(creates, 1);

    // A refused close keeps the popup open.
    bool allow = false;
    form.OnCloseQuery = [&](bool& canClose) { canClose = allow; };
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        form.close();
        stillOpen = form.PopupWindow()->isVisible();
        allow = true;
        form.close();
    });
    form.ShowPanelForm();
    EXPECT_TRUE(stillOpen);
    (void)edit;
}

TEST(PanelForm, KeyEventsLiveInThePopupAndKeyPreviewComesFirst) {
    TQXPanelForm form;
    auto* panel = new TQXDesignPanel();
    panel->resize(200, 100);
    auto* edit = new QLineEdit(panel);
    form.setPanel(panel);
    std::vector<int> keys;
    form.setOnKeyDown([&](int& key, Qt::KeyboardModifiers) {
        keys.push_back(key);
        if (key == Qt::Key_F9) key = 0; // consumed
    });
    EXPECT_TRUE(form.PopupWindow()->OnKeyDown) << "stored in the window itself";

    struct Row {
        bool preview;
        std::vector<int> expected;
        QString text;
    } rows[] = {
        // Without preview the edit keeps its letters; keys it leaves alone (F9, F4) reach the window.
        {false, {Qt::Key_F9, Qt::Key_F4}, QStringLiteral("a")},
        // With preview the window sees every key first and the consumed one never reaches the edit.
        {true, {Qt::Key_A, Qt::Key_F9, Qt::Key_F4}, QStringLiteral("a")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.preview);
        keys.clear();
        edit->clear();
        form.setKeyPreview(r.preview);
        EXPECT_EQ(form.KeyPreview(), r.preview);
        whileShown(form, [&] {
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A);
            QTest::keyClick(edit, Qt::Key_F9);
            QTest::keyClick(edit, Qt::Key_F4);
        });
        EXPECT_EQ(keys, r.expected);
        EXPECT_EQ(edit->text(), r.text);
    }
}

TEST(PanelForm, GoesWithItsPanel) {
    QPointer<TQXPanelForm> form = new TQXPanelForm();
    auto* panel = new TQXDesignPanel();
    form->setPanel(panel);
    panel->deleteLater(); // the panel goes
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form.isNull()) << "goes once the panel is gone";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

} // namespace
