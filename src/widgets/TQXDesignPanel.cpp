#include "widgets/TQXDesignPanel.h"

#include <QLayout>

namespace vek::widgets {

TQXDesignPanel::TQXDesignPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame); // no outer bevel
}

void TQXDesignPanel::setName(const QString& name) {
    setObjectName(name);
    m_caption.clear();
}

QSize TQXDesignPanel::sizeHint() const {
    if (layout()) return QFrame::sizeHint();
    // Controls placed by position: their extent with the same room right and below as left and above.
    const QRect r = childrenRect();
    if (r.isNull()) return QFrame::sizeHint();
    return r.size() + QSize(2 * r.x(), 2 * r.y());
}

} // namespace vek::widgets
