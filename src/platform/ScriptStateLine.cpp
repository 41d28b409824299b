#include "platform/ScriptStateLine.h"

#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QStatusBar>

#include <ctime>
#include <optional>
#include <utility>

namespace vek {

namespace {

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

QWidget* findNamed(QWidget* root, const QString& name) {
    if (!root) return nullptr;
    if (root->objectName() == name) return root;
    return root->findChild<QWidget*>(name);
}

} // namespace

ScriptStateLine::ScriptStateLine(RecordingMessageBoxes& boxes, RecordingToneOutput& tones, QWidget* mainWindow,
                                 QStringList colorWidgets)
    : m_boxes(boxes), m_tones(tones), m_mainWindow(mainWindow), m_colorWidgets(std::move(colorWidgets)) {}

void ScriptStateLine::setJournal(std::function<QJsonValue()> state) {
    m_journalState = std::move(state);
}

void ScriptStateLine::setTimings(QString messageWidget, std::function<qint64()> retries) {
    m_timings = true;
    m_timingsWidget = std::move(messageWidget);
    m_retries = std::move(retries);
}

QByteArray ScriptStateLine::timing(const QJsonValue& input, qint64 elapsedUs, qint64 startUs) {
    // One line per field, tabs between: texts lose their own tabs and line breaks.
    const auto flat = [](QString text) {
        text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).toUtf8();
    };
    const auto boxes = m_boxes.take();
    m_tones.take();
    QString message;
    if (const QWidget* w = findNamed(m_mainWindow.data(), m_timingsWidget)) message = shownText(w).value_or(QString());
    QByteArray line = flat(input.toString()) + '\t' + QByteArray::number(elapsedUs) + '\t' +
                      QByteArray::number(startUs) + '\t' + QByteArray::number(m_retries ? m_retries() : 0) + '\t' +
                      QByteArray::number(static_cast<qint64>(std::clock()) * 1000000 / CLOCKS_PER_SEC) + '\t' +
                      QByteArray::number(boxes.size()) + '\t' + flat(message);
    for (const auto& box : boxes) line += '\t' + flat(box.title + QStringLiteral(": ") + box.text);
    return line;
}

QByteArray ScriptStateLine::state(const QJsonValue& input, QWidget* active) {
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

} // namespace vek
