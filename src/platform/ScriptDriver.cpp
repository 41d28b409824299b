#include "platform/ScriptDriver.h"

#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

namespace vek {

namespace {

// Event-loop passes a line gets to settle (chains of posted events) before its state is read.
constexpr int kSettlePasses = 3;
// While a line's handler runs a nested loop of its own, the next line waits; polled, not spun.
constexpr int kWaitMs = 5;

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

const QString kTypePrefix = QStringLiteral("<type>");
const QString kTick = QStringLiteral("<tick>");
const QString kSelectPrefix = QStringLiteral("<select>");
const QString kClickPrefix = QStringLiteral("<click>");
const QString kDblClickPrefix = QStringLiteral("<dblclick>");
const QString kClose = QStringLiteral("<close>");
const QString kDatagramPrefix = QStringLiteral("<datagram>");
const QString kScreenshotPrefix = QStringLiteral("<screenshot>");
const QString kSettle = QStringLiteral("<settle>");
const QString kWaitPrefix = QStringLiteral("<wait>");
// A wait is an operator's pause, not a way to stall a run for good.
constexpr int kLongestWaitMs = 600000;

// A picture of the window as it is drawn now (offscreen too); a note on standard error if unsaved.
void saveScreenshot(QWidget* window, const QString& path) {
    if (!window || path.isEmpty() || !window->grab().save(path, "PNG")) {
        std::fprintf(stderr, "vek-station: screenshot %s not written\n", qPrintable(path));
    }
}

// Qt key codes of printable Latin-1 characters are their upper-case code points.
Qt::Key keyFor(QChar c) {
    const auto printable = [](char16_t u) { return (u >= 0x20 && u <= 0x7e) || (u >= 0xa0 && u <= 0xff); };
    if (const char16_t upper = c.toUpper().unicode(); printable(upper)) return static_cast<Qt::Key>(upper);
    if (printable(c.unicode())) return static_cast<Qt::Key>(c.unicode());
    return Qt::Key_unknown;
}

QByteArray compact(const QJsonValue& value) {
    if (value.isObject()) return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    if (value.isArray()) return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

// Qt's own helper widgets carry names beginning with "qt_"; they are not the station's.
bool isStationName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

void widgetsInLayoutOrder(const QLayout* layout, QList<QWidget*>& out) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* w = item->widget())
            out.append(w);
        else if (const QLayout* inner = item->layout())
            widgetsInLayoutOrder(inner, out);
    }
}

QList<QLabel*> statusLabels(const QStatusBar* bar) {
    QList<QWidget*> ordered;
    if (bar->layout()) widgetsInLayoutOrder(bar->layout(), ordered);
    QList<QLabel*> labels;
    for (QWidget* w : std::as_const(ordered)) {
        if (auto* label = qobject_cast<QLabel*>(w); label && label->parentWidget() == bar) labels.append(label);
    }
    for (QLabel* label : bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (!labels.contains(label)) labels.append(label);
    }
    return labels;
}

std::optional<QString> shownText(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    // What the field shows: a password field gives its mask, never the password.
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->displayText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(w)) return group->title();
    return std::nullopt;
}

QJsonArray gridRows(const QAbstractItemView* view) {
    QJsonArray rows;
    const QAbstractItemModel* model = view->model();
    const QModelIndex root = view->rootIndex();
    const int columns = model->columnCount(root);
    for (int r = 0; r < model->rowCount(root); ++r) {
        QJsonArray cells;
        for (int c = 0; c < columns; ++c)
            cells.append(model->data(model->index(r, c, root), Qt::DisplayRole).toString());
        rows.append(cells);
    }
    return rows;
}

// The widgets of one window (not those of other windows parented to it) that the operator can see.
QList<QWidget*> visibleWidgetsOf(QWidget* window) {
    QList<QWidget*> result;
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (w->window() == window && w->isVisibleTo(window)) result.append(w);
    }
    return result;
}

// A combo box's entries, one single-cell row each, as a grid would show them.
QJsonArray comboRows(const QComboBox* combo) {
    QJsonArray rows;
    for (int i = 0; i < combo->count(); ++i) rows.append(QJsonArray{combo->itemText(i)});
    return rows;
}

