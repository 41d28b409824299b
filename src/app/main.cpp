// The station executable: the main window, or the same window driven by a script.
#include "access/AccessClient.h"
#include "app/JournalCommand.h"
#include "app/TfrmQuilbar.h"
#include "app/WidgetKit.h"
#include "db/Connection.h"
#include "platform/AlsaToneOutput.h"
#include "platform/QtMessageBoxes.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "platform/ScriptDriver.h"
#include "platform/StopSignals.h"
#include "station/StationSettings.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

namespace {

struct Options {
    QString settings;
    QString script;
    bool brazilian = false;
    bool fullScreen = false;
    bool ok = true;
};

// %s: the system-wide settings file.
constexpr const char* kUsage =
    "usage: vek-station [--settings FILE] [--script FILE|-] [--locale pt_BR] [--fullscreen] [--version] [--help]\n"
    "  --settings FILE   the settings file (default: beside the executable, else %s)\n"
    "  --script FILE|-   drive the station from script lines (- for standard input), one JSON state per line\n"
    "  --locale pt_BR    Brazilian number and date formats (the only locale there is)\n"
    "  --fullscreen      show the window full screen\n"
    "  --journal [--since YYYY-MM-DD] [--state STATE] [--csv]  print the scan journal and exit\n"
    "  --version         print the name and version and exit\n"
    "  --help            print this text and exit\n";

// Answered before the application object exists, so they need no display.
int answerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--version") {
            std::printf("vek-station %s\n", VEK_VERSION);
            return 0;
        }
        if (a == "--help") {
            std::printf(kUsage, vek::kSystemSettingsPath);
            return 0;
        }
    }
    return -1;
}

// Qt's own options, which QApplication takes off the command line; the ones followed by a value.
bool isQtOption(std::string_view a, bool& takesValue) {
    static constexpr std::string_view withValue[] = {
        "-platform",        "-platformpluginpath", "-platformtheme", "-plugin", "-display",    "-geometry",
        "-qwindowgeometry", "-qwindowicon",        "-qwindowtitle",  "-style",  "-stylesheet", "-session"};
    static constexpr std::string_view alone[] = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount"};
    for (std::string_view o : withValue) {
        if (a == o) {
            takesValue = true;
            return true;
        }
    }
    for (std::string_view o : alone) {
        if (a == o) {
            takesValue = false;
            return true;
        }
    }
    return false;
}

// Read before the application object exists: a wrong command line is answered without a display.
Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        bool qtValue = false;
        if (a == "--settings" && hasValue) {
            o.settings = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--script" && hasValue) {
            o.script = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--locale" && hasValue) {
            // The one locale the station knows; another is a wrong command line, not a silent default.
            o.brazilian = std::string_view(argv[++i]) == "pt_BR";
            o.ok = o.ok && o.brazilian;
        } else if (a == "--fullscreen") {
            o.fullScreen = true;
        } else if (isQtOption(a, qtValue)) {
            if (qtValue) {
                if (!hasValue) o.ok = false;
                ++i;
            }
        } else {
            o.ok = false;
        }
    }
    return o;
}

// Whether a window can be shown: a platform chosen by hand, or an X or Wayland display to reach.
bool haveDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool desktop = platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    return !desktop || !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
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
    vek::blockStopSignals(); // first: every thread, the access client's too, inherits the blocked set
    // One access server client for the whole process, before anything else runs and whether or not
    // the settings name a server. Its refresh thread lives until main returns; declared before the
    // application and the window, so it outlives both.
    std::unique_ptr<vek::AccessClient> access;
    try {
        access = vek::makeAccessClient();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vek-station: %s\n", e.what());
        return 1;
    }
    if (const int code = answerInfoOption(argc, argv); code >= 0) return code;
    if (const int code = vek::answerJournalOption(argc, argv); code >= 0) return code;
    const Options opt = parseOptions(argc, argv);
    if (!opt.ok) {
        std::fprintf(stderr, kUsage, vek::kSystemSettingsPath);
        return 2;
    }
    if (!opt.script.isEmpty() && opt.script != QLatin1String("-") && !QFile::exists(opt.script)) {
        std::fprintf(stderr, "vek-station: script %s not found\n", qPrintable(opt.script));
        return 2;
    }
    if (!haveDisplay()) {
        if (opt.script.isEmpty()) {
            std::fprintf(stderr, "vek-station: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                                 "to run without one: QT_QPA_PLATFORM=offscreen vek-station --script FILE\n");
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen"); // a script needs no screen
    }
    vek::ui::cacheLargeGlyphs();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromLatin1(vek::TfrmQuilbar::kApplicationTitle));
    vek::closeOnStopSignals();
    if (opt.brazilian) {
        vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    }
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    const std::string settings = opt.settings.isEmpty() ? vek::lookUpSettingsPath(exe) : opt.settings.toStdString();

    if (opt.script.isEmpty()) {
        vek::AlsaToneOutput tones;
        vek::QtMessageBoxes boxes;
        // The station ends "at once": no destructors run under a live window.
        vek::Platform platform{&tones, &boxes, [](int code) { std::_Exit(code); }};
        vek::TfrmQuilbar window(platform, settings, exe, access.get());
        window.FormCreate();
        if (vek::stopRequested()) {
            return 0; // stopped during start-up: the destructors close what it opened
        }
        if (opt.fullScreen)
            window.showFullScreen();
        else
            window.show();
        return app.exec();
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
    vek::connectJournalToScript(*driver, window);
    // Benchmarks: a terse line per script line, so that writing the state costs nothing measurable.
    if (!qEnvironmentVariableIsEmpty("VEK_SCRIPT_TIMINGS")) {
        driver->setTimings(QStringLiteral("pnMens"), [] { return vek::db::conflictRetries(); });
    }
    driver->startWith([&window] {
        window.FormCreate();
        window.show();
        window.activateWindow();
    });
    return app.exec();
}
