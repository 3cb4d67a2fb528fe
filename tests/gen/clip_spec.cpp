#include "gen/clip_spec.h"

#include <algorithm>
#include <cmath>

#include "core/civil_time.h"

namespace zorv::gen {

namespace {

constexpr int64_t kDropFramesPerTenMinutes = 17982;
constexpr int64_t kDropFramesPerMinute = 1798;

int64_t dayFrames(int fps, bool dropFrame) {
    return (fps == 30 && dropFrame) ? 6 * 24 * kDropFramesPerTenMinutes : int64_t{24} * 3600 * fps;
}

int64_t toEpoch(const DateTime& d) {
    return core::daysFromCivil(d.year, d.month, d.day) * 86400 + d.hour * 3600 + d.minute * 60 + d.second;
}

DateTime fromEpoch(int64_t s) {
    core::CivilDateTime c = core::civilFromUtcSeconds(s);
    return DateTime{static_cast<int>(c.year), c.month, c.day, c.hour, c.minute, c.second};
}

// Whole seconds of recording after k frames.
int64_t elapsedSeconds(const ClipSpec& desc, int64_t k) { return desc.pal() ? k / 25 : k * 1001 / 30000; }

size_t runIndex(const ClipSpec& desc, int64_t n) {
    size_t i = 0;
    for (size_t r = 0; r < desc.runs.size(); ++r)
        if (desc.runs[r].first <= n) i = r;
    return i;
}

bool countsDropFrame(const ClipSpec& desc) { return desc.dropFrame && !desc.pal(); }

// Timecode of frame n within run i, as a frame count.
int64_t timecodeFrames(const ClipSpec& desc, size_t i, int64_t n) {
    const Run& run = desc.runs[i];
    int64_t base;
    if (run.tc) base = timecodeToFrames(*run.tc, desc.frameRate(), countsDropFrame(desc));
    else if (i == 0) base = 0;
    else base = timecodeFrames(desc, i - 1, run.first - 1) + desc.runs[i - 1].tcStep;
    return base + (n - run.first) * run.tcStep;
}

// Recording time of frame n within run i, in seconds since 1970.
int64_t recSeconds(const ClipSpec& desc, size_t i, int64_t n) {
    // The anchor is the latest run at or before i that sets the clock.
    size_t a = i;
    while (a > 0 && !desc.runs[a].rec) --a;
    const Run& anchor = desc.runs[a];
    int64_t epoch = toEpoch(anchor.rec ? *anchor.rec : DateTime{});
    return epoch + elapsedSeconds(desc, n - anchor.first);
}

// Index 0 = 48 kHz, 1 = 44.1 kHz, 2 = 32 kHz: the AAUX SMP code.
int rateCode(int rate) { return rate == 44100 ? 1 : rate == 32000 ? 2 : 0; }

// Fewest samples per channel in a frame (the base of the AAUX AF_SIZE field), by rate code.
constexpr int kMinSamples625[3] = {1896, 1742, 1264};
constexpr int kMinSamples525[3] = {1580, 1452, 1053};

// AAUX source pack: AF_SIZE and locked flag, one channel per block, the system, then rate and
// quantisation. 44.1 kHz is never locked.
Pack audioSourcePack(const ClipSpec& desc, int64_t n) {
    const bool pal = desc.pal();
    const int code = rateCode(desc.audio.sampleRate);
    const int minimum = pal ? kMinSamples625[code] : kMinSamples525[code];
    const bool locked = desc.audio.sampleRate != 44100;
    const uint8_t pc1 = static_cast<uint8_t>((locked ? 0x00 : 0x80) | 0x40 | (audioSamples(desc, n) - minimum));
    const uint8_t pc4 = static_cast<uint8_t>(0xC0 | code << 3 | (desc.audio.bits == 12 ? 1 : 0));
    return Pack{0x50, {pc1, 0x30, static_cast<uint8_t>(pal ? 0xE0 : 0xC0), pc4}};
}

}  // namespace

int audioSamples(const ClipSpec& desc, int64_t n) {
    return static_cast<int>(audioSampleStart(desc, n + 1) - audioSampleStart(desc, n));
}

int64_t audioSampleStart(const ClipSpec& desc, int64_t n) {
    const int64_t rate = desc.audio.sampleRate;
    if (desc.pal()) return n * rate / 25;
    if (rate == 48000) {
        static const int64_t kBefore[5] = {0, 1600, 3202, 4804, 6406};
        return n / 5 * 8008 + kBefore[n % 5];
    }
    return n * rate * 1001 / 30000;
}

void toneSamples(const ClipSpec& desc, int pair, int64_t start, int count, int16_t* out) {
    // Left and right of pair 0 at 440 and 660 Hz, of pair 1 at 550 and 880 Hz.
    static const double kHz[2][2] = {{440.0, 660.0}, {550.0, 880.0}};
    static const double kLevel[2][2] = {{12000.0, 8000.0}, {6000.0, 10000.0}};
    const double rate = desc.audio.sampleRate;
    for (int s = 0; s < count; ++s) {
        // Whole cycles are dropped before the sine so that long clips keep their precision.
        for (int c = 0; c < 2; ++c) {
            const double cycles = std::fmod(static_cast<double>(start + s) * kHz[pair][c] / rate, 1.0);
            out[2 * s + c] = static_cast<int16_t>(std::lround(kLevel[pair][c] * std::sin(2.0 * M_PI * cycles)));
        }
    }
}

bool ClipSpec::isDropped(int64_t frame) const { return std::find(dropped.begin(), dropped.end(), frame) != dropped.end(); }

bool ClipSpec::isOmitted(int64_t frame) const {
    return frame < firstFrame || std::find(omitted.begin(), omitted.end(), frame) != omitted.end();
}

DamagedRun damagedRun(const BlockDamage& d, size_t frameSize) {
    const int blocks = static_cast<int>(frameSize / 12000) * 135;
    DamagedRun r;
    r.count = std::clamp(static_cast<int>(std::lround(d.share * blocks)), 0, blocks);
    r.first = std::clamp(static_cast<int>(std::floor(d.start * blocks)), 0, blocks - 1);
    return r;
}

int64_t timecodeToFrames(const Timecode& tc, int fps, bool dropFrame) {
    int64_t minutes = int64_t{tc.hours} * 60 + tc.minutes;
    int64_t n = (minutes * 60 + tc.seconds) * fps + tc.frames;
    if (dropFrame && fps == 30) n -= 2 * (minutes - minutes / 10);
    return n;
}

Timecode framesToTimecode(int64_t n, int fps, bool dropFrame) {
    const int64_t day = dayFrames(fps, dropFrame);
    n %= day;
    if (n < 0) n += day;
    if (dropFrame && fps == 30) {
        int64_t d = n / kDropFramesPerTenMinutes, m = n % kDropFramesPerTenMinutes;
        n += 18 * d + (m >= 2 ? 2 * ((m - 2) / kDropFramesPerMinute) : 0);
    }
    Timecode tc;
    tc.frames = static_cast<int>(n % fps);
    n /= fps;
    tc.seconds = static_cast<int>(n % 60);
    n /= 60;
    tc.minutes = static_cast<int>(n % 60);
    tc.hours = static_cast<int>(n / 60);
    return tc;
}

ClipSpec palClip(int64_t frames) {
    ClipSpec s;
    s.frames = frames;
    return s;
}

ClipSpec ntscClip(int64_t frames, bool dropFrame) {
    ClipSpec s;
    s.system = System::Ntsc;
    s.frames = frames;
    s.dropFrame = dropFrame;
    return s;
}

ClipSpec sampleClip() {
    ClipSpec s = palClip(250);
    s.runs = {Run{0, Timecode{0, 0, 0, 0}, 1, DateTime{2011, 6, 15, 10, 30, 0}},
              Run{125, Timecode{0, 10, 0, 0}, 1, DateTime{2011, 6, 15, 12, 0, 0}}};
    s.recordingStarts = {0, 125};
    return s;
}

FrameMeta frameMeta(const ClipSpec& desc, int64_t n) {
    FrameMeta m;
    const bool pal = desc.pal();
    if (!desc.runs.empty()) {
        size_t i = runIndex(desc, n);
        m.tc = framesToTimecode(timecodeFrames(desc, i, n), desc.frameRate(), countsDropFrame(desc));
        m.rec = fromEpoch(recSeconds(desc, i, n));
    } else {
        m.hasTimecode = false;
        m.hasRec = false;
    }
    m.dropFrameFlag = desc.dropFrame;
    m.hasUserBits = desc.userBits.has_value();
    m.userBits = desc.userBits.value_or(0);
    m.widescreen = desc.widescreen;
    m.recordingStart = std::find(desc.recordingStarts.begin(), desc.recordingStarts.end(), n) != desc.recordingStarts.end();
    m.hasCamera = desc.camera;
    m.camera1 = desc.camera1;
    m.camera2 = desc.camera2;
    m.shutter = desc.shutter;
    m.audioSource = audioSourcePack(desc, n);
    m.hasAudioSource = desc.audio.present;
    m.audioControl = Pack{0x51, {0x33, 0xCF, 0xA0, 0xFF}};
    m.videoSource = Pack{0x60, {0xFF, 0xFF, static_cast<uint8_t>(pal ? 0xE0 : 0xC0), 0xFF}};
    m.videoControl = Pack{0x61, {0x33, 0xC8, 0xFC, 0xFF}};
    m.laterSequencesOnly = desc.laterSequencesOnly;
    m.ffHeaderJunk = desc.ffHeaderJunk;
    if (desc.customize) desc.customize(n, m);
    return m;
}

}  // namespace zorv::gen
