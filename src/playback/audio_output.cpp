#include "playback/audio_output.h"

#include <algorithm>

#include "playback/audio_output_pulse.h"

namespace zorv::playback {

void AudioOutput::setVolume(int percent) { volume_ = std::clamp(percent, 0, 100); }

void AudioOutput::applyGain(int16_t* samples, int count) const {
    if (mute_) {
        std::fill(samples, samples + count, int16_t{0});
        return;
    }
    if (volume_ >= 100) return;
    for (int i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(samples[i] * volume_ / 100);
}

namespace {

// No device: the samples are dropped and nothing is queued.
class NullAudioOutput final : public AudioOutput {
public:
    bool open(int, int) override {
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(const int16_t*, int) override { return open_; }
    void flush() override {}
    int64_t latency() const override { return 0; }
    bool hasMixer() const override { return false; }
    const char* name() const override { return "none"; }

private:
    bool open_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> makeNullAudioOutput() { return std::make_unique<NullAudioOutput>(); }

std::unique_ptr<AudioOutput> makeAudioOutput(AudioBackendKind kind) {
    if (kind == AudioBackendKind::kPulse || kind == AudioBackendKind::kAuto || kind == AudioBackendKind::kAlsa) {
        // ALSA's "default" device is served by the sound server on desktops; a machine without one
        // plays silently.
        if (auto pulse = makePulseAudioOutput()) return pulse;
    }
    return makeNullAudioOutput();
}

}  // namespace zorv::playback
