// The PulseAudio output through the simple client API: one playback stream per format, with a small
// target buffer so that the sound stays close to the pictures.
#include "playback/audio_output_pulse.h"

#ifdef ZORV_HAVE_PULSE
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <vector>

namespace zorv::playback {

namespace {

class PulseAudioOutput final : public AudioOutput {
public:
    ~PulseAudioOutput() override { close(); }

    bool open(int sampleRate, int channels) override {
        if (stream_ && rate_ == sampleRate && channels_ == channels) return true;
        close();
        pa_sample_spec desc{};
        desc.format = PA_SAMPLE_S16NE;
        desc.rate = static_cast<uint32_t>(sampleRate);
        desc.channels = static_cast<uint8_t>(channels);
        pa_buffer_attr attr{};
        const uint32_t bytesPer100ms = static_cast<uint32_t>(sampleRate / 10 * channels * 2);
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = 2 * bytesPer100ms;
        // Playback starts after one picture's worth of sound, so that the clock can follow it at once.
        attr.prebuf = bytesPer100ms * 2 / 5;
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        int err = 0;
        stream_ = pa_simple_new(nullptr, "ZORV Pro", PA_STREAM_PLAYBACK, nullptr, "Playback", &desc, nullptr, &attr, &err);
        if (!stream_) return false;
        rate_ = sampleRate;
        channels_ = channels;
        return true;
    }
    void close() override {
        if (stream_) pa_simple_free(stream_);
        stream_ = nullptr;
        rate_ = channels_ = 0;
    }
    bool isOpen() const override { return stream_ != nullptr; }
    bool write(const int16_t* samples, int frames) override {
        if (!stream_) return false;
        const size_t count = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
        if (scratch_.size() < count) scratch_.resize(count);
        std::copy(samples, samples + count, scratch_.begin());
        applyGain(scratch_.data(), static_cast<int>(count));
        int err = 0;
        return pa_simple_write(stream_, scratch_.data(), count * sizeof(int16_t), &err) >= 0;
    }
    void flush() override {
        int err = 0;
        if (stream_) pa_simple_flush(stream_, &err);
    }
    int64_t latency() const override {
        if (!stream_) return 0;
        int err = 0;
        pa_usec_t us = pa_simple_get_latency(stream_, &err);
        return us == static_cast<pa_usec_t>(-1) ? 0 : static_cast<int64_t>(us) * 10;
    }
    bool hasMixer() const override { return true; }
    bool paced() const override { return true; }
    const char* name() const override { return "PulseAudio"; }

    // Whether a server answers at all (checked once when the output is chosen).
    static bool serverAvailable() {
        pa_sample_spec desc{PA_SAMPLE_S16NE, 48000, 2};
        int err = 0;
        pa_simple* s =
            pa_simple_new(nullptr, "ZORV Pro", PA_STREAM_PLAYBACK, nullptr, "Probe", &desc, nullptr, nullptr, &err);
        if (!s) return false;
        pa_simple_free(s);
        return true;
    }

private:
    pa_simple* stream_ = nullptr;
    int rate_ = 0, channels_ = 0;
    std::vector<int16_t> scratch_;
};

}  // namespace

std::unique_ptr<AudioOutput> makePulseAudioOutput() {
    if (!PulseAudioOutput::serverAvailable()) return nullptr;
    return std::make_unique<PulseAudioOutput>();
}

}  // namespace zorv::playback

#else

namespace zorv::playback {
std::unique_ptr<AudioOutput> makePulseAudioOutput() { return nullptr; }
}  // namespace zorv::playback

#endif
