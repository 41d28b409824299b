#include "StationRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vek::test {

QString StationRun::text(std::size_t line, const char* widget) const {
    return lines.at(line)["texts"].toObject()[QString::fromLatin1(widget)].toString();
}

QString StationRun::color(std::size_t line, const char* widget) const {
    return lines.at(line)["colors"].toObject()[QString::fromLatin1(widget)].toString();
}

bool StationRun::shows(std::size_t line, const char* widget) const {
    return lines.at(line)["texts"].toObject().contains(QString::fromLatin1(widget));
}

QJsonArray StationRun::boxes(std::size_t line) const {
    return lines.at(line)["boxes"].toArray();
}

QJsonArray StationRun::tones(std::size_t line) const {
    return lines.at(line)["tones"].toArray();
}

QJsonArray StationRun::grid(std::size_t line, const char* widget) const {
    return lines.at(line)["grids"].toObject()[QString::fromLatin1(widget)].toArray();
}

StationProcess::StationProcess(const std::string& dir, const std::string& ini, const QStringList& script,
                               const Options& options)
    : m_dir(dir), m_process(std::make_unique<QProcess>()) {
    std::filesystem::create_directories(dir);
    const std::string prefix = options.name == "station" ? std::string() : options.name + "-";
    const std::string iniPath = options.settings.empty() ? dir + "/" + options.name + ".INI" : options.settings;
    const std::string scriptPath = dir + "/" + prefix + "script.txt";
    m_out = dir + "/" + prefix + "out.jsonl";
    m_err = dir + "/" + prefix + "err.txt";
    {
        if (options.settings.empty()) std::ofstream(iniPath, std::ios::binary) << ini;
        std::ofstream s(scriptPath, std::ios::binary);
        for (const QString& l : script) s << l.toStdString() << "\n";
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const auto& [name, value] : options.env) env.insert(name, value);
    m_process->setProcessEnvironment(env);
    m_process->setStandardOutputFile(QString::fromStdString(m_out));
    m_process->setStandardErrorFile(QString::fromStdString(m_err));
    m_process->start(QStringLiteral(VEK_STATION_EXE),
                     {QStringLiteral("--settings"), QString::fromStdString(iniPath), QStringLiteral("--script"),
                      QString::fromStdString(scriptPath), QStringLiteral("--locale"), QStringLiteral("pt_BR")});
}

StationProcess::~StationProcess() {
    if (running()) {
        m_process->kill();
        m_process->waitForFinished();
    }
}

bool StationProcess::running() const {
    return m_process->state() != QProcess::NotRunning;
}

StationRun StationProcess::finish() {
    StationRun run;
    if (!m_process->waitForFinished(120000)) {
        m_process->kill();
        m_process->waitForFinished();
        run.errors = QStringLiteral("station did not finish");
        return run;
    }
    run.exitCode = m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    QFile err(QString::fromStdString(m_err));
    if (err.open(QIODevice::ReadOnly)) run.errors = QString::fromUtf8(err.readAll());
    QFile out(QString::fromStdString(m_out));
    if (!out.open(QIODevice::ReadOnly)) return run;
    for (const QByteArray& line : out.readAll().split('\n')) {
        if (line.trimmed().isEmpty()) continue;
        if (!line.startsWith('{')) {
            run.timings.push_back(QString::fromUtf8(line).split(QLatin1Char('\t')));
            continue;
        }
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
        if (doc.isObject())
            run.lines.push_back(doc.object());
        else
            run.errors += QStringLiteral("\nunparsable output: ") + QString::fromUtf8(line);
    }
    return run;
}

StationRun runStation(const std::string& dir, const std::string& ini, const QStringList& script) {
    return StationProcess(dir, ini, script).finish();
}

std::string conveyorIni(const std::string& db, const std::string& extra) {
    return "[ESTEIRA]\r\nBDADOS=" + db + "\r\nCODESTEIRA=01\r\n" + extra;
}

int linesIn(const std::string& path) {
    std::ifstream f(path);
    int n = 0;
    for (std::string l; std::getline(f, l);) n += !l.empty();
    return n;
}

QString journalOutput(const std::string& ini, const QStringList& extra) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VEK_STATION_EXE),
            QStringList{QStringLiteral("--journal"), QStringLiteral("--settings"), QString::fromStdString(ini)} +
                extra);
    p.waitForFinished(30000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace vek::test
