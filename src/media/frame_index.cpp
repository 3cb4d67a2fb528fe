#include "media/frame_index.h"

#include <algorithm>

namespace zorv::media {

int64_t largestFrameSpan(const std::vector<FrameEntry>& entries, int64_t fileSize) {
    const uint64_t size = fileSize > 0 ? static_cast<uint64_t>(fileSize) : 0;
    uint64_t largest = 0;
    bool havePrev = false;
    uint64_t prev = 0;
    for (const FrameEntry& e : entries) {
        if (e.empty()) continue;
        if (havePrev && e.offset > prev) largest = std::max(largest, e.offset - prev);
        prev = e.offset;
        havePrev = true;
    }
    if (havePrev && size > prev) largest = std::max(largest, size - prev);
    return static_cast<int64_t>(std::min(largest, size));
}

}  // namespace zorv::media
