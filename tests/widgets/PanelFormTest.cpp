// Panel forms: names, sizes, the settings as window options, the events of the popup window.
#include "widgets/TQXPanelForm.h"

#include <QApplication>
#include <QDialog>
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
        if (key == Qt::Key_B) key = 0; // consumed
    });
    EXPECT_TRUE(form.PopupWindow()->OnKeyDown) << "stored in the window itself";

    struct Row {
        bool preview;
        std::vector<int> expected;
        QString text;
    } rows[] = {
        // Without preview only the keys meant for the window: not the edit's, not even the F9 it
        // leaves alone; F4 with the panel focused, F1 with no control focused.
        {false, {Qt::Key_F4, Qt::Key_F1}, QStringLiteral("ab")},
        // With preview every key first, each once; the consumed one never reaches the edit.
        {true, {Qt::Key_A, Qt::Key_B, Qt::Key_F9, Qt::Key_F4, Qt::Key_F1}, QStringLiteral("a")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.preview);
        keys.clear();
        edit->clear();
        form.setKeyPreview(r.preview);
        EXPECT_EQ(form.KeyPreview(), r.preview);
        whileShown(form, [&] {
            QApplication::setActiveWindow(form.PopupWindow());
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A);
            QTest::keyClick(edit, Qt::Key_B);
            QTest::keyClick(edit, Qt::Key_F9);
            panel->setFocus();
            QTest::keyClick(panel, Qt::Key_F4);
            panel->clearFocus();
            QTest::keyClick(form.PopupWindow(), Qt::Key_F1);
        });
        EXPECT_EQ(keys, r.expected);
        EXPECT_EQ(edit->text(), r.text);
    }
}

TEST(PanelForm, EachPositionKeepsItsMeaning) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget mainWindow;
    mainWindow.setGeometry(50, 60, 300, 200);
    mainWindow.show();
    QDialog owner;
    owner.setGeometry(400, 300, 300, 200);
    owner.show();
    auto* form = new TQXPanelForm(&owner);
    auto* panel = new TQXDesignPanel();
    panel->resize(200, 100);
    (new QWidget(panel))->setGeometry(10, 10, 100, 30);
    form->setPanel(panel);
    TQXPopupWindow* w = form->PopupWindow();
    const auto shown = [&](TPosition position) {
        form->FormConfig.Position = position;
        QRect frame;
        whileShown(*form, [&] { frame = w->frameGeometry(); });
        return frame;
    };
    const auto near = [](QPoint a, QPoint b) { return (a - b).manhattanLength() <= 2; };

    EXPECT_TRUE(near(shown(TPosition::poMainFormCenter).center(), mainWindow.frameGeometry().center()));
    EXPECT_TRUE(near(shown(TPosition::poOwnerFormCenter).center(), owner.frameGeometry().center()));

    w->move(37, 41);
    QRect frame = shown(TPosition::poDesigned);
    EXPECT_EQ(frame.topLeft(), QPoint(37, 41));
    EXPECT_EQ(w->size(), QSize(200, 100));
    // The size the content asks for (its control with the same room around it), where it was put.
    frame = shown(TPosition::poDefaultSizeOnly);
    EXPECT_EQ(frame.topLeft(), QPoint(37, 41));
    EXPECT_EQ(w->size(), QSize(120, 50));
    shown(TPosition::poDefault);
    EXPECT_EQ(w->size(), QSize(120, 50));
    shown(TPosition::poDefaultPosOnly);
    EXPECT_EQ(w->size(), QSize(200, 100)) << "the designed size again";

    // Over a window at the screen's edge the popup stays on the screen.
    owner.move(screen.right() - 100, screen.bottom() - 50);
    EXPECT_TRUE(screen.contains(shown(TPosition::poOwnerFormCenter)));

    // Without a shown main window or an owner window: the screen's centre.
    mainWindow.hide();
    EXPECT_TRUE(near(shown(TPosition::poMainFormCenter).center(), screen.center()));
    TQXPanelForm ownerless;
    auto* other = new TQXDesignPanel();
    other->resize(200, 100);
    ownerless.setPanel(other);
    ownerless.FormConfig.Position = TPosition::poOwnerFormCenter;
    QPoint centre;
    whileShown(ownerless, [&] { centre = ownerless.PopupWindow()->frameGeometry().center(); });
    EXPECT_TRUE(near(centre, screen.center()));
}

TEST(PanelForm, TransparentColorSeesThroughOnlyItsPixels) {
    const auto painted = [](QWidget* w, QColor c) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, c);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    };
    TQXPanelForm form;
    auto* panel = new TQXDesignPanel();
    panel->resize(200, 100);
    painted(panel, QColor(0, 255, 0));
    auto* red = new QWidget(panel);
    red->setGeometry(20, 20, 50, 30);
    painted(red, Qt::red);
    auto* almost = new QWidget(panel);
    almost->setGeometry(100, 20, 50, 30);
    painted(almost, QColor(0, 254, 0));
    form.setPanel(panel);
    const auto shape = [&](bool on, QColor colour) {
        form.FormConfig.TransparentColor = on;
        form.FormConfig.TransparentColorValue = colour;
        QRegion mask;
        whileShown(form, [&] { mask = form.PopupWindow()->mask(); });
        return mask;
    };

    QRegion mask = shape(true, QColor(0, 255, 0));
    EXPECT_FALSE(mask.contains(QPoint(5, 5))) << "the panel's green";
    EXPECT_FALSE(mask.contains(QPoint(190, 90)));
    EXPECT_TRUE(mask.contains(QPoint(30, 30))) << "red stays";
    EXPECT_TRUE(mask.contains(QPoint(110, 30))) << "a green one step off stays";
    EXPECT_FALSE(form.PopupWindow()->testAttribute(Qt::WA_TranslucentBackground));

    EXPECT_TRUE(shape(false, QColor(0, 255, 0)).isEmpty()) << "off: no mask, all of the window shows";
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
