// The AVI frame index over arbitrary bytes: header walk, idx1 with both offset conventions and the
// OpenDML index of indexes. Every indexed frame position is then read back, and the index is checked
// as the in-place tools check it (the RIFF and 'movi' walk, every frame's first bytes).
#include <cstdint>
#include <vector>

#include "media/avi_index.h"
#include "media/frame_layout_check.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    File file;
    if (!file.open(zorv::fuzz::memoryFile(data, size))) return 0;
    FrameIndex index;
    if (!buildAviIndex(file, index)) return 0;
    if (index.frameSize == 0 || index.frameSize > 288000) __builtin_trap();
    const zorv::core::Status layout = checkFrameLayout(file, index);
    if (!layout.ok() && layout.message.empty() && layout.sysError == 0) __builtin_trap();
    if (index.readBufferSize < 0 || index.readBufferSize > static_cast<int64_t>(size)) __builtin_trap();
    int64_t nonEmpty = 0;
    for (const FrameEntry& e : index.entries) nonEmpty += e.empty() ? 0 : 1;
    if (nonEmpty != index.nonEmptyFrames) __builtin_trap();
    std::vector<uint8_t> buf(index.frameSize);
    for (size_t i = 0; i < index.entries.size() && i < 16; ++i)
        if (!index.entries[i].empty() && index.entries[i].offset < (uint64_t{1} << 62))
            file.readAt(static_cast<int64_t>(index.entries[i].offset), buf.data(), buf.size());
    return 0;
}
