#include "media/avi_index.h"

#include <algorithm>
#include <array>
#include <new>
#include <set>
#include <string>

#include "core/dv_layout.h"

namespace zorv::media {

namespace {

constexpr int64_t kFirstStreamEnd = 164;  // just after the first stream header, inside 'hdrl'
constexpr int kMaxIndexDepth = 4;         // index of indexes nesting accepted
constexpr size_t kEntriesPerRead = 4096;  // bounded read size while walking an index
// Index chunks one file may name: an OpenDML file has one per 1 GiB RIFF and stream, so this is
// tens of terabytes; a hostile index of indexes naming millions of chunks is refused.
constexpr size_t kMaxIndexChunks = 65536;

uint64_t padded(uint32_t size) { return static_cast<uint64_t>(size) + (size & 1u); }
bool isEmptySize(uint32_t size) { return (size & 0x7FFFu) == 0; }

class AviIndexer {
public:
    AviIndexer(const File& file, int64_t fileSize, FrameIndex& index)
        : file_(file), fileSize_(static_cast<uint64_t>(fileSize)), index_(index) {}

    bool run(core::Status& error);
    // Why the frame size could not be told, when that ended the indexing.
    const core::Status& refusal() const { return refusal_; }

private:
    bool readAt(uint64_t pos, void* buf, size_t n) {
        if (pos > fileSize_ || fileSize_ - pos < n) return false;
        return file_.readExact(static_cast<int64_t>(pos), buf, n);
    }
    bool readFailure(core::Status& error) {
        error = core::Status::failure(core::ErrorCode::kReadFailed, {}, file_.sysError());
        return false;
    }
    bool readLegacy(uint64_t bodyPos, uint32_t bodySize, core::Status& error);
    // Reads one OpenDML index whose body starts at bodyPos; false stops the walk.
    bool readOpenDml(uint64_t bodyPos, uint64_t bodySize, int depth);
    // Finds the video chunk header near the first non-empty frame's position and takes the frame
    // size from it; shifts every stored position by the distance found.
    bool probeFrameData(uint64_t base);
    // The frame size of the frame whose data lies at pos, given its chunk's size field: the field when
    // it is a DV frame size, else what the frame's DIF header says (one byte of damage in the field
    // must not shift every frame); 0, with refusal_ set, when neither tells.
    size_t frameSizeAt(uint64_t pos, uint32_t sizeField);
    void append(uint64_t position, uint32_t size) {
        if (isEmptySize(size)) {
            index_.entries.push_back(FrameEntry{kEmptyFrameOffset, 0});
        } else {
            index_.entries.push_back(FrameEntry{position, size});
            ++index_.nonEmptyFrames;
        }
    }

    const File& file_;
    const uint64_t fileSize_;
    FrameIndex& index_;
    std::set<uint64_t> visited_;
    core::Status refusal_;
};

bool AviIndexer::run(core::Status& error) {
    uint8_t hdr[12];
    // Header part: chunks following the first stream header.
    uint64_t pos = kFirstStreamEnd;
    while (pos + 8 <= fileSize_) {
        if (!readAt(pos, hdr, 8)) return readFailure(error);
        const uint32_t id = le32(hdr), size = le32(hdr + 4);
        if (id == fourcc("indx")) {
            const uint64_t body = pos + 8;
            const uint64_t bodySize = std::min<uint64_t>(size, fileSize_ - body);
            if (bodySize < 24) return false;
            readOpenDml(body, bodySize, 0);
            if (index_.entries.empty()) return false;
            return probeFrameData(0);
        }
        if (id == fourcc("LIST")) break;
        pos += 8 + padded(size);
    }

    // Top-level chunks after the header list.
    if (!readAt(16, hdr, 4)) return readFailure(error);
    pos = 20 + padded(le32(hdr));
    while (pos + 8 <= fileSize_) {
        const size_t want = pos + 12 <= fileSize_ ? 12 : 8;
        if (!readAt(pos, hdr, want)) return readFailure(error);
        const uint32_t id = le32(hdr), size = le32(hdr + 4);
        if (id == fourcc("LIST") && want == 12 && le32(hdr + 8) == fourcc("movi") && index_.moviPosition < 0)
            index_.moviPosition = static_cast<int64_t>(pos);
        if (id == fourcc("idx1")) return readLegacy(pos + 8, size, error);
        pos += 8 + padded(size);
    }
    return false;
}

bool AviIndexer::readLegacy(uint64_t bodyPos, uint32_t bodySize, core::Status& error) {
    const uint64_t available = std::min<uint64_t>(bodySize, fileSize_ - std::min(fileSize_, bodyPos));
    const uint64_t count = available / 16;
    std::vector<uint8_t> block(std::min<uint64_t>(count, kEntriesPerRead) * 16);
    uint64_t done = 0;
    while (done < count) {
        const uint64_t n = std::min<uint64_t>(count - done, kEntriesPerRead);
        if (!readAt(bodyPos + done * 16, block.data(), static_cast<size_t>(n * 16))) return readFailure(error);
        for (uint64_t i = 0; i < n; ++i) {
            const uint8_t* e = block.data() + i * 16;
            const uint32_t id = le32(e);
            if (index_.videoFourcc == 0 && e[0] == '0' && e[1] == '0') index_.videoFourcc = id;
            if (index_.videoFourcc == 0 || id != index_.videoFourcc) continue;
            // Stored as offset + 8; the base is found by probing below.
            append(static_cast<uint64_t>(le32(e + 8)) + 8, le32(e + 12));
        }
        done += n;
    }
    if (index_.nonEmptyFrames == 0) return false;
    if (probeFrameData(0)) return true;
    return index_.moviPosition >= 0 && probeFrameData(static_cast<uint64_t>(index_.moviPosition));
}

bool AviIndexer::readOpenDml(uint64_t bodyPos, uint64_t bodySize, int depth) {
    if (!visited_.insert(bodyPos).second) return true;
    if (visited_.size() > kMaxIndexChunks) return false;

    uint8_t hdr[24];
    if (bodySize < sizeof hdr || !readAt(bodyPos, hdr, sizeof hdr)) return false;
    const uint8_t indexType = hdr[3];
    const uint32_t inUse = le32(hdr + 4);
    const uint32_t chunkId = le32(hdr + 8);
    if (index_.videoFourcc == 0) index_.videoFourcc = chunkId;

    const uint64_t entrySize = indexType == 0 ? 16 : 8;
    if (indexType > 1) return true;
    const uint64_t room = std::min(bodySize, fileSize_ - bodyPos) - sizeof hdr;
    const uint64_t count = std::min<uint64_t>(inUse, room / entrySize);
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(count, kEntriesPerRead) * entrySize));

