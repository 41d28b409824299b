#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <vector>

namespace vek::widgets {

/// One PNG picture of an image list, named by its action.
class TQXImageItem {
public:
    /// Stored upper-cased; also the item's display name.
    void setAction(const QString& action) { m_action = action.toUpper(); }
    const QString& Action() const { return m_action; }
    QString displayName() const { return m_action; }
    QString Caption;
    /// The picture is copied.
    void setImage(const QImage& png) { m_image = png.copy(); }
    const QImage& Image() const { return m_image; }
    int DisableContrast = 0; // percent the greyed picture of a disabled button is brightened

private:
    QString m_action;
    QImage m_image;
};

/// The suite's picture collection, one entry per action.
class TQXImageList : public QObject {
    Q_OBJECT
public:
    explicit TQXImageList(QObject* owner = nullptr) : QObject(owner) {}
    std::vector<TQXImageItem> Images;
    int Width = 16;
    int Height = 16;
    /// Position of the first entry whose action equals `upperAction`, or -1.
    int indexOfAction(const QString& upperAction) const;
};

} // namespace vek::widgets
