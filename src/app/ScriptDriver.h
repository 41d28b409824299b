#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QStringList>
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
/// tick callback. Each line runs once the previous one has finished and the events it caused have
/// been handled; a line that opens a modal dialog lets the next line run inside the dialog's loop.
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

    /// Writes one state line for the given input (a string, or null for the start-up line).
    void writeState(const QJsonValue& input);

    /// Runs the script from the event loop; at its end closes the main window and exits the loop
    /// with code 0.
    void start();

    /// Writes the state of the line being run (or the start-up line if nothing was written yet)
    /// and ends the process with the code.
    void exitNow(int code);

    /// The JSON state object for the given input, as written by writeState.
    QByteArray stateLine(const QJsonValue& input);

private:
    struct Frame {
        QPointer<QWidget> modalAtStart;
    };

    void schedule(int delayMs = 0);
    void step();
    bool mayRunNow() const;
    void execute(const QString& line);
    void finish();

    QWidget* activeWindow() const;
    QWidget* focusTarget() const;
    void typeText(const QString& text);
    void sendKey(Qt::Key key, const QString& text);

    QStringList m_lines;
    LineWriter m_writer;
    RecordingMessageBoxes& m_boxes;
    RecordingToneOutput& m_tones;
    std::function<void()> m_tick;
    QPointer<QWidget> m_mainWindow;
    QStringList m_colorWidgets;
    std::function<void(int)> m_exitProcess;

    QObject m_context; // receiver of the queued steps; dropping it drops them
    qsizetype m_next = 0;
    int m_settlePasses = 0;
    std::optional<QString> m_pendingInput; // the line run last, whose state is not written yet
    std::vector<Frame> m_running;          // lines whose execution is still on the stack
    bool m_anyWritten = false;
    bool m_stopped = false;
};

} // namespace vek
