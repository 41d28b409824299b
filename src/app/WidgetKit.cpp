#include "app/WidgetKit.h"

#include "widgets/DesignScale.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace vek::ui {

const QString kSerif = QStringLiteral("Liberation Serif");
const QString kSans = QStringLiteral("Liberation Sans");
const QColor kNavy(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kLightYellow(255, 255, 164);

QFont makeFont(const QString& family, int pixels, bool bold) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void cacheLargeGlyphs() {
    // Qt fills glyphs above 64 pixels as paths: a counter that changes at every scan cost a
    // tenth of a millisecond per paint that way.
    if (qEnvironmentVariableIsEmpty("QT_MAX_CACHED_GLYPH_SIZE")) {
        qputenv("QT_MAX_CACHED_GLYPH_SIZE", "128");
    }
}

void setColors(QWidget* w, const QColor& text, const QColor& background) {
    const QPalette& now = w->palette();
    if (now.color(QPalette::WindowText) == text && now.color(QPalette::Text) == text &&
        w->autoFillBackground() == background.isValid() &&
        (!background.isValid() ||
         (now.color(QPalette::Window) == background && now.color(QPalette::Base) == background))) {
        return; // a palette set again is sent to every child and repainted
    }
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    if (background.isValid()) {
        p.setColor(QPalette::Window, background);
        p.setColor(QPalette::Base, background);
    }
    w->setPalette(p);
    w->setAutoFillBackground(background.isValid());
}

widgets::FitLabel* panel(QWidget* parent, const char* name, const QString& text, const QFont& f, const QColor& color,
                         Qt::Alignment align, bool sunken) {
    auto* l = new widgets::FitLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(align);
    l->setBaseFont(f);
    l->setText(text);
    setColors(l, color);
    if (sunken) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    return l;
}

QFrame* frame(QWidget* parent, const char* name) {
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    return f;
}

QImage designPicture() {
    QImage img(240, 160, QImage::Format_RGB32);
    img.fill(QColor(235, 235, 235));
    QPainter p(&img);
    p.setPen(QColor(120, 120, 120));
    p.drawRect(0, 0, img.width() - 1, img.height() - 1);
    p.setFont(makeFont(kSans, 18));
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("SEM IMAGEM"));
    return img;
}

} // namespace vek::ui
