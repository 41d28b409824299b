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

/// What a set of tones tells: a success may be dropped when another tone still sounds, an alarm or
/// the kept scan's tone never is.
enum class ToneKind { Alarm, Success, Held };

/// Tone output. Hands the tones over and returns at once: a scan never waits for sound.
class ToneOutput {
public:
    virtual ~ToneOutput() = default;
    /// Returns the milliseconds from now until these tones will have sounded (0: not played, as when
    /// dropped or only recorded).
    virtual int play(const std::vector<Tone>& tones, ToneKind kind) = 0;
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
