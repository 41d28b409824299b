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
    std::vector<QJsonObject> lines;   // the start-up line first, then one per script line
    QString errors;                   // standard error, for failure messages
    std::vector<QStringList> timings; // VEK_SCRIPT_TIMINGS=1: the timing lines' fields

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
    /// Where it runs beyond its folder: the settings file's name (`station` gives `station.INI`, and
    /// its script and output keep their plain names; another name prefixes them), and variables
    /// added to its environment.
    struct Options {
        std::string name = "station";
        std::vector<std::pair<QString, QString>> env;
        std::string settings; // another settings file to run on; `ini` is then not written
    };
    StationProcess(const std::string& dir, const std::string& ini, const QStringList& script)
        : StationProcess(dir, ini, script, Options{}) {}
    StationProcess(const std::string& dir, const std::string& ini, const QStringList& script, const Options& options);
    /// The output file (one JSON state line, or timing line, per script line).
    const std::string& outputPath() const { return m_out; }
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    bool running() const;
    /// Waits for the end (at most 2 minutes) and collects the output.
    StationRun finish();

private:
    std::string m_dir;
    std::string m_out;
    std::string m_err;
    std::unique_ptr<QProcess> m_process;
};

/// A StationProcess run to its end.
StationRun runStation(const std::string& dir, const std::string& ini, const QStringList& script);

/// The non-empty lines of a file (a station's output so far).
int linesIn(const std::string& path);

/// What `vek-station --journal --settings INI EXTRA…` prints, without a display; its exit code is
/// checked to be 0.
QString journalOutput(const std::string& ini, const QStringList& extra);

/// Settings text for a conveyor station on the database file `db`.
std::string conveyorIni(const std::string& db, const std::string& extra = {});

} // namespace vek::test
