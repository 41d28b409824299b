#include "StationRun.h"

#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

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

StationRun runStation(const std::string& dir, const std::string& ini, const QStringList& script) {
    const std::string iniPath = dir + "/station.INI";
    const std::string scriptPath = dir + "/script.txt";
    {
        std::ofstream(iniPath, std::ios::binary) << ini;
        std::ofstream s(scriptPath, std::ios::binary);
        for (const QString& l : script) s << l.toStdString() << "\n";
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VEK_STATION_EXE),
            {QStringLiteral("--settings"), QString::fromStdString(iniPath), QStringLiteral("--script"),
             QString::fromStdString(scriptPath), QStringLiteral("--locale"), QStringLiteral("pt_BR")});
    StationRun run;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        run.errors = QStringLiteral("station did not finish");
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.errors = QString::fromUtf8(p.readAllStandardError());
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.trimmed().isEmpty()) continue;
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
        if (doc.isObject())
            run.lines.push_back(doc.object());
        else
            run.errors += QStringLiteral("\nunparsable output: ") + QString::fromUtf8(line);
    }
    return run;
}

std::string conveyorIni(const std::string& db, const std::string& extra) {
    return "[ESTEIRA]\r\nBDADOS=" + db + "\r\nCODESTEIRA=01\r\n" + extra;
}

} // namespace vek::test
