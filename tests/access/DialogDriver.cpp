#include "AccessFixtures.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

namespace vek::access::testing {

void whenChoiceDialogShown(std::function<void(QDialog&)> action) {
    auto* poll = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, action = std::move(action)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->objectName() == "frmSelecionarBanco" && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            action(*dialog);
        } else if (++*tries > 500) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "the choice dialog was not shown";
        }
    });
    poll->start(10);
}

} // namespace vek::access::testing
