// The station executable: the main window, or the same window driven by a script.
#include "access/AccessClient.h"
#include "app/AlsaToneOutput.h"
#include "app/QtMessageBoxes.h"
#include "app/RecordingMessageBoxes.h"
#include "app/RecordingToneOutput.h"
#include "app/ScriptDriver.h"
#include "app/StopSignals.h"
#include "app/TfrmQuilbar.h"
#include "station/StationSettings.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct Options {
    QString settings;
    QString script;
    bool brazilian = false;
    bool ok = true;
};

Options parseOptions(const QStringList& args) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--settings") && i + 1 < args.size()) {
            o.settings = args[++i];
        } else if (a == QLatin1String("--script") && i + 1 < args.size()) {
            o.script = args[++i];
        } else if (a == QLatin1String("--locale") && i + 1 < args.size()) {
            o.brazilian = args[++i] == QLatin1String("pt_BR");
        } else {
            o.ok = false;
        }
    }
    return o;
}

QStringList readScript(const QString& path) {
    QFile f;
    if (path == QLatin1String("-")) {
        if (!f.open(stdin, QIODevice::ReadOnly)) return {};
    } else {
        f.setFileName(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
    }
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (QString& l : lines) {
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    }
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromLatin1(vek::TfrmQuilbar::kApplicationTitle));
    vek::closeOnStopSignals();
    const Options opt = parseOptions(QApplication::arguments());
    if (!opt.ok) {
        std::fprintf(stderr, "usage: vek-station [--settings FILE] [--script FILE|-] [--locale pt_BR]\n");
        return 2;
    }
    if (opt.brazilian) {
        vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    }
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    const std::string settings = opt.settings.isEmpty() ? vek::defaultSettingsPath(exe) : opt.settings.toStdString();
    // One client for the whole process, whether or not the settings name a server: its refresh
    // thread lives as long as the process. Declared before the window, so it outlives it.
    const std::unique_ptr<vek::AccessClient> access = vek::makeAccessClient();

    if (opt.script.isEmpty()) {
        vek::AlsaToneOutput tones;
        vek::QtMessageBoxes boxes;
        // The station ends "at once": no destructors run under a live window.
        vek::Platform platform{&tones, &boxes, [](int code) { std::_Exit(code); }};
        vek::TfrmQuilbar window(platform, settings, exe, access.get());
        window.FormCreate();
        window.show();
        return app.exec();
    }

    QFile scriptFile(opt.script);
    if (opt.script != QLatin1String("-") && !scriptFile.exists()) {
        std::fprintf(stderr, "vek-station: script %s not found\n", qPrintable(opt.script));
        return 2;
    }
    vek::RecordingToneOutput tones;
    vek::RecordingMessageBoxes boxes;
    std::unique_ptr<vek::ScriptDriver> driver;
    vek::Platform platform{&tones, &boxes, [&driver](int code) {
                               if (driver) {
                                   driver->exitNow(code);
                               }
                               std::fflush(stdout);
                               std::_Exit(code);
                           }};
    vek::TfrmQuilbar window(platform, settings, exe, access.get());
    driver = std::make_unique<vek::ScriptDriver>(
        readScript(opt.script), vek::ScriptDriver::stdoutWriter(), boxes, tones, [&window] { window.ClockTick(); },
        &window, QStringList{QStringLiteral("pnMens"), QStringLiteral("pnMsgConsulta")});
    // Started before the start-up: a choice dialog it opens is driven by the script's first lines.
    // <datagram>: the 8-bit bytes to the station's own feed port, waiting (at most 2 s) until handled.
    driver->setDatagramSender([&window](const QString& text) {
        if (vek::RecentEntriesFeed* feed = window.station().recentEntriesFeed()) {
            feed->sendToSelf(vek::fromQString(text), 2000);
        }
    });
    driver->startWith([&window] {
        window.FormCreate();
        window.show();
        window.activateWindow();
    });
    return app.exec();
}