// Steady clock (CLOCK_MONOTONIC): comparable between the processes of one machine.
qint64 steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QWidget* findNamed(QWidget* root, const QString& name) {
    if (!root) return nullptr;
    if (root->objectName() == name) return root;
    return root->findChild<QWidget*>(name);
}

} // namespace

ScriptDriver::ScriptDriver(QStringList lines, LineWriter writer, RecordingMessageBoxes& boxes,
                           RecordingToneOutput& tones, std::function<void()> tick, QWidget* mainWindow,
                           QStringList colorWidgets)
    : m_lines(std::move(lines)), m_writer(std::move(writer)), m_boxes(boxes), m_tones(tones), m_tick(std::move(tick)),
      m_mainWindow(mainWindow), m_colorWidgets(std::move(colorWidgets)), m_exitProcess([](int code) {
          std::fflush(nullptr);
          std::_Exit(code);
      }) {
    m_wait.setSingleShot(true);
    QObject::connect(&m_wait, &QTimer::timeout, &m_context, [this] { step(); });
    // Script files written on other systems end their lines with CR LF.
    for (QString& line : m_lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    }
}

ScriptDriver::~ScriptDriver() = default;

ScriptDriver::LineWriter ScriptDriver::stdoutWriter() {
    return [](const QByteArray& line) {
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
}

void ScriptDriver::setProcessExit(std::function<void(int)> exitProcess) {
    m_exitProcess = std::move(exitProcess);
}

void ScriptDriver::setDatagramSender(std::function<void(const QString& text)> send) {
    m_sendDatagram = std::move(send);
}

void ScriptDriver::setJournal(std::function<QJsonValue()> state, std::function<void()> settle) {
    m_journalState = std::move(state);
    m_settle = std::move(settle);
}

void ScriptDriver::setTimings(QString messageWidget, std::function<qint64()> retries) {
    m_timings = true;
    m_timingsWidget = std::move(messageWidget);
    m_retries = std::move(retries);
}

QByteArray ScriptDriver::timingLine(const QJsonValue& input) {
    // One line per field, tabs between: texts lose their own tabs and line breaks.
    const auto flat = [](QString text) {
        text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).toUtf8();
    };
    const auto boxes = m_boxes.take();
    m_tones.take();
    QString message;
    if (const QWidget* w = findNamed(m_mainWindow.data(), m_timingsWidget)) message = shownText(w).value_or(QString());
    QByteArray line = flat(input.toString()) + '\t' + QByteArray::number(std::exchange(m_lineElapsedUs, 0)) + '\t' +
                      QByteArray::number(std::exchange(m_lineStartUs, 0)) + '\t' +
                      QByteArray::number(m_retries ? m_retries() : 0) + '\t' +
                      QByteArray::number(static_cast<qint64>(std::clock()) * 1000000 / CLOCKS_PER_SEC) + '\t' +
                      QByteArray::number(boxes.size()) + '\t' + flat(message);
    for (const auto& box : boxes) line += '\t' + flat(box.title + QStringLiteral(": ") + box.text);
    return line;
}

QWidget* ScriptDriver::activeWindow() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    // A main window not shown yet (or no more) is no window on the screen.
    return m_mainWindow && m_mainWindow->isVisible() ? m_mainWindow.data() : nullptr;
}

