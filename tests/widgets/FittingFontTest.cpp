#include "widgets/DesignScale.h"

#include <QFont>

#include <gtest/gtest.h>

using namespace vek::widgets;

namespace {

// A counter's texts grow and shrink scan after scan; starting from the size shown must give what
// the full search gives, whichever way the text went.
TEST(FittingFont, StartingFromTheShownSizeGivesTheSearchsSize) {
    for (const bool pixels : {false, true}) {
        QFont base(QStringLiteral("DejaVu Sans"));
        if (pixels) {
            base.setPixelSize(40);
        } else {
            base.setPointSizeF(30);
        }
        const QRect room(0, 0, 260, 60);
        const QStringList texts{"9",
                                "Total do Mês: 1.234",
                                "Total do Mês: 12.345",
                                "Total do Mês: 9",
                                "Total do Mês: 123.456.789",
                                "Produção do Mês: 98.765",
                                "1.000",
                                "Total do Mês: 12.346"};
        QFont shown = base;
        for (const QString& text : texts) {
            SCOPED_TRACE(text.toStdString() + (pixels ? " (pixels)" : " (points)"));
            const QFont searched = FittingFont(base, text, room, Qt::AlignCenter, false);
            const QFont fromShown = FittingFont(base, text, room, Qt::AlignCenter, false, 0.4, &shown);
            EXPECT_EQ(fromShown, searched);
            shown = searched;
        }
    }
}

} // namespace
