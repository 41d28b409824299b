#include "platform/QtMessageBoxes.h"

#include "platform/StopSignals.h"

#include <QApplication>
#include <QMessageBox>

namespace vek {

namespace {

QMessageBox::Icon toQt(MessageBoxes::Icon icon) {
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBoxes::Icon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBoxes::show(Icon icon, const QString& title, const QString& text) {
    if (stopRequested()) {
        return; // a stopping station opens nothing that would wait for an operator
    }
    // On the stack: the box lives exactly as long as its modal loop.
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

} // namespace vek