QByteArray ScriptDriver::stateLine(const QJsonValue& input) {
    QWidget* active = activeWindow();
    QList<QWidget*> windows;
    if (active) windows.append(active);
    if (m_mainWindow && m_mainWindow.data() != active && m_mainWindow->isVisible()) windows.append(m_mainWindow.data());

    QJsonObject texts;
    QJsonObject grids;
    for (QWidget* window : std::as_const(windows)) {
        for (QWidget* w : visibleWidgetsOf(window)) {
            const QString name = w->objectName();
            if (!isStationName(name)) continue;
            if (const auto* bar = qobject_cast<const QStatusBar*>(w)) {
                const QList<QLabel*> labels = statusLabels(bar);
                for (qsizetype i = 0; i < labels.size(); ++i)
                    texts.insert(name + QLatin1Char('.') + QString::number(i), labels[i]->text());
            } else if (auto text = shownText(w)) {
                texts.insert(name, *text);
            } else if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
                texts.insert(name, combo->currentText());
                grids.insert(name, comboRows(combo));
            } else if (const auto* view = qobject_cast<const QAbstractItemView*>(w); view && view->model()) {
                grids.insert(name, gridRows(view));
            }
        }
    }

    QJsonObject colors;
    for (const QString& name : std::as_const(m_colorWidgets)) {
        QWidget* w = findNamed(active, name);
        if (!w) w = findNamed(m_mainWindow.data(), name);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (w) break;
            w = findNamed(top, name);
        }
        // Like the texts: a window off the screen shows no colour.
        if (w && w->window()->isVisible()) {
            w->ensurePolished(); // style sheets reach the palette on polish
            colors.insert(name, w->palette().color(w->backgroundRole()).name());
        }
    }

    QJsonArray boxes;
    for (const auto& box : m_boxes.take())
        boxes.append(QJsonObject{{QStringLiteral("title"), box.title}, {QStringLiteral("text"), box.text}});
    QJsonArray tones;
    for (const Tone& tone : m_tones.take()) tones.append(QJsonArray{tone.hz, tone.ms});

    // Written by hand to keep the keys in reading order; QJsonObject would sort them.
    QByteArray line = "{\"input\":" + compact(input);
    line += ",\"window\":" + compact(active ? QJsonValue(active->objectName()) : QJsonValue());
    line += ",\"texts\":" + compact(texts);
    line += ",\"colors\":" + compact(colors);
    line += ",\"boxes\":" + compact(boxes);
    line += ",\"tones\":" + compact(tones);
    line += ",\"grids\":" + compact(grids);
    if (m_journalState) line += ",\"journal\":" + compact(m_journalState());
    line += '}';
    return line;
}

void ScriptDriver::writeState(const QJsonValue& input) {
    try {
        const QByteArray line = m_timings ? timingLine(input) : stateLine(input);
        m_anyWritten = true;
        if (m_writer) m_writer(line);
    } catch (...) {
        // A lost output line must not take the station down with it.
    }
}

void ScriptDriver::start() {
    m_stopped = false;
    schedule();
}

void ScriptDriver::startWith(const std::function<void()>& startUp) {
    m_stopped = false;
    m_startUpLinePending = true;
    schedule();
    // On the stack like a line: steps wait for it unless it waits in a modal dialog.
    m_running.push_back({QApplication::activeModalWidget()});
    struct Pop {
        std::vector<Frame>& running;
        ~Pop() { running.pop_back(); }
    } pop{m_running};
    if (startUp) startUp();
}

void ScriptDriver::schedule(int delayMs) {
    // The context object drops the call if the driver is gone. A posted call is delivered by
    // whichever loop runs, a modal dialog's included, after the events posted before it.
    if (delayMs <= 0)
        QMetaObject::invokeMethod(
            &m_context, [this] { step(); }, Qt::QueuedConnection);
    else
        m_wait.start(delayMs);
}

bool ScriptDriver::mayRunNow() const {
    if (m_running.empty()) return true;
    // A line is still on the stack: go on only if it is waiting in a modal dialog it opened, not
    // when its handler merely lets events through.
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != m_running.back().modalAtStart.data();
}

void ScriptDriver::step() {
    if (m_stopped) return;
    try {
        if (!mayRunNow()) {
            m_settlePasses = 0;
            schedule(kWaitMs);
            return;
        }
        if (m_settlePasses < kSettlePasses) {
            ++m_settlePasses;
            schedule();
            return;
        }
        m_settlePasses = 0;
        if (std::exchange(m_startUpLinePending, false) && !m_anyWritten) writeState(QJsonValue::Null);
        if (m_pendingInput) {
            const QString input = *std::exchange(m_pendingInput, std::nullopt);
            writeState(input);
        }
        if (m_next >= m_lines.size()) {
            finish();
            return;
        }
        const QString line = m_lines.at(m_next++);
        m_pendingInput = line;
        // Scheduled before running the line, so that it fires inside a modal loop the line opens.
        schedule();
        m_running.push_back({QApplication::activeModalWidget()});
        struct Pop {
            std::vector<Frame>& running;
            ~Pop() { running.pop_back(); }
        } pop{m_running};
        m_lineStartUs = steadyMicroseconds();
        execute(line);
        m_lineElapsedUs = steadyMicroseconds() - m_lineStartUs;
        // A line that let events through (a repaint) met the next step meanwhile, which now polls:
        // go on at once instead of a poll later.
        if (m_wait.isActive()) {
            m_wait.stop();
            schedule();
        }
    } catch (...) {
        // The next step is already scheduled (or the script is over); the station goes on.
    }
}

