#pragma once
// Qt's offscreen platform with screens of chosen sizes, side by side, the first the primary: set
// before the QApplication exists. Only when no other platform was chosen.
#include <QByteArray>
#include <QSize>
#include <QtGlobal>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <unistd.h>

namespace vek::test {

/// Keeps the screens' description until the application has read it.
class OffscreenScreens {
public:
    explicit OffscreenScreens(std::initializer_list<QSize> sizes) {
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        if (!platform.isEmpty() && platform != "offscreen") return;
        m_path = "/tmp/vek-screens-" + std::to_string(getpid()) + ".json";
        std::ofstream out(m_path);
        out << R"({"screens": [)";
        int x = 0;
        const char* sep = "";
        for (QSize s : sizes) {
            out << sep << R"({"name": "s)" << x << R"(", "x": )" << x << R"(, "y": 0, "width": )" << s.width()
                << R"(, "height": )" << s.height() << R"(, "logicalDpi": 96})";
            x += s.width();
            sep = ",";
        }
        out << "]}";
        out.close();
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + m_path.c_str());
    }
    ~OffscreenScreens() {
        if (!m_path.empty()) std::remove(m_path.c_str());
    }
    OffscreenScreens(const OffscreenScreens&) = delete;
    OffscreenScreens& operator=(const OffscreenScreens&) = delete;

private:
    std::string m_path;
};

} // namespace vek::test
