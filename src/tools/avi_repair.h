// Rebuilds a DV AVI (Type 1 or Type 2) whose index or sizes are missing or cut short: a capture cut
// by a crash or a power loss, a file from a tool that never finished it. The chunks are walked from
// the end of the header list on, whatever the RIFF and 'movi' sizes say; every whole DV frame (and
// every empty frame entry) and every chunk of the audio stream is taken in file order until the
// first chunk that is cut short or is not a chunk at all. A new AVI of the same type gets them with
// fresh headers and indexes; a Premiere timecode list ("Tdat") of the input is carried over. The
// input is only read.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"
#include "media/avi_writer.h"

namespace zorv::tools {

inline constexpr const char* kRepairNotDvAvi = "The file is not a DV AVI file";
inline constexpr const char* kRepairHeaderDamaged = "The AVI header list of the file is damaged";
inline constexpr const char* kRepairNoFrames = "No DV frames were found in the file";

struct RepairResult {
    media::AviType aviType = media::AviType::kType1;
    bool pal = true;
    int64_t frames = 0;        // frames written, empty entries included
    int64_t emptyFrames = 0;   // empty index entries (dropped frames) kept as such
    uint64_t audioBytes = 0;   // Type 2 audio stream bytes
    int64_t recoveredEnd = 0;  // file offset where the walk stopped (file size when it reached the end)
};

// Input name without extension + "-repaired.avi".
std::string repairOutputName(const std::string& input);

// Writes the rebuilt file to output (a new file; the caller decides its final name).
core::Status repairDvAvi(const std::string& input, const std::string& output, RepairResult* result = nullptr);

}  // namespace zorv::tools
