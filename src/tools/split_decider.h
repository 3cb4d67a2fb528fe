// The per-frame decision of the DV splitter: where a new output file starts (timecode jump, recording
// date/time jump, user-bits change or tape index marker), which frames the pre-roll delay drops, and
// when a new reel begins. The file splitter runs it over an input file; the capture writer runs the
// same rules over frames from a camcorder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/options.h"

namespace zorv::tools {

using core::SplitTrigger;

struct SplitRules {
    SplitTrigger trigger = SplitTrigger::kTimecode;
    int timecodeThreshold = 1;  // frames, timecode trigger
    int dateTimeThreshold = 1;  // seconds, date/time trigger
    int prerollSeconds = 0;     // frames of this many seconds are dropped at every file start
    // Timecode style of 30-frame material (3 non-drop, 4 drop-frame); 0 takes it from the drop-frame
    // flag of the first timecode seen. 25-frame material always counts in style 2.
    int timecodeStyle30 = 0;
};

// What the splitter reads from one DV frame. Pack searches visit, sequence by sequence, the subcode
// slots and then the VAUX slots, and take the first pack of each kind.
struct SplitFrameInfo {
    int sequences = 0;                                                // frame bytes / 12000
    int tcHours = -1, tcMinutes = -1, tcSeconds = -1, tcFrames = -1;  // hours -1: no timecode
    bool tcDropFrame = false;
    // Recording date and time (packs 0x62/0x63 whose PC4 units digit is below 10).
    bool recValid = false;
    int recYear2 = 0, recMonth = 0, recDay = 0, recHour = 0, recMinute = 0, recSecond = 0;
    int64_t recSeconds = 0;  // two-digit years below 70 as 20xx, others 19xx
    // User bits of the first 0x14 pack: PC1..PC4.
    bool userBitsValid = false;
    std::array<uint8_t, 4> userBits{};
    // Recording start: the first 0x61 pack has PC2 bit 7 clear.
    bool recordingStart = false;

    bool hasTimecode() const { return tcHours >= 0; }
    // "hh:mm:ss:ff" (';' separators for drop-frame timecode); empty without a timecode.
    std::string timecodeText() const;
};

// Reads the split values of a frame of `size` readable bytes (whole DIF sequences are visited).
// With a trigger, only the timecode and the values that trigger compares are read (the others keep
// their defaults), which spares the pack search for the timecode trigger; without, everything is.
SplitFrameInfo readSplitFrameInfo(const uint8_t* frame, size_t size, std::optional<SplitTrigger> trigger = {});

class SplitDecider {
public:
    struct Verdict {
        bool split = false;       // the current file ends before this frame
        bool deliver = false;     // the frame goes to an output file (false: dropped by the pre-roll)
        bool startsFile = false;  // delivered as the first frame of a file after a split
        bool newReel = false;     // ... and that file starts a new reel
    };

    explicit SplitDecider(const SplitRules& rules = {}) : rules_(rules) {}
    void reset(const SplitRules& rules);

    // One frame, in input order.
    Verdict step(const SplitFrameInfo& info);

    // Forces a split before the next frame (the capture's "Split Now").
    void requestSplit() { forced_ = true; }

    int64_t prerollFrames() const { return prerollFrames_; }
    int timecodeStyle() const { return style_; }

private:
    bool timecodeVerdict(const SplitFrameInfo& cur);

    SplitRules rules_;
    int64_t frameIndex_ = 0;
    int64_t framesInFile_ = 0;
    int64_t prerollFrames_ = 0;
    int64_t countdown_ = 0;
    int style_ = 0;
    bool repeatPending_ = false;
    bool splitPending_ = false;
    bool newReel_ = false;
    bool forced_ = false;
    SplitFrameInfo prev_;
};

}  // namespace zorv::tools
