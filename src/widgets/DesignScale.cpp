#include "widgets/DesignScale.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLayout>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>

#include <algorithm>
#include <cmath>

namespace vek::widgets {

double FitFactor(QSize design, QSize available) {
    if (design.width() < 1 || design.height() < 1 || available.width() < 1 || available.height() < 1) {
        return 1.0;
    }
    const double w = double(available.width()) / design.width();
    const double h = double(available.height()) / design.height();
    return std::min({w, h, 1.0});
}

QRect InkRect(const QFont& f, const QString& text, const QRect& room, Qt::Alignment align) {
    const QFontMetrics fm(f);
    const int advance = fm.horizontalAdvance(text);
    const QRect ink = fm.tightBoundingRect(text);
    int x = room.left();
    if (align & Qt::AlignRight) {
        x = room.left() + room.width() - advance;
    } else if (align & Qt::AlignHCenter) {
        x = room.left() + (room.width() - advance) / 2;
    }
    const int line = fm.ascent() + fm.descent();
    int baseline = room.top() + (room.height() - line) / 2 + fm.ascent();
    if (align & Qt::AlignTop) {
        baseline = room.top() + fm.ascent();
    } else if (align & Qt::AlignBottom) {
        baseline = room.top() + room.height() - fm.descent();
    }
    return ink.translated(x, baseline);
}

bool TextFits(const QFont& f, const QString& text, const QRect& room, Qt::Alignment align, bool wrap) {
    if (text.isEmpty()) {
        return true;
    }
    const QFontMetrics fm(f);
    if (wrap) {
        const QRect used = fm.boundingRect(room, int(align) | Qt::TextWordWrap, text);
        return used.width() <= room.width() && used.height() <= room.height();
    }
    const int advance = fm.horizontalAdvance(text);
    if (advance > room.width()) {
        return false;
    }
    // Well inside its room, with no glyph at either end reaching past its advance, a text's ink is
    // inside too: the exact (and costly) ink is measured only near the edges.
    const int margin = fm.height() / 4;
    if (advance + 2 * margin <= room.width() && fm.height() + 2 * margin <= room.height() &&
        fm.leftBearing(text.front()) >= 0 && fm.rightBearing(text.back()) >= 0) {
        return true;
    }
    return room.contains(InkRect(f, text, room, align));
}

QFont FittingFont(const QFont& base, const QString& text, const QRect& room, Qt::Alignment align, bool wrap,
                  double floor, const QFont* near) {
    if (TextFits(base, text, room, align, wrap)) {
        return base;
    }
    QFont f = base;
    const bool pixels = base.pixelSize() > 0;
    const double size = pixels ? base.pixelSize() : base.pointSizeF();
    const double step = pixels ? 1.0 : 0.5;
    const double least = std::max(step, size * floor);
    auto sized = [&](int steps) {
        const double s = size - steps * step;
        if (pixels) {
            f.setPixelSize(int(s));
        } else {
            f.setPointSizeF(s);
        }
        return f;
    };
    // Each try lays the text out anew, and a counter or a message changes with every scan: the
    // largest size whose text is not too wide (or, wrapped, too tall) is found by halving, as that
    // only shrinks with the size; from there down, the first size whose ink is inside too.
    auto roomy = [&](const QFont& g) {
        return wrap ? TextFits(g, text, room, align, true) : QFontMetrics(g).horizontalAdvance(text) <= room.width();
    };
    const int most = int((size - least) / step + 1e-9); // steps down from the base size to the least
    int lo = 1, hi = most;
    const auto sameButSize = [&](QFont g) {
        if ((g.pixelSize() > 0) != pixels) return false;
        if (pixels) {
            g.setPixelSize(base.pixelSize());
        } else {
            g.setPointSizeF(base.pointSizeF());
        }
        return g == base;
    };
    if (near && sameButSize(*near)) {
        // Where the search would end when the near size is roomy and the one above it is not.
        const double nearSize = pixels ? near->pixelSize() : near->pointSizeF();
        const int steps = int(std::lround((size - nearSize) / step));
        if (steps >= 1 && steps <= most && roomy(sized(steps)) && (steps == 1 || !roomy(sized(steps - 1)))) {
            lo = hi = steps;
        }
    }
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (roomy(sized(mid))) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    for (int steps = lo; steps <= most; ++steps) {
        if (TextFits(sized(steps), text, room, align, wrap)) {
            return f;
        }
    }
    return f;
}

QRect LineEditTextRect(const QLineEdit* edit) {
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.midLineWidth = 0;
    QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
    r = r.marginsRemoved(edit->textMargins());
    // The line edit's own margins around its text.
    return r.adjusted(2, 1, -2, -1);
}

// ---------------------------------------------------------------------------------------------

void FitLabel::setText(const QString& text) {
    QLabel::setText(text);
    fit();
}

void FitLabel::setBaseFont(const QFont& f) {
    m_base = f;
    fit();
}

void FitLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    fit();
}

