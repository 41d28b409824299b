#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

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

/// Writes `ini` as the settings file in `dir`, runs the station with the script lines (Brazilian
/// formats, offscreen) and collects its output.
StationRun runStation(const std::string& dir, const std::string& ini, const QStringList& script);

/// Settings text for a conveyor station on the database file `db`.
std::string conveyorIni(const std::string& db, const std::string& extra = {});

} // namespace vek::test
