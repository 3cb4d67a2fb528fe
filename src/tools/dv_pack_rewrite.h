// Rewriting camcorder packs in the raw bytes of one DV frame: timecode (0x13), its drop-frame label,
// recording date and time (0x62/0x63, and 0x52/0x53 in the audio auxiliary data), user bits
// (0x14/0x64) and the widescreen flag (0x61). Nothing is decoded or re-encoded: only the pack bytes
// change, and the DIF blocks whose bytes really changed are remembered so that an in-place rewrite
// can write back just those blocks.
//
// Pack slots visited in every DIF sequence (byte offsets from the sequence start, PC0 = pack ID):
//   subcode  80*b + 6 + 8*j   for blocks b = 1, 2 and sync blocks j = 0..5
//   VAUX     80*b + 3 + 5*i   for blocks b = 3, 4, 5 and packs i = 0..14
//   AAUX     483 + 1280*k     the first pack of audio block k = 0..8
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>

#include "core/civil_time.h"
#include "core/option_choices.h"
#include "core/timecode.h"

namespace zorv::tools {

// The DIF blocks of one frame that a rewrite changed.
class TouchedBlocks {
public:
    static constexpr size_t kMaxBlocks = 24 * 150;  // a doubled 625/50 frame

    void clear() {
        bits_.reset();
        any_ = false;
    }
    void mark(size_t byteOffset) {
        bits_.set(byteOffset / 80);
        any_ = true;
    }
    bool any() const { return any_; }
    bool test(size_t block) const { return bits_.test(block); }
    size_t count() const { return bits_.count(); }

    // Calls f(firstByte, byteCount) for each run of adjacent changed blocks, in frame order. Only the
    // blocks that can hold packs (1-5 and the audio blocks of each sequence) are examined.
    template <class F>
    void forEachRun(int sequences, F&& f) const {
        if (!any_) return;
        size_t runStart = 0, runEnd = 0;  // blocks [runStart, runEnd)
        auto visit = [&](size_t block) {
            if (!bits_.test(block)) return;
            if (runEnd == block && runEnd != 0) {
                ++runEnd;
                return;
            }
            if (runEnd != 0) f(runStart * 80, (runEnd - runStart) * 80);
            runStart = block;
            runEnd = block + 1;
        };
        for (int s = 0; s < sequences; ++s) {
            const size_t base = static_cast<size_t>(s) * 150;
            for (size_t b = 1; b <= 5; ++b) visit(base + b);
            for (size_t k = 0; k < 9; ++k) visit(base + 6 + 16 * k);
        }
        if (runEnd != 0) f(runStart * 80, (runEnd - runStart) * 80);
    }

private:
    std::bitset<kMaxBlocks> bits_;
    bool any_ = false;
};

// One frame being rewritten: its bytes, its sequence count and the blocks changed so far.
class FrameEditor {
public:
    FrameEditor(uint8_t* frame, size_t frameSize, TouchedBlocks& touched);

    int sequences() const { return sequences_; }
    uint8_t* frame() const { return frame_; }
    // Puts five pack bytes at a frame offset; marks the block when a byte differs.
    void putPack(size_t offset, const uint8_t (&pack)[5]);

private:
    uint8_t* frame_;
    int sequences_;
    TouchedBlocks& touched_;
};

// Slot offsets within a sequence.
inline constexpr size_t kSubcodeSlots = 12;
inline constexpr size_t kVauxSlots = 45;
inline constexpr size_t kAauxSlots = 9;
size_t subcodeSlot(size_t j);  // 0..11
size_t vauxSlot(size_t i);     // 0..44
size_t aauxSlot(size_t k);     // 0..8

// Timecode packs (0x13) in the subcode, VAUX and AAUX slots.
struct TimecodeRewrite {
    // Start from: write `counter`; adjust by: add `counter` to each pack; any other: nothing.
    core::ModifyMode mode = core::ModifyMode::kNone;
    int64_t counter = 0;  // frame count of the timecode to write, or the signed offset in frames
    int style = 2;        // timecode style of the counting (2, 3 or 4)
    bool pal = true;      // 25 fps: PC1 bits 6-7 kept; 30 fps: bit 6 = drop-frame flag of `style`
};
void rewriteTimecode(FrameEditor& ed, const TimecodeRewrite& rw);

// Relabels subcode timecode packs (not VAUX, not AAUX) whose drop-frame flag differs from the one
// wanted, keeping each frame's position in time. 30 fps material only.
void changeTimecodeKind(FrameEditor& ed, bool dropFrameWanted);

// The frame's own recording date and time as the packs hold them (two-digit year); what is not
// found reads as 0.
struct PackDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool dateFound = false, timeFound = false;
};
PackDateTime readPackDateTime(const uint8_t* frame, int sequences);

// Writes a normalised date and time into every date pack (0x62 subcode/VAUX, 0x52 AAUX) and time
// pack (0x63, 0x53). With keepEmpty, packs that carry no value are left as they are. With create,
// missing packs are created in every sequence (VAUX 458/253 and 463/258, AAUX 6883/3043 and 8163/4323
// for even/odd sequences).
void rewriteDateTime(FrameEditor& ed, const core::CivilDateTime& dt, bool keepEmpty, bool create);

// User bits: PC4..PC1 = bytes[0..3] in every 0x14 and 0x64 pack of the subcode and VAUX slots; when
// there is no 0x14 pack, one is created in the first half of the sequences at offsets 118 and 198.
void rewriteUserBits(FrameEditor& ed, const std::array<uint8_t, 4>& bytes);

// Widescreen flag in every 0x61 pack of the subcode and VAUX slots: "16:9", or "4:3" for any other value.
void rewriteWidescreen(FrameEditor& ed, core::WidescreenTarget value, bool pal);

// Two BCD digits.
inline uint8_t toBcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

}  // namespace zorv::tools