void ScriptDriver::execute(const QString& line) {
    if (line == kTick) {
        if (m_tick) m_tick();
        return;
    }
    if (line == kSettle) {
        if (m_settle) m_settle();
        return;
    }
    if (line.startsWith(kWaitPrefix)) {
        // The station's own timers (the clock, the probe) run meanwhile, as between an operator's scans.
        QEventLoop loop;
        QTimer::singleShot(std::clamp(line.mid(kWaitPrefix.size()).toInt(), 0, kLongestWaitMs), &loop,
                           &QEventLoop::quit);
        loop.exec();
        return;
    }
    if (line.startsWith(kSelectPrefix)) {
        select(line.mid(kSelectPrefix.size()));
        return;
    }
    if (line.startsWith(kClickPrefix)) {
        click(line.mid(kClickPrefix.size()));
        return;
    }
    if (line.startsWith(kDblClickPrefix)) {
        doubleClick(line.mid(kDblClickPrefix.size()));
        return;
    }
    if (line == kClose) {
        closeActiveWindow();
        return;
    }
    if (line.startsWith(kDatagramPrefix)) {
        if (m_sendDatagram) m_sendDatagram(line.mid(kDatagramPrefix.size()));
        return;
    }
    if (line.startsWith(kScreenshotPrefix)) {
        saveScreenshot(m_mainWindow, line.mid(kScreenshotPrefix.size()));
        return;
    }
    if (line.startsWith(kTypePrefix)) {
        typeText(line.mid(kTypePrefix.size()));
        return;
    }
    for (const NamedKey& named : kNamedKeys) {
        if (line.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0) {
            sendKey(named.key, QString::fromLatin1(named.text));
            return;
        }
    }
    typeText(line);
    m_lineStartUs = steadyMicroseconds(); // a scanner's keys arrive at once: the scan starts at its Enter
    sendKey(Qt::Key_Return, QStringLiteral("\r"));
}

void ScriptDriver::finish() {
    m_stopped = true;
    if (m_mainWindow) m_mainWindow->close();
    QCoreApplication::exit(0);
}

void ScriptDriver::exitNow(int code) {
    try {
        if (!m_anyWritten)
            writeState(QJsonValue::Null);
        else if (m_pendingInput)
            writeState(*std::exchange(m_pendingInput, std::nullopt));
    } catch (...) {
        // Ending the process matters more than its last line.
    }
    m_stopped = true;
    try {
        if (m_exitProcess) m_exitProcess(code);
    } catch (...) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
}

QWidget* ScriptDriver::focusTarget() const {
    QWidget* window = activeWindow();
    QWidget* focus = QApplication::focusWidget();
    if (focus && (!window || focus->window() == window)) return focus;
    // The window system may not have activated a window just shown; its focus child is where the
    // keys would land.
    if (window) return window->focusWidget() ? window->focusWidget() : window;
    return focus;
}

QWidget* ScriptDriver::namedInActiveWindow(const QString& name) const {
    QWidget* window = activeWindow();
    if (!window || name.isEmpty()) return nullptr;
    if (window->objectName() == name) return window;
    // Only the window's own widgets: a name may repeat in a dialog parented to it.
    for (QWidget* w : window->findChildren<QWidget*>(name)) {
        if (w->window() == window) return w;
    }
    return nullptr;
}

void ScriptDriver::select(const QString& nameAndText) {
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

void ScriptDriver::click(const QString& name) {
    auto* button = qobject_cast<QAbstractButton*>(namedInActiveWindow(name));
    // A button the operator could not press stays unpressed.
    if (!button || !button->isEnabled() || !button->isVisibleTo(button->window())) {
        std::fprintf(stderr, "vek-station: script: no button %s to press\n", qPrintable(name));
        return;
    }
    button->click();
}

void ScriptDriver::doubleClick(const QString& nameAndText) {
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

void ScriptDriver::closeActiveWindow() {
    // The close icon: the window's close handlers decide, as for the operator.
    if (QWidget* window = activeWindow()) window->close();
}

void ScriptDriver::typeText(const QString& text) {
    for (const QChar c : text) sendKey(keyFor(c), QString(c));
}

void ScriptDriver::sendKey(Qt::Key key, const QString& text) {
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