void FitLabel::fit() {
    if (m_base.family().isEmpty()) {
        m_base = font();
    }
    FitInputs in{text(), contentsRect(), m_base, int(alignment()), wordWrap(), font()};
    if (m_fitted == in) {
        return;
    }
    const QFont shown = font();
    const QFont f = FittingFont(m_base, in.text, in.room, alignment(), in.wrap, 0.4, &shown);
    if (f != font()) {
        setFont(f);
    }
    in.shown = font();
    m_fitted = std::move(in);
}

void FitLineEdit::setText(const QString& text) {
    // The same text again (the same product box after box) would repaint the field for nothing.
    if (text == this->text()) return;
    QLineEdit::setText(text);
    fit();
}

void FitLineEdit::setBaseFont(const QFont& f) {
    m_base = f;
    fit();
}

void FitLineEdit::resizeEvent(QResizeEvent* e) {
    QLineEdit::resizeEvent(e);
    fit();
}

void FitLineEdit::fit() {
    if (m_base.family().isEmpty()) {
        m_base = font();
    }
    // Measured in the base font's room: a smaller font does not change the field's frame.
    FitInputs in{text(), LineEditTextRect(this), m_base, int(Qt::AlignLeft | Qt::AlignVCenter), false, font()};
    if (m_fitted != in) {
        const QFont shown = font();
        const QFont f = FittingFont(m_base, in.text, in.room, Qt::AlignLeft | Qt::AlignVCenter, false, 0.4, &shown);
        if (f != font()) {
            setFont(f);
        }
        in.shown = font();
        m_fitted = std::move(in);
    }
    setCursorPosition(0); // a text that still does not fit shows its beginning
}

void PictureLabel::setImage(const QImage& image, bool enlarge) {
    m_image = image;
    m_enlarge = enlarge;
    place();
}

void PictureLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    place();
}

void PictureLabel::place() {
    if (m_image.isNull() || width() < 1 || height() < 1) {
        setPixmap(QPixmap());
        return;
    }
    const bool larger = m_image.width() > width() || m_image.height() > height();
    setPixmap(QPixmap::fromImage(
        m_enlarge || larger ? m_image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation) : m_image));
}

// ---------------------------------------------------------------------------------------------

DesignScale::Entry& DesignScale::entry(QWidget* w, Entry::Kind kind) {
    for (Entry& e : m_entries) {
        if (e.w == w && e.kind == kind) {
            return e;
        }
    }
    m_entries.push_back(Entry{w, kind, {}, 0, {}});
    return m_entries.back();
}

void DesignScale::SetGeometry(QWidget* w, const QRect& design) {
    Entry& e = entry(w, Entry::Geometry);
    e.rect = design;
    apply(e);
}

void DesignScale::SetFixedWidth(QWidget* w, int design) {
    Entry& e = entry(w, Entry::FixedWidth);
    e.length = design;
    apply(e);
}

void DesignScale::SetFixedHeight(QWidget* w, int design) {
    Entry& e = entry(w, Entry::FixedHeight);
    e.length = design;
    apply(e);
}

void DesignScale::SetMinimumWidth(QWidget* w, int design) {
    Entry& e = entry(w, Entry::MinimumWidth);
    e.length = design;
    apply(e);
}

void DesignScale::SetFont(QWidget* w, const QFont& f) {
    Entry& e = entry(w, Entry::Font);
    e.font = f;
    apply(e);
}

void DesignScale::Apply(double factor) {
    m_factor = factor;
    for (const Entry& e : m_entries) {
        apply(e);
    }
}

