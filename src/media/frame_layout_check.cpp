#include "media/frame_layout_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/dv_layout.h"

namespace zorv::media {

namespace {

struct Range {
    uint64_t begin, end;
};

// A file with more 'movi' lists than this is not one a camcorder tool wrote (one per GiB).
constexpr size_t kMaxMoviLists = 65536;

uint64_t padded(uint32_t size) { return static_cast<uint64_t>(size) + (size & 1u); }

// The bodies of the 'movi' lists of every top-level RIFF chunk ("AVI " and "AVIX"), cut to the file.
bool moviLists(const File& file, uint64_t fileSize, std::vector<Range>& out) {
    uint8_t hdr[12];
    for (uint64_t riff = 0; riff + 12 <= fileSize;) {
        if (!file.readExact(static_cast<int64_t>(riff), hdr, 12)) return false;
        if (le32(hdr) != fourcc("RIFF")) break;
        const uint64_t riffEnd = std::min(fileSize, riff + 8 + padded(le32(hdr + 4)));
        for (uint64_t pos = riff + 12; pos + 12 <= riffEnd;) {
            if (!file.readExact(static_cast<int64_t>(pos), hdr, 12)) return false;
            const uint32_t size = le32(hdr + 4);
            if (le32(hdr) == fourcc("LIST") && le32(hdr + 8) == fourcc("movi")) {
                if (out.size() >= kMaxMoviLists) return true;
                out.push_back({pos + 12, std::min(fileSize, pos + 8 + static_cast<uint64_t>(size))});
            }
            pos += 8 + padded(size);
        }
        riff = riffEnd > riff + 12 ? riffEnd : fileSize;
    }
    return true;
}

}  // namespace

core::Status damagedIndex(int64_t frame, const std::string& what) {
    return core::Status::failure(core::ErrorCode::kReadFailed,
                                 "The index of the file is damaged: frame " + std::to_string(frame) + " " + what);
}

core::Status checkFrameLayout(const File& file, const FrameIndex& index) {
    const int64_t size = file.size();
    if (size < 0) return core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
    const uint64_t fileSize = static_cast<uint64_t>(size);
    const uint64_t frameSize = index.frameSize;
    std::vector<Range> movi;
    const bool avi = index.videoFourcc != 0;
    if (avi && !moviLists(file, fileSize, movi))
        return core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());

    uint64_t next = 0;      // where the next frame may start at the earliest
    int64_t previous = -1;  // the non-empty frame before
    uint8_t id[4];
    for (size_t n = 0; n < index.entries.size(); ++n) {
        const FrameEntry& e = index.entries[n];
        if (e.empty()) continue;
        const int64_t frame = static_cast<int64_t>(n);
        if (e.offset > fileSize || fileSize - e.offset < frameSize)
            return damagedIndex(frame, "lies past the end of the file");
        if (avi && std::none_of(movi.begin(), movi.end(),
                                [&](const Range& r) { return e.offset >= r.begin && e.offset + frameSize <= r.end; }))
            return damagedIndex(frame, "lies outside the file's movie data");
        if (previous >= 0 && e.offset < next)
            return damagedIndex(
                frame, (e.offset < next - frameSize ? "lies before frame " : "overlaps frame ") + std::to_string(previous));
        if (!file.readExact(static_cast<int64_t>(e.offset), id, sizeof id))
            return core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
        if (!core::dv::isFrameHeaderBlock(id)) return damagedIndex(frame, kNoFrameHeader);
        next = e.offset + frameSize;
        previous = frame;
    }
    return core::Status::success();
}

}  // namespace zorv::media
