#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace vek {

inline constexpr const char* kApplicationTitle = "VEK - Atualizacao de Etiquetas";

/// One tone of the station's alarms.
struct Tone {
    int hz = 0;
    int ms = 0;
    bool operator==(const Tone&) const = default;
};

/// Tone output: plays the tones one after another and returns when the last has finished.
class ToneOutput {
public:
    virtual ~ToneOutput() = default;
    virtual void play(const std::vector<Tone>& tones) = 0;
};

/// Modal message boxes with a title, an icon and an OK button; returns when closed.
class MessageBoxes {
public:
    enum class Icon { Information, Warning, Error };
    virtual ~MessageBoxes() = default;
    virtual void show(Icon icon, const QString& title, const QString& text) = 0;
};

/// What the station uses of the platform, replaceable by recorders in tests and script mode.
struct Platform {
    ToneOutput* tones = nullptr;
    MessageBoxes* boxes = nullptr;
    /// Ends the process at once with the given exit code.
    std::function<void(int)> exitProcess;
};

} // namespace vek
