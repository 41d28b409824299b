#pragma once

#include "platform/TonePlayer.h"
#include "station/Platform.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

namespace vek {

/// Plays tones as sine waves on ALSA's "default" device, on a player thread of its own (`TonePlayer`).
/// Without a device (servers, CI) it stays silent but keeps the tones' time on that thread, so that
/// what is dropped and how long a message is held are the same with sound or without.
class AlsaToneOutput final : public ToneOutput {
public:
    enum class Device { Default, None };

    static constexpr int kSampleRate = 44100;

    /// Decides here, once, whether a device is used.
    explicit AlsaToneOutput(Device device = Device::Default);
    ~AlsaToneOutput() override;
    AlsaToneOutput(const AlsaToneOutput&) = delete;
    AlsaToneOutput& operator=(const AlsaToneOutput&) = delete;

    /// Returns at once; never throws. A device failure falls back to silence for the rest.
    int play(const std::vector<Tone>& tones, ToneKind kind) override;

    bool hasDevice() const { return m_hasDevice; }

    /// 16-bit mono samples of one tone with short fades (no clicks); hz <= 0 gives silence.
    static std::vector<std::int16_t> samples(const Tone& tone, int sampleRate = kSampleRate);

private:
    /// On the player's thread: one tone, on the device or in silence.
    void sound(const Tone& tone);
    bool playOnDevice(const Tone& tone, long& framesDone);
    void closeDevice();

    snd_pcm_t* m_pcm = nullptr; // the player's thread's once it runs
    std::atomic<bool> m_hasDevice = false;
    std::unique_ptr<TonePlayer> m_player; // stopped before the device closes
};

} // namespace vek