int DesignScale::Scaled(int design) const {
    return int(std::lround(design * m_factor));
}

namespace {

QFont scaledFont(const QFont& design, double factor) {
    QFont f = design;
    if (design.pixelSize() > 0) {
        f.setPixelSize(std::max(1, int(std::lround(design.pixelSize() * factor))));
    } else if (design.pointSizeF() > 0) {
        f.setPointSizeF(design.pointSizeF() * factor);
    }
    return f;
}

void setFontOf(QWidget* w, const QFont& f) {
    if (auto* l = dynamic_cast<FitLabel*>(w)) {
        l->setBaseFont(f);
    } else if (auto* e = dynamic_cast<FitLineEdit*>(w)) {
        e->setBaseFont(f);
    } else {
        w->setFont(f);
    }
}

// Edges scaled rather than sizes, so that neighbours stay neighbours.
QRect scaledRect(const QRect& r, double factor) {
    const auto s = [factor](int v) { return int(std::lround(v * factor)); };
    const int left = s(r.x());
    const int top = s(r.y());
    return {left, top, s(r.x() + r.width()) - left, s(r.y() + r.height()) - top};
}

} // namespace

QFont DesignScale::Scaled(const QFont& design) const {
    return scaledFont(design, m_factor);
}

void DesignScale::apply(const Entry& e) const {
    if (!e.w) {
        return;
    }
    switch (e.kind) {
    case Entry::Geometry:
        e.w->setGeometry(scaledRect(e.rect, m_factor));
        break;
    case Entry::FixedWidth:
        e.w->setFixedWidth(Scaled(e.length));
        break;
    case Entry::FixedHeight:
        e.w->setFixedHeight(Scaled(e.length));
        break;
    case Entry::MinimumWidth:
        e.w->setMinimumWidth(Scaled(e.length));
        break;
    case Entry::Font:
        setFontOf(e.w, scaledFont(e.font, m_factor));
        break;
    }
}

namespace {

void scaleSizes(QWidget* w, double factor) {
    const auto s = [factor](int v) { return int(std::lround(v * factor)); };
    const QSize min = w->minimumSize();
    const QSize max = w->maximumSize();
    if (min.width() > 0) w->setMinimumWidth(s(min.width()));
    if (min.height() > 0) w->setMinimumHeight(s(min.height()));
    if (max.width() < QWIDGETSIZE_MAX) w->setMaximumWidth(s(max.width()));
    if (max.height() < QWIDGETSIZE_MAX) w->setMaximumHeight(s(max.height()));
}

void scaleSections(QHeaderView* h, double factor) {
    const auto s = [factor](int v) { return std::max(1, int(std::lround(v * factor))); };
    h->setDefaultSectionSize(s(h->defaultSectionSize()));
    for (int i = 0; i < h->count(); ++i) {
        h->resizeSection(i, s(h->sectionSize(i)));
    }
}

void scaleChildren(QWidget* parent, double factor) {
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow()) {
            continue;
        }
        if (w->testAttribute(Qt::WA_SetFont)) {
            setFontOf(w, scaledFont(w->font(), factor));
        }
        scaleSizes(w, factor);
        const QLayout* layout = parent->layout();
        if (!layout || layout->indexOf(w) < 0) {
            w->setGeometry(scaledRect(w->geometry(), factor));
        }
        if (auto* table = qobject_cast<QTableView*>(w)) {
            scaleSections(table->horizontalHeader(), factor);
            scaleSections(table->verticalHeader(), factor);
        }
        // Composite controls place their own parts.
        const bool composite = qobject_cast<QAbstractScrollArea*>(w) || qobject_cast<QComboBox*>(w) ||
                               qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                               qobject_cast<QAbstractButton*>(w);
        if (!composite) {
            scaleChildren(w, factor);
        }
    }
}

} // namespace

void ScaleTree(QWidget* root, double factor) {
    if (factor >= 1.0 || factor <= 0.0) {
        return;
    }
    if (root->testAttribute(Qt::WA_SetFont)) {
        setFontOf(root, scaledFont(root->font(), factor));
    }
    scaleSizes(root, factor);
    root->resize(int(std::lround(root->width() * factor)), int(std::lround(root->height() * factor)));
    scaleChildren(root, factor);
}

} // namespace vek::widgets
