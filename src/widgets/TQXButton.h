#pragma once

#include "widgets/TQXImageList.h"

#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QString>

namespace vek::widgets {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

/// Where the picture and the caption go inside a button's content rectangle.
struct ButtonLayoutResult {
    QRect glyph;
    QRect caption;
};
ButtonLayoutResult layoutGlyphAndCaption(const QRect& client, QSize glyph, QSize caption, TButtonLayout layout,
                                         int margin, int spacing, bool rightToLeft);

/// The picture of a disabled button: every pixel grey (the mean of its channels), then raised by
/// `contrastPercent` of itself, clipped to 0..255.
QImage disabledPicture(const QImage& picture, int contrastPercent);

/// The suite's push button: a PNG picture beside its caption, taken by action from an image list
/// or its own icon; a plain push button when it has neither.
class TQXButton : public QPushButton {
    Q_OBJECT
public:
    explicit TQXButton(QWidget* parent = nullptr);

    void setIcon(const QImage& png);
    const QImage& Icon() const { return m_icon; }
    void setImageList(TQXImageList* list);
    TQXImageList* ImageList() const { return m_list; }
    void setImageIndex(int index);
    int ImageIndex() const { return m_imageIndex; }
    void setAction(const QString& action);
    const QString& Action() const { return m_action; }
    int ActionImageIndex() const { return m_actionImageIndex; }

    TButtonLayout Layout = TButtonLayout::blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;

    /// Whether the button draws itself (a picture of its own or an image list), not the platform.
    bool ownDrawing() const { return m_icon.width() > 0 || m_list; }
    /// The picture drawn now, for the enabled state or not; null when none.
    QImage currentPicture() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_icon;
    QPointer<TQXImageList> m_list;
    int m_imageIndex = -1;
    QString m_action;
    int m_actionImageIndex = -1;
};

} // namespace vek::widgets
