#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

class QFrame;
class QWidget;

namespace vek::widgets {
class FitLabel;
}

namespace vek::ui {

// The design's fonts and colours, and small builders for the panels of the station's screens.
extern const QString kSerif;
extern const QString kSans;
extern const QColor kNavy;
extern const QColor kBlue;
extern const QColor kRed;
extern const QColor kGreen;
extern const QColor kLightYellow;

QFont makeFont(const QString& family, int pixels, bool bold = true);
/// Before the application object: glyphs up to the design's largest font (the day's counter, 107
/// pixels) are drawn from the glyph cache, not filled as outlines at every repaint. Unless the
/// environment sets QT_MAX_CACHED_GLYPH_SIZE itself.
void cacheLargeGlyphs();
/// Text colour, and the background when valid (then filled).
void setColors(QWidget* w, const QColor& text, const QColor& background = QColor());
/// A label whose font shrinks only when its text would not fit it otherwise.
widgets::FitLabel* panel(QWidget* parent, const char* name, const QString& text, const QFont& f, const QColor& color,
                         Qt::Alignment align = Qt::AlignCenter, bool sunken = false);
QFrame* frame(QWidget* parent, const char* name);
/// The placeholder the picture controls carry from the design: a plain frame with a caption.
QImage designPicture();

} // namespace vek::ui
