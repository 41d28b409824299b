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
/// Text colour, and the background when valid (then filled).
void setColors(QWidget* w, const QColor& text, const QColor& background = QColor());
/// A label whose font shrinks only when its text would not fit it otherwise.
widgets::FitLabel* panel(QWidget* parent, const char* name, const QString& text, const QFont& f, const QColor& color,
              Qt::Alignment align = Qt::AlignCenter, bool sunken = false);
QFrame* frame(QWidget* parent, const char* name);
/// The placeholder the picture controls carry from the design: a plain frame with a caption.
QImage designPicture();

} // namespace vek::ui
