#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class QProcess;

namespace vek::test {

/// The message panel's colours as the state line gives them.
inline const QString kRed = QStringLiteral("#ff0000");
inline const QString kGreen = QStringLiteral("#008000");

/// A UTF-8 literal of the test as the screen's text.
inline QString u(const char* s) {
    return QString::fromUtf8(s);
}

/// One run of the station executable in script mode.
struct StationRun {
    int exitCode = -1;
    std::vector<QJsonObject> lines; // the start-up line first, then one per script line
    QString errors;                 // standard error, for failure messages

    const QJsonObject& last() const { return lines.back(); }
    QString text(std::size_t line, const char* widget) const;
    QString color(std::size_t line, const char* widget) const;
    bool shows(std::size_t line, const char* widget) const;
    QJsonArray boxes(std::size_t line) const;
    QJsonArray tones(std::size_t line) const;
    QJsonArray grid(std::size_t line, const char* widget) const;
};

/// The station executable started in script mode (Brazilian formats, offscreen) on `ini`, written as
/// the settings file in `dir` with the script beside it. Its output goes to files there, so it never
/// waits on a full pipe while the test waits on something else; killed if still running when it goes.
class StationProcess {
public:
    StationProcess(const std::string& dir, const std::string& ini, const QStringList& script);
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    bool running() const;
    /// Waits for the end (at most 2 minutes) and collects the output.
    StationRun finish();

private:
    std::string m_dir;
    std::unique_ptr<QProcess> m_process;
};

/// A StationProcess run to its end.
StationRun runStation(const std::string& dir, const std::string& ini, const QStringList& script);

/// Settings text for a conveyor station on the database file `db`.
std::string conveyorIni(const std::string& db, const std::string& extra = {});

} // namespace vek::test
