#include "media/rawdv_index.h"

#include <memory>
#include <new>

#include "core/dv_layout.h"
#include "media/recognize.h"

namespace zorv::media {

namespace {

// The second frame's first header, subcode and VAUX blocks right after a 525/60 frame.
bool nextFrameFollows(const uint8_t* b) {
    return (b[0] >> 4) == 1 && b[2] == 0x00 && (b[80] >> 4) == 3 && b[82] == 0x00 && (b[160] >> 4) == 3 && b[162] == 0x01 &&
           (b[240] >> 4) == 5;
}

}  // namespace

core::Status buildRawDvIndex(const File& file, FrameIndex& index) {
    using namespace core::dv;
    index.clear();
    const int64_t size = file.size();
    if (size < 0) return core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
    if (size < static_cast<int64_t>(kFrameSize525)) return core::Status::failure(core::ErrorCode::kNoIndex);

    size_t frameSize = kFrameSize525;
    if (size >= static_cast<int64_t>(kFrameSize625)) {
        std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[kFrameSize625]);
        if (!buf) return core::Status::failure(core::ErrorCode::kOutOfMemory);
        if (!file.readExact(0, buf.get(), kFrameSize625))
            return core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
        if (!isRawDvStart(buf.get(), kFrameSize625) || !nextFrameFollows(buf.get() + kFrameSize525))
            return core::Status::failure(core::ErrorCode::kNoIndex);
        // Sequence number 10 at byte 120000 means the first frame goes on: 12 sequences.
        if ((buf[kFrameSize525 + 1] >> 4) == 0xA || (buf[kFrameSize525 + 81] >> 4) == 0xA) frameSize = kFrameSize625;
    }

    const int64_t count = size / static_cast<int64_t>(frameSize);
    try {
        index.entries.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        index.clear();
        return core::Status::failure(core::ErrorCode::kOutOfMemory);
    }
    for (int64_t k = 0; k < count; ++k)
        index.entries[static_cast<size_t>(k)] =
            FrameEntry{static_cast<uint64_t>(k) * frameSize, static_cast<uint32_t>(frameSize)};
    index.nonEmptyFrames = count;
    index.frameSize = frameSize;
    index.readBufferSize = static_cast<int64_t>(frameSize);
    return core::Status::success();
}

}  // namespace zorv::media
