#include "widgets/TQXButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace vek::widgets {

QImage disabledPicture(const QImage& picture, int contrastPercent) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            int grey = (qRed(p) + qGreen(p) + qBlue(p)) / 3;
            grey = std::clamp(grey + grey * contrastPercent / 100, 0, 255);
            line[x] = qRgba(grey, grey, grey, qAlpha(p));
        }
    }
    return out;
}

ButtonLayoutResult layoutGlyphAndCaption(const QRect& client, QSize glyph, QSize caption, TButtonLayout layout,
                                         int margin, int spacing, bool rightToLeft) {
    if (rightToLeft) {
        if (layout == TButtonLayout::blGlyphLeft)
            layout = TButtonLayout::blGlyphRight;
        else if (layout == TButtonLayout::blGlyphRight)
            layout = TButtonLayout::blGlyphLeft;
    }
    const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
    if (caption.isEmpty() || glyph.isEmpty()) spacing = 0;
    const int total = horizontal ? client.width() : client.height();
    const int g = horizontal ? glyph.width() : glyph.height();
    const int t = horizontal ? caption.width() : caption.height();
    if (margin == -1) {
        if (spacing == -1) {
            const int third = (total - (g + t)) / 3;
            margin = third;
            spacing = third;
        } else {
            margin = (total - (g + spacing + t)) / 2;
        }
    } else if (spacing == -1) {
        spacing = (total - (margin + g) - t) / 2;
    }
    // Offsets along the main axis from the side the picture sits on.
    const int glyphPos = margin;
    const int textPos = margin + g + spacing;
    ButtonLayoutResult r;
    QPoint gp, tp;
    switch (layout) {
    case TButtonLayout::blGlyphLeft:
        gp = {client.left() + glyphPos, client.top() + (client.height() - glyph.height()) / 2};
        tp = {client.left() + textPos, client.top() + (client.height() - caption.height()) / 2};
        break;
    case TButtonLayout::blGlyphRight:
        gp = {client.right() + 1 - glyphPos - glyph.width(), client.top() + (client.height() - glyph.height()) / 2};
        tp = {client.right() + 1 - textPos - caption.width(), client.top() + (client.height() - caption.height()) / 2};
        break;
    case TButtonLayout::blGlyphTop:
        gp = {client.left() + (client.width() - glyph.width()) / 2, client.top() + glyphPos};
        tp = {client.left() + (client.width() - caption.width()) / 2, client.top() + textPos};
        break;
    case TButtonLayout::blGlyphBottom:
        gp = {client.left() + (client.width() - glyph.width()) / 2, client.bottom() + 1 - glyphPos - glyph.height()};
        tp = {client.left() + (client.width() - caption.width()) / 2, client.bottom() + 1 - textPos - caption.height()};
        break;
    }
    r.glyph = QRect(gp, glyph);
    r.caption = QRect(tp, caption);
    return r;
}

TQXButton::TQXButton(QWidget* parent) : QPushButton(parent) {}

void TQXButton::setIcon(const QImage& png) {
    m_icon = png.copy();
    update();
}

void TQXButton::setAction(const QString& action) {
    const QString upper = action.toUpper();
    const int index = m_list ? m_list->indexOfAction(upper) : -1;
    if (index >= 0) {
        m_action = upper;
        m_actionImageIndex = index;
        m_imageIndex = -1;
    } else {
        m_action = action;
        m_actionImageIndex = -1;
    }
    update();
}

void TQXButton::setImageIndex(int index) {
    index = std::max(index, -1);
    if (m_list && index >= 0 && index < static_cast<int>(m_list->Images.size()) &&
        !m_list->Images[static_cast<std::size_t>(index)].Action().isEmpty()) {
        setAction(m_list->Images[static_cast<std::size_t>(index)].Action());
        m_imageIndex = -1;
    } else {
        m_imageIndex = index;
    }
    update();
}

void TQXButton::setImageList(TQXImageList* list) {
    m_list = list;
    if (!m_action.isEmpty())
        setAction(m_action);
    else if (m_imageIndex >= 0)
        setImageIndex(m_imageIndex);
    update();
}

QImage TQXButton::currentPicture() const {
    if (!m_list) return m_icon;
    const auto count = static_cast<int>(m_list->Images.size());
    if (m_actionImageIndex >= 0 && m_actionImageIndex < count) {
        const TQXImageItem& item = m_list->Images[static_cast<std::size_t>(m_actionImageIndex)];
        return isEnabled() ? item.Image() : disabledPicture(item.Image(), item.DisableContrast);
    }
    if (m_imageIndex >= 0 && m_imageIndex < count) {
        const QImage& image = m_list->Images[static_cast<std::size_t>(m_imageIndex)].Image();
        if (image.width() > 0) return image;
    }
    return {};
}

void TQXButton::paintEvent(QPaintEvent* e) {
    if (!ownDrawing()) {
        QPushButton::paintEvent(e);
        return;
    }
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    p.drawControl(QStyle::CE_PushButtonBevel, option);
    QRect content = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const bool pressed = isDown();
    if (pressed) content.translate(1, 0);

    const QImage picture = currentPicture();
    QSize glyph;
    if (!picture.isNull()) glyph = m_list ? QSize(m_list->Width, m_list->Height) : m_icon.size();
    const QSize captionSize = text().isEmpty() ? QSize() : fontMetrics().size(Qt::TextShowMnemonic, text());
    const ButtonLayoutResult place = layoutGlyphAndCaption(content, glyph, captionSize, Layout, Margin, Spacing,
                                                           layoutDirection() == Qt::RightToLeft);
    if (!picture.isNull()) p.drawImage(place.glyph, picture);
    if (!text().isEmpty()) {
        if (isEnabled()) {
            p.setPen(palette().color(QPalette::ButtonText));
            p.drawText(place.caption, Qt::AlignCenter | Qt::TextShowMnemonic, text());
        } else {
            p.setPen(palette().color(QPalette::Light));
            p.drawText(place.caption.translated(1, 1), Qt::AlignCenter | Qt::TextShowMnemonic, text());
            p.setPen(palette().color(QPalette::Dark));
            p.drawText(place.caption, Qt::AlignCenter | Qt::TextShowMnemonic, text());
        }
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = content;
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace vek::widgets
