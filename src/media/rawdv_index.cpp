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

bool buildRawDvIndex(const File& file, FrameIndex& index, core::Status& error) {
    using namespace core::dv;
    index.clear();
    error = core::Status::success();
    const int64_t size = file.size();
    if (size < 0) {
        error = core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
        return false;
    }
    if (size < static_cast<int64_t>(kFrameSize525)) return false;

    size_t frameSize = kFrameSize525;
    if (size >= static_cast<int64_t>(kFrameSize625)) {
        std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[kFrameSize625]);
        if (!buf) {
            error = core::Status::failure(core::ErrorCode::kOutOfMemory);
            return false;
        }
        if (!file.readExact(0, buf.get(), kFrameSize625)) {
            error = core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
            return false;
        }
        if (!isRawDvStart(buf.get(), kFrameSize625) || !nextFrameFollows(buf.get() + kFrameSize525)) return false;
        // Sequence number 10 at byte 120000 means the first frame goes on: 12 sequences.
        if ((buf[kFrameSize525 + 1] >> 4) == 0xA || (buf[kFrameSize525 + 81] >> 4) == 0xA) frameSize = kFrameSize625;
    }

    const int64_t count = size / static_cast<int64_t>(frameSize);
    try {
        index.entries.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        index.clear();
        error = core::Status::failure(core::ErrorCode::kOutOfMemory);
        return false;
    }
    for (int64_t k = 0; k < count; ++k)
        index.entries[static_cast<size_t>(k)] =
            FrameEntry{static_cast<uint64_t>(k) * frameSize, static_cast<uint32_t>(frameSize)};
    index.nonEmptyFrames = count;
    index.frameSize = frameSize;
    index.readBufferSize = static_cast<int64_t>(frameSize);
    return true;
}

}  // namespace zorv::media
