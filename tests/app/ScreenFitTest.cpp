// The main window on common shop-floor screens: within the screen, nothing that carries information
// clipped, in both display modes, with the recent-entries panel on and off.
#include "app/RecentEntriesPanel.h"
#include "app/TfrmQuilbar.h"
#include "enquiry/EnquiryPanels.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "util/TextCodec.h"
#include "widgets/DesignScale.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>

#include <gtest/gtest.h>

using namespace vek;
using widgets::FitLabel;
using widgets::FitLineEdit;

namespace {

struct Case {
    QSize screen;
    bool scanMode;
    bool feed;
};

std::string caseName(const testing::TestParamInfo<Case>& info) {
    const Case& c = info.param;
    return std::to_string(c.screen.width()) + "x" + std::to_string(c.screen.height()) + (c.scanMode ? "_Scan" : "") +
           (c.feed ? "_Feed" : "");
}

QScreen* screenOfSize(QSize size) {
    for (QScreen* s : QGuiApplication::screens()) {
        if (s->geometry().size() == size) return s;
    }
    return nullptr;
}

// Nothing of `w` lies outside a parent on its way up to the window.
void expectUnclipped(const QWidget* w, const QString& what) {
    for (const QWidget* c = w; c && !c->isWindow(); c = c->parentWidget()) {
        EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry()))
            << what.toStdString() << ": " << c->objectName().toStdString() << " passes its parent's edge";
    }
}

void expectShows(FitLabel* l, const QString& text) {
    l->setText(text);
    EXPECT_TRUE(widgets::TextFits(l->font(), text, l->contentsRect(), l->alignment(), l->wordWrap()))
        << l->objectName().toStdString() << " clips \"" << text.toStdString() << "\" at " << l->font().pixelSize()
        << " px in " << l->contentsRect().width() << "x" << l->contentsRect().height();
    expectUnclipped(l, text);
}

void expectShows(QLineEdit* e, const QString& text) {
    if (auto* fit = dynamic_cast<FitLineEdit*>(e))
        fit->setText(text);
    else
        e->setText(text);
    EXPECT_TRUE(
        widgets::TextFits(e->font(), text, widgets::LineEditTextRect(e), Qt::AlignLeft | Qt::AlignVCenter, false))
        << e->objectName().toStdString() << " clips \"" << text.toStdString() << "\"";
    expectUnclipped(e, text);
}

template <class T>
T* child(const QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(c) << name;
    return c;
}

class ScreenFit : public testing::TestWithParam<Case> {};

