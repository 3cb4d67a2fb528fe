// Where the player's sound goes: a small interface over the desktop's sound server (PulseAudio), the
// ALSA default device, or nothing at all. The null output swallows the samples and has no mixer, so a
// machine without sound plays pictures as usual.
//
// Samples are interleaved signed 16-bit, native endian. Volume and mute are the output's own (applied
// to the samples as they are written); the null output keeps the values but nothing is heard.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zorv::playback {

enum class AudioBackendKind {
    kAuto,   // PulseAudio, then ALSA, then the null output
    kNull,   // no device: silence, no mixer
    kPulse,  // libpulse-simple
    kAlsa,   // ALSA "default" (served through the sound server where one runs)
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Opens the device for this format; an output already open with the same format stays as it is.
    virtual bool open(int sampleRate, int channels) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes frames (one sample per channel each); may block while the device's buffer is full.
    virtual bool write(const int16_t* samples, int frames) = 0;
    // Drops what is queued but not yet heard (seek, stop).
    virtual void flush() = 0;
    // Time the samples written so far still need to be heard, 100-ns units.
    virtual int64_t latency() const = 0;

    // True when the output has a volume and mute control that does something.
    virtual bool hasMixer() const = 0;
    // True when the samples are played out in real time, so that latency() tells what is being heard
    // and the player's clock can follow the sound.
    virtual bool paced() const { return false; }
    virtual const char* name() const = 0;

    // 0..100 %.
    void setVolume(int percent);
    int volume() const { return volume_; }
    void setMute(bool mute) { mute_ = mute; }
    bool muted() const { return mute_; }

protected:
    // Applies volume and mute to a block in place (scratch copy made by the caller).
    void applyGain(int16_t* samples, int count) const;

private:
    int volume_ = 100;
    bool mute_ = false;
};

// The output of the kind asked for; kAuto gives the first that opens a connection, the null output
// when none does. Never null.
std::unique_ptr<AudioOutput> makeAudioOutput(AudioBackendKind kind);
std::unique_ptr<AudioOutput> makeNullAudioOutput();

}  // namespace zorv::playback
