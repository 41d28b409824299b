#pragma once

#include <QFrame>
#include <QString>

namespace vek::widgets {

/// The panel that carries a dialog's controls inside its host screen; it never shows a caption.
class TQXDesignPanel : public QFrame {
    Q_OBJECT
public:
    explicit TQXDesignPanel(QWidget* parent = nullptr);
    /// Sets the object name; the caption is cleared every time.
    void setName(const QString& name);
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption) { m_caption = caption; }
    /// Without a layout of its own, the extent of the controls placed on it.
    QSize sizeHint() const override;

private:
    QString m_caption;
};

} // namespace vek::widgets