    if (indexType == 0) {
        // Index of indexes: each entry points at the chunk header of a further index.
        for (uint64_t done = 0; done < count;) {
            const uint64_t n = std::min<uint64_t>(count - done, kEntriesPerRead);
            if (!readAt(bodyPos + sizeof hdr + done * 16, block.data(), static_cast<size_t>(n * 16))) return false;
            for (uint64_t i = 0; i < n; ++i) {
                const uint64_t chunkPos = le64(block.data() + i * 16);
                if (depth + 1 > kMaxIndexDepth) return false;
                uint8_t chdr[8];
                if (chunkPos > fileSize_ || !readAt(chunkPos, chdr, 8)) return false;
                const uint64_t body = chunkPos + 8;
                const uint64_t size = std::min<uint64_t>(le32(chdr + 4), fileSize_ - body);
                if (!readOpenDml(body, size, depth + 1)) return false;
            }
            done += n;
        }
        return true;
    }

    // Index of chunks: 32-bit offsets from the index's 64-bit base.
    const uint64_t base = le64(hdr + 12);
    for (uint64_t done = 0; done < count;) {
        const uint64_t n = std::min<uint64_t>(count - done, kEntriesPerRead);
        if (!readAt(bodyPos + sizeof hdr + done * 8, block.data(), static_cast<size_t>(n * 8))) return false;
        for (uint64_t i = 0; i < n; ++i) {
            const uint8_t* e = block.data() + i * 8;
            uint64_t position = base + le32(e);
            if (position == kEmptyFrameOffset) position = kEmptyFrameOffset - 1;  // never the empty marker
            append(position, le32(e + 4));
        }
        done += n;
    }
    return true;
}

bool AviIndexer::probeFrameData(uint64_t base) {
    auto first = std::find_if(index_.entries.begin(), index_.entries.end(), [](const FrameEntry& e) { return !e.empty(); });
    if (first == index_.entries.end()) return false;
    // Seven 32-bit positions from 8 bytes before the indexed position, plus the size word after.
    const uint64_t probe = first->offset - 8 + base;
    if (first->offset < 8 || probe < base || probe >= fileSize_) return false;
    std::array<uint8_t, 32> words{};
    const size_t avail = static_cast<size_t>(std::min<uint64_t>(words.size(), fileSize_ - probe));
    if (!readAt(probe, words.data(), avail)) return false;
    for (size_t i = 0; i < 7 && (i + 2) * 4 <= avail; ++i) {
        if (le32(words.data() + 4 * i) != index_.videoFourcc) continue;
        const size_t frameSize = frameSizeAt(probe + 4 * i + 8, le32(words.data() + 4 * i + 4));
        if (frameSize == 0) continue;
        const uint64_t shift = base + 4 * i;  // data of this frame lies at probe + 4i + 8
        for (FrameEntry& e : index_.entries)
            if (!e.empty()) e.offset += shift;
        index_.frameSize = frameSize;
        return true;
    }
    return false;
}

size_t AviIndexer::frameSizeAt(uint64_t pos, uint32_t sizeField) {
    using namespace core::dv;
    if (isDvFrameSize(sizeField)) return sizeField;
    uint8_t header[kDifBlockSize];
    if (readAt(pos, header, sizeof header) && isFrameHeaderBlock(header)) {
        const size_t channel = channelSizeFromHeader(header);
        // A second channel right after the first: a two-channel frame.
        uint8_t next[kDifBlockSize];
        if (readAt(pos + channel, next, sizeof next) && isFrameHeaderBlock(next, 1)) return 2 * channel;
        return channel;
    }
    refusal_ = core::Status::failure(core::ErrorCode::kReadFailed,
                                     "The first video frame's size (" + std::to_string(sizeField) +
                                         " bytes) is not a DV frame size and its data does not start with a DV header");
    return 0;
}

}  // namespace

core::Status buildAviIndex(const File& file, FrameIndex& index) {
    index.clear();
    const int64_t size = file.size();
    if (size < 0) return core::Status::failure(core::ErrorCode::kReadFailed, {}, file.sysError());
    core::Status error;
    bool ok = false;
    try {
        AviIndexer indexer(file, size, index);
        ok = indexer.run(error);
        if (ok) index.readBufferSize = largestFrameSpan(index.entries, size);
        if (!ok && error.ok()) error = indexer.refusal();
        if (!ok && error.ok()) error = core::Status::failure(core::ErrorCode::kNoIndex);
    } catch (const std::bad_alloc&) {
        error = core::Status::failure(core::ErrorCode::kOutOfMemory);
        ok = false;
    }
    if (!ok) index.clear();
    return error;
}

}  // namespace zorv::media
