// Rebuilding a damaged tape from several transfers of it. The transfers (any DV container, same video
// system) are aligned frame by frame on each frame's timecode and recording date/time, so a frame that
// one transfer lost and transfers that start at different points line up; each output frame is then
// built DIF block by DIF block from the transfers that hold it: every video block with status 0 and
// every audio block without error samples is taken from a transfer where it is intact, and a block no
// transfer has intact comes from the least damaged of the frames. A report says per output frame which
// transfer gave what and what is still damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/dv_damage.h"
#include "core/error.h"
#include "core/job.h"

namespace zorv::tools {

inline constexpr size_t kMaxTransfers = 16;

enum class MergeContainer { kRawDv, kAvi1 };
enum class MergeReportFormat { kNone, kCsv, kJson };

struct MergeSettings {
    MergeContainer container = MergeContainer::kRawDv;
    MergeReportFormat reportFormat = MergeReportFormat::kNone;
    int reportFd = -1;  // where the report goes (a file the caller opened, or standard output)
    int window = 250;   // frames looked ahead in each transfer when aligning
};

// What one output frame was made of.
struct MergedFrame {
    int64_t out = 0;
    std::vector<int64_t> sourceFrame;  // per transfer: its frame number, or -1 when it lacks this frame
    int base = 0;                      // the transfer whose frame was least damaged
    std::vector<int> blocksFrom;       // per transfer: DIF blocks taken from it (the base's own included)
    core::FrameDamage before;          // the base frame's damage
    core::FrameDamage after;           // what is left in the output frame
};

struct MergeResult {
    int64_t frames = 0;          // output frames
    int64_t mergedFrames = 0;    // frames held by two or more transfers
    int64_t repairedFrames = 0;  // frames whose base was damaged and came out whole
    int64_t damagedFrames = 0;   // output frames still damaged
    int64_t blocksReplaced = 0;  // DIF blocks taken from a transfer other than the base
};

// Merges the transfers into outPath (a file the caller manages: the output rules' temporary file).
// Errors: an input that cannot be opened or is not DV ("Failed to read file - PATH"), transfers of
// different video systems, read and write failures, "Operation Cancelled".
core::Status mergeTransfers(const std::vector<std::string>& inputs, const std::string& outPath,
                            const MergeSettings& settings, core::Progress* progress = nullptr,
                            MergeResult* result = nullptr);

// The block-level merge of one frame: frames[i] are the candidate copies (all frameSize bytes, at most
// kMaxTransfers), out receives the merged frame. Returns the base index; blocksFrom[i] counts the
// blocks taken from copy i.
int mergeFrameBlocks(const std::vector<const uint8_t*>& frames, size_t frameSize, uint8_t* out,
                     std::vector<int>& blocksFrom);

}  // namespace zorv::tools
