#include "platform/ScriptActions.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPixmap>

#include <cstdio>

namespace vek {

namespace {

struct NamedKey {
    const char* name;
    Qt::Key key;
    const char* text;
};

constexpr NamedKey kNamedKeys[] = {
    {"<F1>", Qt::Key_F1, ""},          {"<F2>", Qt::Key_F2, ""},          {"<F3>", Qt::Key_F3, ""},
    {"<F4>", Qt::Key_F4, ""},          {"<F5>", Qt::Key_F5, ""},          {"<F6>", Qt::Key_F6, ""},
    {"<F7>", Qt::Key_F7, ""},          {"<F8>", Qt::Key_F8, ""},          {"<F9>", Qt::Key_F9, ""},
    {"<F10>", Qt::Key_F10, ""},        {"<F11>", Qt::Key_F11, ""},        {"<F12>", Qt::Key_F12, ""},
    {"<Esc>", Qt::Key_Escape, "\x1b"}, {"<Enter>", Qt::Key_Return, "\r"}, {"<Tab>", Qt::Key_Tab, "\t"},
};

// Qt key codes of printable Latin-1 characters are their upper-case code points.
Qt::Key keyFor(QChar c) {
    const auto printable = [](char16_t u) { return (u >= 0x20 && u <= 0x7e) || (u >= 0xa0 && u <= 0xff); };
    if (const char16_t upper = c.toUpper().unicode(); printable(upper)) return static_cast<Qt::Key>(upper);
    if (printable(c.unicode())) return static_cast<Qt::Key>(c.unicode());
    return Qt::Key_unknown;
}

} // namespace

ScriptActions::ScriptActions(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

QWidget* ScriptActions::activeWindow() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    // A main window not shown yet (or no more) is no window on the screen.
    return m_mainWindow && m_mainWindow->isVisible() ? m_mainWindow.data() : nullptr;
}

QWidget* ScriptActions::focusTarget() const {
    QWidget* window = activeWindow();
    QWidget* focus = QApplication::focusWidget();
    if (focus && (!window || focus->window() == window)) return focus;
    // The window system may not have activated a window just shown; its focus child is where the
    // keys would land.
    if (window) return window->focusWidget() ? window->focusWidget() : window;
    return focus;
}

QWidget* ScriptActions::namedInActiveWindow(const QString& name) const {
    QWidget* window = activeWindow();
    if (!window || name.isEmpty()) return nullptr;
    if (window->objectName() == name) return window;
    // Only the window's own widgets: a name may repeat in a dialog parented to it.
    for (QWidget* w : window->findChildren<QWidget*>(name)) {
        if (w->window() == window) return w;
    }
    return nullptr;
}

void ScriptActions::select(const QString& nameAndText) {
    const qsizetype eq = nameAndText.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? nameAndText : nameAndText.left(eq);
    const QString text = eq < 0 ? QString() : nameAndText.mid(eq + 1);
    QWidget* w = namedInActiveWindow(name);
    bool chosen = false;
    if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->isEnabled()) {
        const int index = combo->findText(text, Qt::MatchExactly);
        if (index >= 0) {
            combo->setCurrentIndex(index);
            // As when the operator picks it: handlers of the pick run too.
            Q_EMIT combo->activated(index);
            Q_EMIT combo->textActivated(text);
            chosen = true;
        }
    } else if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->isEnabled() && view->model()) {
        const QAbstractItemModel* model = view->model();
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < model->rowCount(root) && !chosen; ++r) {
            const QModelIndex index = model->index(r, 0, root);
            if (model->data(index, Qt::DisplayRole).toString() == text) {
                view->setCurrentIndex(index);
                Q_EMIT view->activated(index);
                chosen = true;
            }
        }
    }
    if (!chosen)
        std::fprintf(stderr, "vek-station: script: no entry \"%s\" in %s\n", qPrintable(text), qPrintable(name));
}

void ScriptActions::click(const QString& name) {
    auto* button = qobject_cast<QAbstractButton*>(namedInActiveWindow(name));
    // A button the operator could not press stays unpressed.
    if (!button || !button->isEnabled() || !button->isVisibleTo(button->window())) {
        std::fprintf(stderr, "vek-station: script: no button %s to press\n", qPrintable(name));
        return;
    }
    button->click();
}

void ScriptActions::doubleClick(const QString& nameAndText) {
    const qsizetype eq = nameAndText.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? nameAndText : nameAndText.left(eq);
    const QString text = eq < 0 ? QString() : nameAndText.mid(eq + 1);
    auto* view = qobject_cast<QAbstractItemView*>(namedInActiveWindow(name));
    if (view && view->isEnabled() && view->model()) {
        const QAbstractItemModel* model = view->model();
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < model->rowCount(root); ++r) {
            for (int c = 0; c < model->columnCount(root); ++c) {
                const QModelIndex index = model->index(r, c, root);
                if (model->data(index, Qt::DisplayRole).toString() != text) continue;
                // As the operator's double-click: the entry becomes the chosen one first.
                view->setCurrentIndex(index);
                if (view->selectionModel())
                    view->selectionModel()->select(index,
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                Q_EMIT view->doubleClicked(index);
                return;
            }
        }
    }
    std::fprintf(stderr, "vek-station: script: no entry \"%s\" in %s\n", qPrintable(text), qPrintable(name));
}

void ScriptActions::closeActiveWindow() {
    // The close icon: the window's close handlers decide, as for the operator.
    if (QWidget* window = activeWindow()) window->close();
}

void ScriptActions::saveScreenshot(const QString& path) const {
    if (!m_mainWindow || path.isEmpty() || !m_mainWindow->grab().save(path, "PNG")) {
        std::fprintf(stderr, "vek-station: screenshot %s not written\n", qPrintable(path));
    }
}

void ScriptActions::typeText(const QString& text) {
    for (const QChar c : text) sendKey(keyFor(c), QString(c));
}

bool ScriptActions::sendNamedKey(const QString& line) {
    for (const NamedKey& named : kNamedKeys) {
        if (line.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0) {
            sendKey(named.key, QString::fromLatin1(named.text));
            return true;
        }
    }
    return false;
}

void ScriptActions::sendKey(Qt::Key key, const QString& text) {
    // Looked up per key: a handler may move the focus or open a window in between.
    QPointer<QWidget> target = focusTarget();
    if (!target) return;
    // A window manager gives the activation back when a dialog closes; without one (offscreen)
    // window shortcuts would find no active window. Keys go to the window in front, so make it so.
    if (QWidget* window = target->window(); window->isVisible() && QApplication::activeWindow() != window)
        QApplication::setActiveWindow(window);
    // Not spontaneous: Qt then offers the key to shortcuts first, as for a real key.
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target.data(), &press);
    if (!target) return;
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target.data(), &release);
}

} // namespace vek