TEST_P(ScreenFit, WindowLiesWithinTheScreenAndShowsItsLongestTextsWhole) {
    const Case& c = GetParam();
    QScreen* screen = screenOfSize(c.screen);
    ASSERT_TRUE(screen) << "the test platform lacks the screen";
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    TfrmQuilbar w(Platform{&tones, &boxes, [](int) {}}, "/nonexistent.INI", "/nonexistent");
    w.setScreen(screen);
    w.move(screen->availableGeometry().topLeft());
    // What start-up leaves: the feed's panel, pictures on, the operator line, sector mode's hint.
    w.SetSidePanelWidth(c.feed ? 500 : 0);
    w.ShowPictureArea(true);
    w.ShowOperatorAndSector(
        fromQString(QString::fromUtf8("FUNCIONÁRIO: 000101 - JOÃO CARLOS DA SILVA PEREIRA    SETOR: 40 - EXPEDIÇÃO")));
    w.ApplyScanModeLayout(c.scanMode, true, false);
    w.showMaximized();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

    EXPECT_TRUE(screen->availableGeometry().contains(w.frameGeometry()))
        << "frame " << w.frameGeometry().width() << "x" << w.frameGeometry().height();

    expectShows(child<FitLabel>(w, "pnEsteira"), QStringLiteral("10/12/26  -  14:33  -  ESTEIRA 99"));
    expectShows(child<QLineEdit>(w, "edCodBar"), QStringLiteral("4294967295"));
    for (auto [caption, field, text] : {std::tuple{"lbProd", "edProd", "PR102030"},
                                        {"lbPad", "edPad", "00012 PRETO/BRANCO NAPA CROCO"},
                                        {"lbTam", "edTam", "44/45"},
                                        {"lbTotEtiq", "edTotEtiq", "1234/1234"},
                                        {"lbProg", "edProg", "000123"},
                                        {"lbFicha", "edFicha", "0001/001"}}) {
        FitLabel* l = child<FitLabel>(w, caption);
        expectShows(l, l->text());
        expectShows(child<QLineEdit>(w, field), QString::fromLatin1(text));
    }
    expectShows(child<FitLabel>(w, "pnFuncSetor"), child<FitLabel>(w, "pnFuncSetor")->text());
    expectShows(child<FitLabel>(w, "pnMens"),
                QString::fromUtf8("Código \"4.294.967.295\" já baixado em 10/12/2026 14:33"));
    expectShows(child<FitLabel>(w, "pnMens"),
                QString::fromUtf8("Código com data Emissão 10/12/26 maior que 9.999 dias."));

    // The product picture, whole in its frame and over no field.
    auto* picture = child<widgets::PictureLabel>(w, "imgProdAtu");
    EXPECT_TRUE(picture->isVisible());
    expectUnclipped(picture, QStringLiteral("picture"));
    EXPECT_LE(picture->pixmap().width(), picture->width());
    EXPECT_LE(picture->pixmap().height(), picture->height());
    for (const char* field : {"edProd", "edPad", "edTam", "edTotEtiq", "edProg", "edFicha"}) {
        EXPECT_FALSE(picture->geometry().intersects(child<QWidget>(w, field)->geometry())) << field;
    }

    if (!c.scanMode) {
        expectShows(child<FitLabel>(w, "pnProducaoDia"), QString::fromUtf8("Produção Dia"));
        expectShows(child<FitLabel>(w, "pnQtParesDia"), QStringLiteral("999.999"));
        expectShows(child<FitLabel>(w, "pnConsultaEtiq"), child<FitLabel>(w, "pnConsultaEtiq")->text());
        for (auto [name, text] : {std::pair{"pnQtParesDiaAnt", "Produção dia Ant: 999.999"},
                                  {"pnQtParesMes", "Produção do Mês: 999.999"},
                                  {"pnQtParCancDiaAnt", "Cancelados dia Ant: 999.999"},
                                  {"pnQtParCancMes", "Cancelados do Mês: 999.999"},
                                  {"pnTotQtParDiaAnt", "Total dia Ant: 999.999"},
                                  {"pnTotQtParMes", "Total do Mês: 999.999"}}) {
            expectShows(child<FitLabel>(w, name), QString::fromUtf8(text));
        }
        // The hourly grid's columns hold their headings and the widest values.
        auto* grid = child<QTableView>(w, "dbgProducaoHora");
        expectUnclipped(grid, QStringLiteral("grid"));
        const QFontMetrics fm(grid->font());
        const QHeaderView* h = grid->horizontalHeader();
        for (auto [column, text] : {std::pair{0, "23:00 as 23:59"}, {1, "999999"}}) {
            const QString heading = grid->model()->headerData(column, Qt::Horizontal).toString();
            EXPECT_LE(std::max(fm.horizontalAdvance(QString::fromLatin1(text)), fm.horizontalAdvance(heading)) + 8,
                      h->sectionSize(column))
                << "column " << column;
        }
    }

    if (c.feed) {
        // An entry's captions and values on their lines, within the entry.
        auto* feed = child<QListView>(w, "dbcgUltEnt");
        expectUnclipped(feed, QStringLiteral("feed"));
        const double factor = double(feed->parentWidget()->width()) / 500;
        const QRect entry(0, 0, feed->viewport()->width(), feed->viewport()->height() / 5);
        const QStringList values = {QStringLiteral("000123"),
                                    QStringLiteral("0001"),
                                    QStringLiteral("1.234"),
                                    QStringLiteral("PR102030"),
                                    QStringLiteral("CALCADOS CEDRO"),
                                    QStringLiteral("PRETO/BRANCO NAPA"),
                                    QStringLiteral("PALMILHA COM LOGO CEDRO")};
        for (const auto& t : RecentEntryDelegate::LayoutEntry(entry, values, factor)) {
            EXPECT_TRUE(entry.contains(t.rect)) << t.text.toStdString();
            EXPECT_TRUE(widgets::TextFits(t.font, t.text, t.rect, Qt::AlignLeft | Qt::AlignVCenter, false))
                << t.text.toStdString();
        }
    }

    // The label enquiry's panel fits the same screen.
    if (!c.scanMode) {
        enquiry::TEnquiryPanel enquiry(w.station().enquiry(), w.station().cancellation(), &w);
        QWidget* popup = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QStringLiteral("pfConsultaEtiq")) popup = top;
        }
        ASSERT_TRUE(popup);
        EXPECT_LE(popup->width(), screen->availableGeometry().width());
        EXPECT_LE(popup->height(), screen->availableGeometry().height());
    }
}

std::vector<Case> cases() {
    std::vector<Case> out;
    for (QSize s : {QSize(1280, 1024), QSize(1366, 768), QSize(1600, 900), QSize(1920, 1080)}) {
        for (bool scan : {false, true}) {
            for (bool feed : {false, true}) out.push_back({s, scan, feed});
        }
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(CommonScreens, ScreenFit, testing::ValuesIn(cases()), caseName);

} // namespace
