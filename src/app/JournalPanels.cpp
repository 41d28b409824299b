#include "app/JournalPanels.h"

#include "app/WidgetKit.h"
#include "util/TextCodec.h"
#include "widgets/DesignScale.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace vek {

using namespace ui;

const QColor& JournalPanels::amber() {
    static const QColor c(255, 160, 0);
    return c;
}

namespace {
constexpr int kConnectionHeight = 48;
constexpr int kTitleHeight = 34;
constexpr int kListHeight = 150;
} // namespace

JournalPanels::JournalPanels(QWidget* window, QBoxLayout* outer, widgets::DesignScale& scale) {
    pnConexao = panel(window, "pnConexao", QString(), makeFont(kSerif, 35), Qt::white);
    scale.SetFont(pnConexao, pnConexao->baseFont());
    pnConexao->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setColors(pnConexao, Qt::white, amber());
    scale.SetFixedHeight(pnConexao, kConnectionHeight);
    pnConexao->hide();
    outer->insertWidget(0, pnConexao);

    pnRecusasTardias = frame(window, "pnRecusasTardias");
    auto* box = new QVBoxLayout(pnRecusasTardias);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* title = panel(pnRecusasTardias, "lbRecusasTardias", QString::fromUtf8("Leituras recusadas após a reconexão"),
                        makeFont(kSerif, 27), Qt::white);
    setColors(title, Qt::white, kRed);
    scale.SetFont(title, title->baseFont());
    scale.SetFixedHeight(title, kTitleHeight);
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    box->addWidget(title);
    dbgRecusasTardias = new QTableWidget(0, 3, pnRecusasTardias);
    dbgRecusasTardias->setObjectName(QStringLiteral("dbgRecusasTardias"));
    scale.SetFont(dbgRecusasTardias, makeFont(kSans, 19));
    dbgRecusasTardias->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgRecusasTardias->setFocusPolicy(Qt::NoFocus);
    dbgRecusasTardias->verticalHeader()->hide();
    dbgRecusasTardias->horizontalHeader()->hide();
    dbgRecusasTardias->horizontalHeader()->setStretchLastSection(true);
    dbgRecusasTardias->setColumnWidth(0, 260);
    dbgRecusasTardias->setColumnWidth(1, 200);
    scale.SetFixedHeight(dbgRecusasTardias, kListHeight);
    box->addWidget(dbgRecusasTardias);
    pnRecusasTardias->hide();
    outer->insertWidget(outer->count() - 1, pnRecusasTardias);
}

int JournalPanels::DesignHeight() const {
    return (pnConexao->isHidden() ? 0 : kConnectionHeight) +
           (pnRecusasTardias->isHidden() ? 0 : kTitleHeight + kListHeight);
}

void JournalPanels::ShowConnection(const std::string& text) {
    pnConexao->setText(toQString(text));
    pnConexao->setVisible(!text.empty());
}

void JournalPanels::ShowLateRefusals(const std::vector<LateRefusal>& lines) {
    dbgRecusasTardias->setRowCount(static_cast<int>(lines.size()));
    for (int r = 0; r < static_cast<int>(lines.size()); ++r) {
        const LateRefusal& l = lines[static_cast<std::size_t>(r)];
        int c = 0;
        for (const std::string* cell : {&l.code, &l.time, &l.reason}) {
            dbgRecusasTardias->setItem(r, c++, new QTableWidgetItem(toQString(*cell))); // owned by the table
        }
    }
    pnRecusasTardias->setVisible(!lines.empty());
}

} // namespace vek
