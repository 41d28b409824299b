// Image list entries and the image button's action and index rules, its drawing choice and the
// picture of a disabled button.
#include "widgets/StandardImages.h"
#include "widgets/TQXButton.h"

#include <QImage>
#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

using namespace vek::widgets;

namespace {

QImage filled(QColor c, int w = 16, int h = 16) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// GRAVAR, FECHAR, (no action), EXCLUIR, LOG; each picture its own colour.
void fill(TQXImageList& list) {
    const char* actions[] = {"gravar", "Fechar", "", "EXCLUIR", "log"};
    int i = 0;
    for (const char* a : actions) {
        TQXImageItem item;
        item.setAction(QString::fromLatin1(a));
        item.Caption = QStringLiteral("c%1").arg(i);
        item.setImage(filled(QColor(i * 40, 10, 200)));
        item.DisableContrast = 50;
        list.Images.push_back(item);
        ++i;
    }
}

TEST(ImageList, ActionsAreStoredUpperCaseAndItemsCopyWhole) {
    TQXImageList list;
    EXPECT_EQ(list.Width, 16);
    EXPECT_EQ(list.Height, 16);
    fill(list);
    EXPECT_EQ(list.Images[0].Action(), QStringLiteral("GRAVAR"));
    EXPECT_EQ(list.Images[0].displayName(), QStringLiteral("GRAVAR"));
    EXPECT_EQ(list.Images[1].Action(), QStringLiteral("FECHAR"));
    EXPECT_EQ(list.indexOfAction(QStringLiteral("LOG")), 4);
    EXPECT_EQ(list.indexOfAction(QStringLiteral("log")), -1) << "looked up by the upper-case name";

    const TQXImageItem copy = list.Images[3];
    EXPECT_EQ(copy.Action(), QStringLiteral("EXCLUIR"));
    EXPECT_EQ(copy.Caption, QStringLiteral("c3"));
    EXPECT_EQ(copy.DisableContrast, 50);
    EXPECT_EQ(copy.Image(), list.Images[3].Image());

    // Setting a picture copies it: painting the original afterwards leaves the item's alone.
    QImage original = filled(Qt::green);
    TQXImageItem item;
    item.setImage(original);
    original.fill(Qt::black);
    EXPECT_EQ(item.Image().pixelColor(0, 0), QColor(Qt::green));
}

TEST(ImageList, TheSuitesStandardPictures) {
    TQXImageList list;
    list.Images.resize(3); // replaced, not added to
    FillStandardImages(list);
    ASSERT_EQ(list.Images.size(), 64u);
    EXPECT_EQ(QSize(list.Width, list.Height), QSize(16, 16));
    QSet<QString> actions;
    int withoutAction = 0;
    for (std::size_t i = 0; i < list.Images.size(); ++i) {
        SCOPED_TRACE(i);
        const TQXImageItem& item = list.Images[i];
        EXPECT_EQ(item.Image().size(), QSize(16, 16));
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(item.Image(), list.Images[j].Image()) << "same as " << j;
        if (item.Action().isEmpty())
            ++withoutAction;
        else
            EXPECT_FALSE(actions.contains(item.Action())) << item.Action().toStdString() << " twice";
        actions.insert(item.Action());
    }
    EXPECT_EQ(withoutAction, 1);
    for (const char* a : {"GRAVAR", "FECHAR", "OK", "CANCELAR", "PESQUISAR", "IMPRIMIR", "LOG"})
        EXPECT_TRUE(actions.contains(QString::fromLatin1(a))) << a;

    TQXButton button;
    button.setImageList(&list);
    button.setAction(QStringLiteral("gravar"));
    EXPECT_EQ(button.Action(), QStringLiteral("GRAVAR"));
    ASSERT_GE(button.ActionImageIndex(), 0);
    EXPECT_EQ(button.currentPicture(), list.Images[static_cast<std::size_t>(button.ActionImageIndex())].Image());
}

TEST(ImageButton, ActionAndIndexRules) {
    TQXImageList list;
    fill(list);
    struct Row {
        const char* name;
        std::function<void(TQXButton&)> act;
        const char* action;
        int index;
        int actionIndex;
    } rows[] = {
        {"action Gravar with the list",
         [&](TQXButton& b) {
             b.setImageList(&list);
             b.setAction("Gravar");
         },
         "GRAVAR", -1, 0},
        {"unknown action kept unchanged",
         [&](TQXButton& b) {
             b.setImageList(&list);
             b.setAction("Salvar");
         },
         "Salvar", -1, -1},
        {"action without a list kept unchanged", [](TQXButton& b) { b.setAction("Log"); }, "Log", -1, -1},
        {"index 3 takes EXCLUIR",
         [&](TQXButton& b) {
             b.setImageList(&list);
             b.setImageIndex(3);
         },
         "EXCLUIR", -1, 3},
        {"index of an entry without action is stored",
         [&](TQXButton& b) {
             b.setImageList(&list);
             b.setImageIndex(2);
         },
         "", 2, -1},
        {"index past the list is stored",
         [&](TQXButton& b) {
             b.setImageList(&list);
             b.setImageIndex(9);
         },
         "", 9, -1},
        {"index -5 counts as -1", [](TQXButton& b) { b.setImageIndex(-5); }, "", -1, -1},
        {"index before the list: taken when connected",
         [&](TQXButton& b) {
             b.setImageIndex(1);
             b.setImageList(&list);
         },
         "FECHAR", -1, 1},
        {"action before the list: matched when connected",
         [&](TQXButton& b) {
             b.setAction("log");
             b.setImageList(&list);
         },
         "LOG", -1, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TQXButton button;
        r.act(button);
        EXPECT_EQ(button.Action(), QString::fromLatin1(r.action));
        EXPECT_EQ(button.ImageIndex(), r.index);
        EXPECT_EQ(button.ActionImageIndex(), r.actionIndex);
    }
}

TEST(ImageButton, DrawingChoiceAndPictures) {
    TQXImageList list;
    fill(list);
    TQXButton plain;
    plain.setAction(QStringLiteral("LOG"));
    EXPECT_FALSE(plain.ownDrawing()) << "no list, no icon: the platform's push button";
    EXPECT_TRUE(plain.currentPicture().isNull());

    TQXButton withIcon;
    withIcon.setIcon(filled(Qt::red, 20, 12));
    EXPECT_TRUE(withIcon.ownDrawing());
    EXPECT_EQ(withIcon.currentPicture().size(), QSize(20, 12));

    TQXButton fromList;
    fromList.setImageList(&list);
    fromList.setAction(QStringLiteral("gravar"));
    EXPECT_TRUE(fromList.ownDrawing());
    EXPECT_EQ(fromList.currentPicture(), list.Images[0].Image());
    fromList.setEnabled(false);
    const QImage greyed = fromList.currentPicture();
    const QColor c = list.Images[0].Image().pixelColor(0, 0);
    const int grey = (c.red() + c.green() + c.blue()) / 3;
    EXPECT_EQ(greyed.pixelColor(0, 0), QColor(grey + grey / 2, grey + grey / 2, grey + grey / 2));

    // A picture chosen by position looks the same whether enabled or not.
    TQXButton byIndex;
    byIndex.setImageList(&list);
    byIndex.setImageIndex(2);
    byIndex.setEnabled(false);
    EXPECT_EQ(byIndex.currentPicture(), list.Images[2].Image());
}

QImage rendered(QWidget& w) {
    w.resize(80, 30);
    QImage target(80, 30, QImage::Format_ARGB32);
    target.fill(Qt::transparent);
    w.render(&target);
    return target;
}

int pixelsOf(const QImage& img, QColor c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == c;
    return n;
}

TEST(ImageButton, PaintsThePictureItChose) {
    TQXImageList list;
    TQXImageItem red;
    red.setAction(QStringLiteral("GRAVAR"));
    red.setImage(filled(Qt::red));
    red.DisableContrast = 50;
    list.Images.push_back(red);
    const QColor grey127(127, 127, 127);

    TQXButton button;
    button.setImageList(&list);
    button.setAction(QStringLiteral("Gravar"));
    QImage shot = rendered(button);
    EXPECT_EQ(pixelsOf(shot, Qt::red), 16 * 16) << "the whole picture, enabled";
    EXPECT_EQ(pixelsOf(shot, grey127), 0);

    // Disabled: red is grey 85 raised by half, every pixel of the picture.
    button.setEnabled(false);
    shot = rendered(button);
    EXPECT_EQ(pixelsOf(shot, grey127), 16 * 16);
    EXPECT_EQ(pixelsOf(shot, Qt::red), 0);

    // Without list or icon the action names no picture: the platform's own push button.
    TQXButton plain;
    plain.setAction(QStringLiteral("GRAVAR"));
    plain.setText(QStringLiteral("Fechar"));
    QPushButton platform(QStringLiteral("Fechar"));
    EXPECT_EQ(rendered(plain), rendered(platform));
}

TEST(ImageButton, DisabledPictureIsGreyRaisedAndClipped) {
    struct Row {
        QColor in;
        int contrast;
        int out;
    } rows[] = {
        {QColor(255, 0, 0), 50, 127},                                    // grey 85 raised by half
        {QColor(255, 0, 0), 0, 85},    {QColor(200, 200, 200), 50, 255}, // 300 clipped
        {QColor(10, 20, 30), 100, 40}, {QColor(0, 0, 0), 80, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.in.name().toStdString() + " " + std::to_string(r.contrast));
        QImage img = filled(r.in, 2, 2);
        img.setPixelColor(1, 1, QColor(r.in.red(), r.in.green(), r.in.blue(), 100));
        const QImage out = disabledPicture(img, r.contrast);
        EXPECT_EQ(out.pixelColor(0, 0), QColor(r.out, r.out, r.out));
        EXPECT_EQ(out.pixelColor(1, 1).alpha(), 100) << "transparency kept";
    }
}

TEST(ImageButton, LayoutOfPictureAndCaption) {
    const QRect client(0, 0, 100, 30);
    const QSize glyph(16, 16), caption(40, 14);
    struct Row {
        const char* name;
        TButtonLayout layout;
        int margin, spacing;
        bool rtl;
        QPoint glyphAt, captionAt;
    } rows[] = {
        // Equal thirds: (100 - 56) / 3 = 14 before, between and after.
        {"centred in thirds", TButtonLayout::blGlyphLeft, -1, -1, false, {14, 7}, {44, 8}},
        // Centred pair at spacing 4: (100 - 60) / 2 = 20.
        {"centred at a spacing", TButtonLayout::blGlyphLeft, -1, 4, false, {20, 7}, {40, 8}},
        // Picture at margin 2, caption centred in the rest: 18 + (82 - 40) / 2 = 39.
        {"margin, centred caption", TButtonLayout::blGlyphLeft, 2, -1, false, {2, 7}, {39, 8}},
        {"picture right", TButtonLayout::blGlyphRight, -1, 4, false, {64, 7}, {20, 8}},
        {"left becomes right for right-to-left", TButtonLayout::blGlyphLeft, -1, 4, true, {64, 7}, {20, 8}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const ButtonLayoutResult p =
            layoutGlyphAndCaption(client, glyph, caption, r.layout, r.margin, r.spacing, r.rtl);
        EXPECT_EQ(p.glyph.topLeft(), r.glyphAt);
        EXPECT_EQ(p.caption.topLeft(), r.captionAt);
    }
    // Above the caption: centred across, stacked down at spacing 4: (60 - 34) / 2 = 13.
    const ButtonLayoutResult top =
        layoutGlyphAndCaption(QRect(0, 0, 100, 60), glyph, caption, TButtonLayout::blGlyphTop, -1, 4, false);
    EXPECT_EQ(top.glyph.topLeft(), QPoint(42, 13));
    EXPECT_EQ(top.caption.topLeft(), QPoint(30, 33));
    // Without a caption the spacing is 0.
    const ButtonLayoutResult alone =
        layoutGlyphAndCaption(client, glyph, QSize(), TButtonLayout::blGlyphLeft, -1, 4, false);
    EXPECT_EQ(alone.glyph.topLeft(), QPoint(42, 7));
}

} // namespace
