#include "platform/AlsaToneOutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace vek {

namespace {

constexpr unsigned kLatencyUs = 100000;
constexpr int kFadeMs = 5;
constexpr double kAmplitude = 0.5 * 32767.0;

// ALSA reports a missing card on stderr; on a machine without sound that is expected, not news.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void sleepMs(long ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

AlsaToneOutput::AlsaToneOutput(Device device) {
    if (device == Device::Default) {
        snd_lib_error_set_handler(&quietAlsaErrors);
        if (snd_pcm_open(&m_pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
            m_pcm = nullptr;
        } else if (snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate, 1,
                                      kLatencyUs) < 0) {
            closeDevice();
        }
        snd_lib_error_set_handler(nullptr);
    }
    m_hasDevice = m_pcm != nullptr;
    m_player = std::make_unique<TonePlayer>([this](const Tone& tone) { sound(tone); });
}

AlsaToneOutput::~AlsaToneOutput() {
    m_player.reset();
    closeDevice();
}

void AlsaToneOutput::closeDevice() {
    if (m_pcm) {
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
    }
    m_hasDevice = false;
}

std::vector<std::int16_t> AlsaToneOutput::samples(const Tone& tone, int sampleRate) {
    if (tone.ms <= 0 || sampleRate <= 0) return {};
    const long count = static_cast<long>(sampleRate) * tone.ms / 1000;
    std::vector<std::int16_t> out(static_cast<std::size_t>(count), 0);
    if (tone.hz <= 0) return out;
    const long fade = std::min<long>(static_cast<long>(sampleRate) * kFadeMs / 1000, count / 2);
    const double step = 2.0 * std::numbers::pi * tone.hz / sampleRate;
    for (long i = 0; i < count; ++i) {
        double gain = 1.0;
        if (fade > 0) gain = std::min({1.0, static_cast<double>(i) / fade, static_cast<double>(count - 1 - i) / fade});
        const double value = kAmplitude * gain * std::sin(step * static_cast<double>(i));
        out[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(value));
    }
    return out;
}

bool AlsaToneOutput::playOnDevice(const Tone& tone, long& framesDone) {
    const auto data = samples(tone);
    if (snd_pcm_prepare(m_pcm) < 0) return false;
    const long total = static_cast<long>(data.size());
    while (framesDone < total) {
        const snd_pcm_sframes_t n =
            snd_pcm_writei(m_pcm, data.data() + framesDone, static_cast<snd_pcm_uframes_t>(total - framesDone));
        if (n >= 0) {
            framesDone += n;
        } else if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0) {
            return false;
        }
    }
    // Returns only when the device has played the tone out.
    return snd_pcm_drain(m_pcm) >= 0;
}

int AlsaToneOutput::play(const std::vector<Tone>& tones, ToneKind kind) {
    try {
        return m_player->play(tones, kind);
    } catch (...) {
        // Only allocation can fail here; a lost tone is not worth stopping a scan for.
        return 0;
    }
}

void AlsaToneOutput::sound(const Tone& tone) {
    if (!m_pcm) {
        sleepMs(tone.ms);
        return;
    }
    long framesDone = 0;
    bool played = false;
    try {
        played = playOnDevice(tone, framesDone);
    } catch (...) {
        // allocation of the samples: the tone's time in silence, as without a device
    }
    if (!played) {
        // The device went away: silence from here on, the tones' time kept.
        closeDevice();
        sleepMs(tone.ms - framesDone * 1000L / kSampleRate);
    }
}

} // namespace vek
