#pragma once

#include "station/Platform.h"

#include <cstdint>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

namespace vek {

/// Plays tones as sine waves on ALSA's "default" device. Without a device (servers, CI) it stays
/// silent but keeps the timing, so the station blocks exactly as long as with sound.
class AlsaToneOutput final : public ToneOutput {
public:
    enum class Device { Default, None };

    static constexpr int kSampleRate = 44100;

    /// Decides here, once, whether a device is used.
    explicit AlsaToneOutput(Device device = Device::Default);
    ~AlsaToneOutput() override;
    AlsaToneOutput(const AlsaToneOutput&) = delete;
    AlsaToneOutput& operator=(const AlsaToneOutput&) = delete;

    /// Never throws; a device failure falls back to sleeping the remaining time.
    void play(const std::vector<Tone>& tones) override;

    bool hasDevice() const { return m_pcm != nullptr; }

    /// 16-bit mono samples of one tone with short fades (no clicks); hz <= 0 gives silence.
    static std::vector<std::int16_t> samples(const Tone& tone, int sampleRate = kSampleRate);

private:
    bool playOnDevice(const Tone& tone, long& framesDone);
    void closeDevice();

    snd_pcm_t* m_pcm = nullptr;
};

} // namespace vek
