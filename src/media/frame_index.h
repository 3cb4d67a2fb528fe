// The frame index of a DV file: one (data position, size) entry per frame, in frame order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/error.h"

namespace zorv::media {

// Data position of a frame whose index entry is empty (a dropped frame).
inline constexpr uint64_t kEmptyFrameOffset = ~uint64_t{0};

struct FrameEntry {
    uint64_t offset = kEmptyFrameOffset;  // absolute file position of the frame data
    uint32_t size = 0;                    // chunk size as indexed (0 for an empty frame)
    bool empty() const { return offset == kEmptyFrameOffset; }
};

struct FrameIndex {
    std::vector<FrameEntry> entries;
    int64_t nonEmptyFrames = 0;
    size_t frameSize = 0;        // bytes of one DV frame
    uint32_t videoFourcc = 0;    // chunk FourCC of the video frames ("00__", "00dc", ...); 0 for Raw DV
    int64_t moviPosition = -1;   // file position of the "LIST" header of 'movi'; -1 when none
    int64_t readBufferSize = 0;  // largest span between consecutive frame positions or to the end

    int64_t frameCount() const { return static_cast<int64_t>(entries.size()); }
    void clear() { *this = FrameIndex{}; }
};

// Largest distance between the data positions of consecutive non-empty frames, and from the last
// one to the end of the file; never more than the file size.
int64_t largestFrameSpan(const std::vector<FrameEntry>& entries, int64_t fileSize);

}  // namespace zorv::media
