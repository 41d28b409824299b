#include "platform/QtMessageBoxes.h"
#include "platform/RecordingMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vek;
using Icon = MessageBoxes::Icon;

namespace {

TEST(RecordingMessageBoxes, KeepsEveryBoxInOrderUntilTaken) {
    RecordingMessageBoxes boxes;
    boxes.show(Icon::Warning, "Alerta", "primeiro");
    boxes.show(Icon::Error, "Erro", "segundo");
    const std::vector<RecordingMessageBoxes::Box> expected{{Icon::Warning, "Alerta", "primeiro"},
                                                           {Icon::Error, "Erro", "segundo"}};
    EXPECT_EQ(boxes.take(), expected);
    EXPECT_TRUE(boxes.take().empty());
}

struct SeenBox {
    bool modal = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
};

TEST(QtMessageBoxes, ModalBoxWithTitleIconAndOkOverTheActiveWindow) {
    const struct {
        Icon icon;
        QMessageBox::Icon qtIcon;
    } cases[] = {{Icon::Information, QMessageBox::Information},
                 {Icon::Warning, QMessageBox::Warning},
                 {Icon::Error, QMessageBox::Critical}};

    QWidget window;
    window.show();

    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.icon));
        // The offscreen platform does not hand the activation back when a box closes.
        QApplication::setActiveWindow(&window);
        SeenBox seen;
        bool closed = false;
        // Runs inside the box's modal loop: look at the box, then press OK like the operator.
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen = {box->isModal(), box->windowTitle(),     box->text(),
                    box->icon(),    box->standardButtons(), box->parentWidget()};
            box->button(QMessageBox::Ok)->click();
            closed = true;
        });
        QtMessageBoxes().show(c.icon, "Erro", "Erro ao atualizar a Etiqueta \"12\".\rfalhou");
        ASSERT_TRUE(closed);
        EXPECT_TRUE(seen.modal);
        EXPECT_EQ(seen.title, "Erro");
        EXPECT_EQ(seen.text, "Erro ao atualizar a Etiqueta \"12\".\rfalhou");
        EXPECT_EQ(seen.icon, c.qtIcon);
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(seen.parent, &window);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

} // namespace
