#include "platform/ScriptDriver.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vek {

namespace {

// Event-loop passes a line gets to settle (chains of posted events) before its state is read.
constexpr int kSettlePasses = 3;
// While a line's handler runs a nested loop of its own, the next line waits; polled, not spun.
constexpr int kWaitMs = 5;

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

// Steady clock (CLOCK_MONOTONIC): comparable between the processes of one machine.
qint64 steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ScriptDriver::ScriptDriver(QStringList lines, LineWriter writer, RecordingMessageBoxes& boxes,
                           RecordingToneOutput& tones, std::function<void()> tick, QWidget* mainWindow,
                           QStringList colorWidgets)
    : m_lines(std::move(lines)), m_writer(std::move(writer)), m_tick(std::move(tick)), m_mainWindow(mainWindow),
      m_actions(mainWindow), m_stateLine(boxes, tones, mainWindow, std::move(colorWidgets)),
      m_exitProcess([](int code) {
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
    m_stateLine.setJournal(std::move(state));
    m_settle = std::move(settle);
}

void ScriptDriver::setTimings(QString messageWidget, std::function<qint64()> retries) {
    m_stateLine.setTimings(std::move(messageWidget), std::move(retries));
}

QByteArray ScriptDriver::stateLine(const QJsonValue& input) {
    return m_stateLine.state(input, m_actions.activeWindow());
}

QByteArray ScriptDriver::timingLine(const QJsonValue& input) {
    // Each line's times go into its own timing line only.
    return m_stateLine.timing(input, std::exchange(m_lineElapsedUs, 0), std::exchange(m_lineStartUs, 0));
}

void ScriptDriver::writeState(const QJsonValue& input) {
    try {
        const QByteArray line = m_stateLine.timings() ? timingLine(input) : stateLine(input);
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
        m_actions.select(line.mid(kSelectPrefix.size()));
        return;
    }
    if (line.startsWith(kClickPrefix)) {
        m_actions.click(line.mid(kClickPrefix.size()));
        return;
    }
    if (line.startsWith(kDblClickPrefix)) {
        m_actions.doubleClick(line.mid(kDblClickPrefix.size()));
        return;
    }
    if (line == kClose) {
        m_actions.closeActiveWindow();
        return;
    }
    if (line.startsWith(kDatagramPrefix)) {
        if (m_sendDatagram) m_sendDatagram(line.mid(kDatagramPrefix.size()));
        return;
    }
    if (line.startsWith(kScreenshotPrefix)) {
        m_actions.saveScreenshot(line.mid(kScreenshotPrefix.size()));
        return;
    }
    if (line.startsWith(kTypePrefix)) {
        m_actions.typeText(line.mid(kTypePrefix.size()));
        return;
    }
    if (m_actions.sendNamedKey(line)) return;
    m_actions.typeText(line);
    m_lineStartUs = steadyMicroseconds(); // a scanner's keys arrive at once: the scan starts at its Enter
    m_actions.sendKey(Qt::Key_Return, QStringLiteral("\r"));
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

} // namespace vek
