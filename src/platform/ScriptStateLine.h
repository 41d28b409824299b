#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace vek {

class RecordingMessageBoxes;
class RecordingToneOutput;

/// What the script driver writes after a line: the state of the screen as one JSON object, or in
/// benchmarks a terse timing line. Either takes the boxes and tones recorded since the line before.
class ScriptStateLine {
public:
    ScriptStateLine(RecordingMessageBoxes& boxes, RecordingToneOutput& tones, QWidget* mainWindow,
                    QStringList colorWidgets);

    /// Gives the state's "journal" value; without it the key does not appear.
    void setJournal(std::function<QJsonValue()> state);
    /// Timing lines instead of the state from now on (see ScriptDriver::setTimings).
    void setTimings(QString messageWidget, std::function<qint64()> retries);
    bool timings() const { return m_timings; }

    /// The JSON object for the input (a string, or null for the start-up line): the window in
    /// front (`active`), the texts, colours and grids of it and of the main window, the boxes, the
    /// tones and the journal.
    QByteArray state(const QJsonValue& input, QWidget* active);
    /// "INPUT\tELAPSED_US\tSTART_US\tRETRIES\tCPU_US\tBOXES\tMESSAGE", then one field per box.
    QByteArray timing(const QJsonValue& input, qint64 elapsedUs, qint64 startUs);

private:
    RecordingMessageBoxes& m_boxes;
    RecordingToneOutput& m_tones;
    QPointer<QWidget> m_mainWindow;
    QStringList m_colorWidgets;
    std::function<QJsonValue()> m_journalState;
    bool m_timings = false;
    QString m_timingsWidget;
    std::function<qint64()> m_retries;
};

} // namespace vek
