// Timecode arithmetic for the eight timecode styles:
//   1 = 24 fps, 2 = 25, 3 = 30 non-drop, 4 = 29.97 drop-frame, 5 = 48, 6 = 50, 7 = 60,
//   8 = 59.94 drop-frame.
// Drop-frame counting skips the labels ;00 and ;01 (;00-;03 at 59.94) at the start of every minute
// except each tenth minute, so a day holds 2589408 (5178816) frames. Counts wrap at one day.
#pragma once

#include <cstdint>

namespace zorv::core {

struct Timecode {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    bool operator==(const Timecode&) const = default;
};

// Nominal frames per second of a style (24, 25, 30, 30, 48, 50, 60, 60); 0 for an unknown style.
int timecodeRate(int style);
bool isDropFrameStyle(int style);
// Frames in 24 hours of a style; 0 for an unknown style.
int64_t framesPerDay(int style);
// The style of a nominal rate (24, 25, 30, 48, 50, 60) with a drop-frame flag (used for 30 and 60);
// 0 for any other rate.
int timecodeStyleFor(int nominalRate, bool dropFrame);

// The frame count of a timecode. Drop-frame styles count labels that drop-frame timecode never shows
// as the following valid label minus two (four); the caller decides whether to skip them.
int64_t timecodeToFrames(const Timecode& tc, int style);

// The timecode of a frame count: a negative count has one day added once, a count of a day or more
// is taken modulo a day. An unknown style gives all zero.
Timecode framesToTimecode(int64_t count, int style);
Timecode framesToTimecode(int64_t count, int nominalRate, bool dropFrame);

// count + offset wrapped into one day.
int64_t wrapFrames(int64_t count, int style);
Timecode addFrames(const Timecode& tc, int64_t offset, int style);

// The timecode shown for a position in a file: frame number n of a file whose timecode style is
// 1 to 4 (hours wrap at 24). Style 0 (not yet known) converts as 30-frame drop-frame.
Timecode framePositionTimecode(int64_t n, int style);

}  // namespace zorv::core
