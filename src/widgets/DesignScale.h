#pragma once

#include <optional>

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <vector>

namespace vek::widgets {

/// The factor that fits a screen designed at `design` into `available`: the smaller of the width and
/// height ratios, never above 1 (a larger screen keeps the design sizes).
double FitFactor(QSize design, QSize available);

/// Where one line of `text` in `f`, aligned in `room` as a label aligns it, puts its glyphs (ink, not
/// the line box: a large font's leading may pass its panel's edges while every glyph stays inside).
QRect InkRect(const QFont& f, const QString& text, const QRect& room, Qt::Alignment align);
/// Whether `text` in `f` shows whole within `room`: one line by its ink, or wrapped at word
/// boundaries by its lines.
bool TextFits(const QFont& f, const QString& text, const QRect& room, Qt::Alignment align, bool wrap);
/// The largest font no larger than `base` at which `text` fits `room`; not below `floor` of it.
/// `near`: the font the text's room shows now, tried first (a counter's next text mostly needs the
/// same size as the one before: two measurements instead of a search).
QFont FittingFont(const QFont& base, const QString& text, const QRect& room, Qt::Alignment align, bool wrap,
                  double floor = 0.4, const QFont* near = nullptr);
/// The part of a line edit where its text is drawn.
QRect LineEditTextRect(const QLineEdit* edit);

/// What a fit was worked out for: the same text in the same room and base font needs no measuring
/// again (a scan sets most fields, many to what they showed).
struct FitInputs {
    QString text;
    QRect room;
    QFont base;
    int align = 0;
    bool wrap = false;
    QFont shown; // the font the fit gave: a font set from outside since is fitted again
    bool operator==(const FitInputs&) const = default;
};

/// A label that shows its text in its base font, or in a smaller one when the text would not fit:
/// messages and names are read whole, however long. `setText` and `setBaseFont` are the ways in.
class FitLabel : public QLabel {
public:
    explicit FitLabel(QWidget* parent = nullptr) : QLabel(parent) {}
    void setText(const QString& text);
    void setBaseFont(const QFont& f);
    const QFont& baseFont() const { return m_base; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fit();
    QFont m_base;
    std::optional<FitInputs> m_fitted;
};

/// The same for a read-only data field.
class FitLineEdit : public QLineEdit {
public:
    explicit FitLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
    void setText(const QString& text);
    void setBaseFont(const QFont& f);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fit();
    QFont m_base;
    std::optional<FitInputs> m_fitted;
};

/// A picture scaled proportionally into the label whatever its size, never above its own size when
/// `enlarge` is off.
class PictureLabel : public QLabel {
public:
    explicit PictureLabel(QWidget* parent = nullptr) : QLabel(parent) { setAlignment(Qt::AlignCenter); }
    void setImage(const QImage& image, bool enlarge);
    const QImage& image() const { return m_image; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void place();
    QImage m_image;
    bool m_enlarge = true;
};

/// A screen's design sizes and fonts, kept so that the whole screen can be shown at another factor
/// (another screen, a panel that widens) without the sizes drifting from rounding on rounding.
/// Each setter records the design value and applies it at the present factor.
class DesignScale {
public:
    void SetGeometry(QWidget* w, const QRect& design);
    void SetFixedWidth(QWidget* w, int design);
    void SetFixedHeight(QWidget* w, int design);
    void SetMinimumWidth(QWidget* w, int design);
    /// A font of the design, in pixels or points as `f` is given.
    void SetFont(QWidget* w, const QFont& f);
    /// Applies every recorded value at `factor`.
    void Apply(double factor);
    double factor() const { return m_factor; }
    int Scaled(int design) const;
    QFont Scaled(const QFont& design) const;

private:
    struct Entry {
        QPointer<QWidget> w;
        enum Kind { Geometry, FixedWidth, FixedHeight, MinimumWidth, Font } kind;
        QRect rect;
        int length = 0;
        QFont font;
    };
    Entry& entry(QWidget* w, Entry::Kind kind);
    void apply(const Entry& e) const;
    std::vector<Entry> m_entries;
    double m_factor = 1.0;
};

/// Scales a screen built at design sizes once: every descendant of `root` that no layout places, its
/// fonts, fixed sizes and grid sections, and `root` itself.
void ScaleTree(QWidget* root, double factor);

} // namespace vek::widgets
