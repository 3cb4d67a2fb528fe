// Description of a generated camcorder clip: the video system, the frame count, the metadata each
// frame carries (timecode runs with jumps and repeats, recording date and time, user bits, camera
// and audio packs, widescreen and recording-start bits, unusual pack placements) and the frames
// that are dropped in the container.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zorv::gen {

enum class System { Pal, Ntsc };  // 625/50 (144000-byte frames, 25/s) and 525/60 (120000, 29.97/s)
enum class Container { RawDv, Avi1, Avi2 };
enum class IndexStyle { Idx1FromFile, Idx1FromMovi, OpenDml };

struct Timecode {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    bool operator==(const Timecode&) const = default;
};

struct DateTime {
    int year = 2011, month = 6, day = 15, hour = 10, minute = 30, second = 0;
    bool operator==(const DateTime&) const = default;
};

// A five-byte pack: header (pack ID) and PC1..PC4.
struct Pack {
    uint8_t id = 0xFF;
    std::array<uint8_t, 4> pc{0xFF, 0xFF, 0xFF, 0xFF};
};

// A run of frames starting at frame `first`. From there the timecode counts on from `tc` (by
// `tcStep` per frame: 0 repeats the same timecode) and the recording clock runs from `rec`, one
// second per second of video. An unset value continues from the previous run without a jump.
struct Run {
    int64_t first = 0;
    std::optional<Timecode> tc;
    int tcStep = 1;
    std::optional<DateTime> rec;
};

// Everything written into one frame's packs.
struct FrameMeta {
    bool hasTimecode = true;
    Timecode tc;
    bool dropFrameFlag = false;
    bool hasUserBits = false;
    uint32_t userBits = 0;
    bool hasRec = true;
    DateTime rec;
    bool widescreen = false;
    bool recordingStart = false;
    bool hasCamera = true;
    Pack camera1, camera2, shutter;  // 0x70, 0x71, 0x7F
    bool hasAudioSource = true;
    Pack audioSource, audioControl;   // 0x50, 0x51
    Pack videoSource, videoControl;   // 0x60, 0x61 (filled from the system and flags when id is 0xFF)
    bool laterSequencesOnly = false;  // packs only in the second half of the DIF sequences
    bool ffHeaderJunk = false;        // empty slots get header 0xFF with a non-0xFF payload
};

// The sound in the frames' audio blocks (and in a Type 2 file's audio stream).
struct AudioSpec {
    bool tone = false;       // a sine per channel; otherwise silence
    bool present = true;     // false: no AAUX source pack at all (a recording without sound)
    int sampleRate = 48000;  // 48000, 44100 or 32000
    int bits = 16;           // 16 linear, or 12 non-linear (32 kHz, two stereo pairs)
};

// A bad read of frame `frame` as a deck reports it: `share` of its video blocks (0..1, rounded to
// whole blocks) get status `sta`, as one run in frame order (sequence by sequence, video block by
// video block) starting `start` of the way into the frame and wrapping at its end. Blocks concealed
// with the previous (0x2/0xA, 0x6/0xE) or next frame (0x4/0xC) carry that frame's picture data, as
// a deck's concealment leaves them; blocks in error keep a zeroed picture payload.
struct BlockDamage {
    int64_t frame = 0;
    int sta = 0xA;
    double share = 1.0;
    double start = 0.0;
};

// `count` audio samples of channel `channel` (0/1 left/right, 2/3 the second pair of 12-bit audio)
// from sample `first` on are written as the error code.
struct AudioDamage {
    int64_t frame = 0;
    int channel = 0;
    int count = 0;
    int first = 0;
};

struct ClipSpec {
    System system = System::Pal;
    int64_t frames = 250;
    bool dropFrame = false;  // drop-frame timecode flag (and counting, for 525/60)
    std::vector<Run> runs{Run{0, Timecode{}, 1, DateTime{}}};
    std::optional<uint32_t> userBits;              // binary group pack 0x14
    bool camera = true;                            // camera packs 0x70, 0x71, 0x7F
    Pack camera1{0x70, {0xC5, 0x02, 0x20, 0x0F}};  // iris 5, auto exposure, gain 2, auto focus 15
    Pack camera2{0x71, {0xFF, 0x7F, 0xFF, 0xFF}};  // stabilizer on
    Pack shutter{0x7F, {0xFF, 0xFF, 0x32, 0x00}};  // shutter code 50
    bool widescreen = false;
    std::vector<int64_t> recordingStarts{0};  // frames whose recording-start bit is set
    bool laterSequencesOnly = false;
    bool ffHeaderJunk = false;
    std::vector<int64_t> dropped;  // frames written as empty index entries (left out of Raw DV)
    std::vector<int64_t> omitted;  // frames left out of the file (a transfer that lost them)
    int64_t firstFrame = 0;        // the file starts at this frame of the clip
    std::vector<BlockDamage> damage;
    std::vector<AudioDamage> audioErrors;
    AudioSpec audio;
    // Last word on each frame's metadata, after the rules above.
    std::function<void(int64_t frame, FrameMeta&)> customize;

    // Container details.
    uint64_t riffLimit = 1ull << 30;
    uint32_t reservedListSize = 160;

    bool pal() const { return system == System::Pal; }
    size_t frameSize() const { return pal() ? 144000 : 120000; }
    int frameRate() const { return pal() ? 25 : 30; }
    bool isDropped(int64_t frame) const;
    bool isOmitted(int64_t frame) const;
};

// A PAL clip of `frames` frames: one timecode run from 00:00:00:00, recording from 2011-06-15 10:30:00.
ClipSpec palClip(int64_t frames);
// An NTSC clip, optionally with drop-frame timecode.
ClipSpec ntscClip(int64_t frames, bool dropFrame = false);
// The 10-second PAL sample: timecode from 00:00:00:00 and recording from 2011-06-15 10:30:00, then
// at 5 s a scene cut where the timecode jumps to 00:10:00:00 and the recording clock to 12:00:00.
ClipSpec sampleClip();

// Audio samples per channel in frame n, and the number of samples before it (locked audio: 1600,
// 1602, 1602, 1602, 1602 at 48 kHz 525/60; other 525/60 rates spread evenly).
int audioSamples(const ClipSpec& desc, int64_t n);
int64_t audioSampleStart(const ClipSpec& desc, int64_t n);
// The tone of stereo pair `pair` (0, or 1 for 12-bit four-channel audio) from sample `start` on:
// count interleaved left/right values into out.
void toneSamples(const ClipSpec& desc, int pair, int64_t start, int count, int16_t* out);

// Timecode arithmetic of the generator (frame counts wrap at one day).
int64_t timecodeToFrames(const Timecode& tc, int fps, bool dropFrame);
Timecode framesToTimecode(int64_t frames, int fps, bool dropFrame);

// Damaged video blocks of one frame: the position in frame order (sequence x 135 + video block) of the
// first, and how many (rounded share of the frame's video blocks).
struct DamagedRun {
    int first = 0;
    int count = 0;
};
DamagedRun damagedRun(const BlockDamage& d, size_t frameSize);

// The metadata of frame n of a clip.
FrameMeta frameMeta(const ClipSpec& desc, int64_t n);

}  // namespace zorv::gen
