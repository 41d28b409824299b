#pragma once

#include "platform/ScriptActions.h"
#include "platform/ScriptStateLine.h"

#include <QByteArray>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace vek {

class RecordingMessageBoxes;
class RecordingToneOutput;

/// Drives a running Qt Widgets application from script lines and writes, after each line, one
/// JSON line with what the screen shows and which boxes and tones came since the previous line.
///
/// Lines: plain text is typed into the focus widget followed by Enter; "<F1>".."<F12>", "<Esc>",
/// "<Enter>", "<Tab>" send that key; "<type>TEXT" types TEXT without Enter; "<tick>" calls the
/// tick callback; "<select>NAME=TEXT" chooses the entry shown as TEXT in the combo box or list
/// NAME of the active window; "<click>NAME" presses the button NAME of the active window;
/// "<dblclick>NAME=TEXT" double-clicks the entry shown as TEXT in the list or grid NAME of the active
/// window; "<close>" closes the active window with its close icon. Each line runs once the previous
/// one has finished and the events it caused have been handled; a line that opens a modal dialog
/// lets the next line run inside the dialog's loop. The driver schedules the lines: ScriptActions
/// does what they ask of the widgets, ScriptStateLine makes what is written after them.
class ScriptDriver {
public:
    /// Receives one JSON object per call, without the line break; must not keep the reference.
    using LineWriter = std::function<void(const QByteArray& line)>;

    ScriptDriver(QStringList lines, LineWriter writer, RecordingMessageBoxes& boxes, RecordingToneOutput& tones,
                 std::function<void()> tick, QWidget* mainWindow, QStringList colorWidgets);
    ~ScriptDriver();
    ScriptDriver(const ScriptDriver&) = delete;
    ScriptDriver& operator=(const ScriptDriver&) = delete;

    /// Writes each line to stdout followed by a line break, flushed at once.
    static LineWriter stdoutWriter();

    /// Replaces what ends the process in exitNow (default: flush stdio, then std::_Exit).
    void setProcessExit(std::function<void(int)> exitProcess);

    /// What "<datagram>TEXT" does with TEXT: the station sends it to its own feed port and returns
    /// once it has been handled (or given up on). Without a sender the line does nothing.
    void setDatagramSender(std::function<void(const QString& text)> send);

    /// The scan journal in script mode: `state` gives the state line's "journal" value, `settle`
    /// runs the line "<settle>". Without them neither appears.
    void setJournal(std::function<QJsonValue()> state, std::function<void()> settle);

    /// Benchmark output instead of the state: each line becomes "INPUT\tELAPSED_US\tSTART_US\tRETRIES\t
    /// CPU_US\tBOXES\tMESSAGE" (then one field per box text): how long the line's handling took (a
    /// plain line from its Enter, the typing left out) and when it began, in microseconds of the
    /// steady clock every process shares, `retries()` so far, the process's CPU time so far, the
    /// boxes since the previous line and the text of `messageWidget`. A line that opens a modal window
    /// is timed until that window has closed.
    void setTimings(QString messageWidget, std::function<qint64()> retries);

    /// Writes one state line for the given input (a string, or null for the start-up line).
    void writeState(const QJsonValue& input);

    /// Runs the script from the event loop; at its end closes the main window and exits the loop
    /// with code 0.
    void start();

    /// Calls `startUp` at once with the script started: the start-up line (input null) is written
    /// once it has returned and its events are handled, or, if it opens a modal dialog, while that
    /// dialog waits; the script's lines then run inside the dialog's loop.
    void startWith(const std::function<void()>& startUp);

    /// Writes the state of the line being run (or the start-up line if nothing was written yet)
    /// and ends the process with the code.
    void exitNow(int code);

    /// The JSON state object for the given input, as written by writeState.
    QByteArray stateLine(const QJsonValue& input);

private:
    struct Frame {
        QPointer<QWidget> modalAtStart;
    };

    QByteArray timingLine(const QJsonValue& input);
    void schedule(int delayMs = 0);
    void step();
    bool mayRunNow() const;
    void execute(const QString& line);
    void finish();

    QStringList m_lines;
    LineWriter m_writer;
    std::function<void()> m_tick;
    QPointer<QWidget> m_mainWindow;
    ScriptActions m_actions;
    ScriptStateLine m_stateLine;
    std::function<void(int)> m_exitProcess;
    std::function<void(const QString&)> m_sendDatagram;
    std::function<void()> m_settle;
    qint64 m_lineStartUs = 0;
    qint64 m_lineElapsedUs = 0;

    QObject m_context; // receiver of the queued steps; dropping it drops them
    QTimer m_wait;     // the next poll while a line runs; cut short once it has returned
    qsizetype m_next = 0;
    int m_settlePasses = 0;
    std::optional<QString> m_pendingInput; // the line run last, whose state is not written yet
    std::vector<Frame> m_running;          // lines whose execution is still on the stack
    bool m_anyWritten = false;
    bool m_startUpLinePending = false;
    bool m_stopped = false;
};

} // namespace vek
