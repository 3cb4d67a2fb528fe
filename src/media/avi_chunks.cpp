#include "media/avi_chunks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/file_io.h"
#include "media/formats/format_table.h"

namespace zorv::media {

using core::ErrorCode;

namespace {

// Upper bound on chunk headers visited in one walk; a real AVI has a handful per RIFF chunk.
constexpr int kMaxChunksPerWalk = 1 << 20;
// A chunk body we copy into memory (a "Tdat" list is 152 bytes) is never larger than this.
constexpr uint64_t kMaxChunkCopy = 1 << 20;

void put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
uint64_t padded(uint64_t size) { return size + (size & 1); }

// Reads exactly n bytes at pos; false on a short read (errno kept in *sys).
bool readAt(int fd, uint64_t pos, void* buf, size_t n, int* sys = nullptr) {
    auto* p = static_cast<uint8_t*>(buf);
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, static_cast<off_t>(pos));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (sys) *sys = r < 0 ? errno : 0;
            return false;
        }
        p += r;
        pos += uint64_t(r);
        n -= size_t(r);
    }
    return true;
}

bool writeAt(int fd, uint64_t pos, const void* buf, size_t n, int* sys = nullptr) {
    auto* p = static_cast<const uint8_t*>(buf);
    while (n > 0) {
        ssize_t r = ::pwrite(fd, p, n, static_cast<off_t>(pos));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (sys) *sys = r < 0 ? errno : ENOSPC;
            return false;
        }
        p += r;
        pos += uint64_t(r);
        n -= size_t(r);
    }
    return true;
}

std::optional<uint64_t> fileSizeOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0) return std::nullopt;
    return uint64_t(st.st_size);
}

bool isEditorListType(uint32_t t) {
    return t == fourcc("INFO") || t == fourcc("Tdat") || t == fourcc("Cdat") || t == fourcc("Pdat");
}
bool isEditorChunkId(uint32_t id) {
    return id == fourcc("PrmA") || id == fourcc("PrmL") || id == fourcc("Cr8r") || id == fourcc("SCMD") ||
           id == fourcc("_PMX");
}

// Visits the top-level "RIFF" chunks and the chunks directly inside them. The visitor gets the
// position of each inner chunk header, its FourCC, its size and (for a "LIST") its list type, and
// returns false to stop. Returns the error of the walk (kNone when the file simply ended).
template <typename Visit>
ErrorCode walkRiffChunks(int fd, uint64_t fileSize, bool allRiff, int* sys, Visit&& visit) {
    uint64_t riffPos = 0;
    int budget = kMaxChunksPerWalk;
    while (riffPos + 12 <= fileSize) {
        uint8_t h[12];
        if (!readAt(fd, riffPos, h, 12, sys)) return ErrorCode::kReadFailed;
        if (le32(h) != fourcc("RIFF")) return ErrorCode::kNotRiff;
        uint64_t riffEnd = std::min(riffPos + 8 + padded(le32(h + 4)), fileSize);
        uint64_t pos = riffPos + 12;
        while (pos + 8 <= riffEnd) {
            if (--budget < 0) return ErrorCode::kNone;
            uint8_t c[12];
            size_t want = pos + 12 <= fileSize ? 12 : 8;
            if (!readAt(fd, pos, c, want, sys)) return ErrorCode::kReadFailed;
            uint32_t id = le32(c), size = le32(c + 4);
            uint32_t listType = (want == 12 && id == fourcc("LIST")) ? le32(c + 8) : 0;
            if (!visit(pos, id, uint64_t(size), listType)) return ErrorCode::kNone;
            pos += 8 + padded(size);
        }
        if (!allRiff) break;
        riffPos = riffPos + 8 + padded(le32(h + 4));
    }
    return ErrorCode::kNone;
}

std::string textField(std::span<const uint8_t> data, size_t maxChars) {
    size_t n = 0;
    while (n < data.size() && n < maxChars && data[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(data.data()), n);
}

}  // namespace

std::string timecodeText(int hours, int minutes, int seconds, int frames, bool dropFrame) {
    char buf[48];
    std::snprintf(buf, sizeof buf, dropFrame ? "%02d;%02d;%02d;%02d" : "%02d:%02d:%02d:%02d", hours, minutes, seconds,
                  frames);
    return buf;
}

std::string timecodeListReservedText() {
    std::string text = "zorv";
    for (int i = 1; i < 28; ++i) text += " zorv";
    return text;
}

bool writeTimecodeList(int fd, std::string_view timecode, std::string_view reelName) {
    auto list = findReservedList(fd);
    if (!list || list->size != kTimecodeListSize) return false;
    std::vector<uint8_t> bytes = buildTimecodeList(timecode, reelName);
    return writeAt(fd, list->pos, bytes.data(), bytes.size());
}

bool writeTimecodeListTo(const std::string& path, std::string_view timecode, std::string_view reelName) {
    File file;
    return file.open(path, File::Mode::kReadWrite) && writeTimecodeList(file.fd(), timecode, reelName);
}

std::vector<uint8_t> buildTimecodeList(std::string_view timecode, std::string_view reelName) {
    std::vector<uint8_t> b(kTimecodeListSize, 0);
    auto tag = [&](size_t at, const char(&id)[5], uint32_t size) {
        put32(&b[at], fourcc(id));
        put32(&b[at + 4], size);
    };
    auto text = [&](size_t at, std::string_view s, size_t maxChars) {
        if (!s.empty()) std::memcpy(&b[at], s.data(), std::min(s.size(), maxChars));
    };
    tag(0, "LIST", 152);
    put32(&b[8], fourcc("Tdat"));
    tag(12, "tc_O", 18);
    text(20, timecode, 17);
    tag(38, "tc_A", 18);
    text(46, timecode, 17);
    tag(64, "rn_O", 40);
    text(72, reelName, 39);
    tag(112, "rn_A", 40);
    text(120, reelName, 39);
    return b;
}

std::vector<uint8_t> buildAppendedTimecodeList(std::string_view timecode) {
    std::vector<uint8_t> b(12);
    put32(&b[0], fourcc("RIFF"));
    put32(&b[4], 164);
    put32(&b[8], fourcc("AVIX"));
    auto list = buildTimecodeList(timecode, {});
    b.insert(b.end(), list.begin(), list.end());
    return b;
}

std::optional<ReservedList> findReservedList(int fd, ErrorCode* error) {
    auto setError = [&](ErrorCode e) {
        if (error) *error = e;
        return std::nullopt;
    };
    auto size = fileSizeOf(fd);
    if (!size) return setError(ErrorCode::kReadFailed);
    uint8_t h[20];
    if (*size < 20 || !readAt(fd, 0, h, 20)) return setError(ErrorCode::kReadFailed);
    if (le32(h) != fourcc("RIFF")) return setError(ErrorCode::kNone);
    uint64_t riffEnd = std::min(padded(le32(h + 4)) + 8, *size);
    uint64_t pos = 20 + uint64_t(le32(h + 16));
    int budget = kMaxChunksPerWalk;
    while (pos + 8 <= riffEnd && --budget >= 0) {
        uint8_t c[16];
        size_t want = pos + 16 <= *size ? 16 : 8;
        if (!readAt(fd, pos, c, want)) return setError(ErrorCode::kReadFailed);
        uint32_t id = le32(c), csize = le32(c + 4);
        if (want == 16 && id == fourcc("LIST") && le32(c + 8) == fourcc("INFO") && le32(c + 12) == fourcc("ZoRv"))
            return ReservedList{pos, 8 + padded(csize)};
        pos += 8 + padded(csize);
    }
    return setError(ErrorCode::kNone);
}

std::optional<std::span<const uint8_t>> findTdatEntry(std::span<const uint8_t> body, uint32_t tag) {
    size_t pos = 0;
    while (pos + 8 <= body.size()) {
        uint32_t t = le32(&body[pos]);
        uint64_t size = le32(&body[pos + 4]);
        size_t dataAt = pos + 8;
        if (t == tag) return body.subspan(dataAt, std::min<uint64_t>(size, body.size() - dataAt));
        if (padded(size) > body.size() - dataAt) break;
        pos = dataAt + size_t(padded(size));
    }
    return std::nullopt;
}

std::optional<std::string> reelNameFromTdat(std::span<const uint8_t> body) {
    auto take = [](std::span<const uint8_t> e) {
        // The entry size stands for the field; a reel name keeps at most size - 3 characters.
        size_t maxChars = e.size() > 3 ? e.size() - 3 : 0;
        return textField(e, maxChars);
    };
    auto a = findTdatEntry(body, fourcc("rn_A"));
    if (a && !a->empty() && (*a)[0] != 0) return take(*a);
    auto o = findTdatEntry(body, fourcc("rn_O"));
    if (o) return take(*o);
    if (a) return take(*a);
    return std::nullopt;
}

std::optional<std::string> timecodeFromTdat(std::span<const uint8_t> body) {
    auto a = findTdatEntry(body, fourcc("tc_A"));
    if (a && !a->empty() && (*a)[0] != 0) return textField(*a, a->size());
    auto o = findTdatEntry(body, fourcc("tc_O"));
    if (o) return textField(*o, o->size());
    return std::nullopt;
}

std::optional<std::string> reelNameFromHdvPackets(std::span<const uint8_t> head) {
    for (size_t k = 0; k < 5 && (k + 1) * 188 <= head.size(); ++k) {
        const uint8_t* p = &head[k * 188];
        if (p[0] != 0x47) return std::nullopt;
        unsigned pid = (unsigned(p[1] & 0x1F) << 8) | p[2];
        if (pid == 0x1FFD && p[3] == 0x10) return textField({p + 72, 188 - 72}, 39);
    }
    return std::nullopt;
}

void AviChunks::attach(int fd, FileType fileType) {
    reset();
    fd_ = fd;
    fileType_ = fileType;
}

bool AviChunks::isAvi() const { return formatOf(fileType_).aviType != 0; }

void AviChunks::reset() {
    error_ = ErrorCode::kNone;
    sysError_ = 0;
    editorCollected_ = false;
    editorTotal_ = 0;
    editorChunks_.clear();
    editorChunks_.shrink_to_fit();
    reelName_.reset();
    premiereTimecode_.reset();
}

bool AviChunks::fail(ErrorCode code, int sys) {
    error_ = code;
    sysError_ = sys;
    return false;
}

std::optional<std::vector<uint8_t>> AviChunks::findChunk(uint32_t id) {
    if (!isAvi()) return std::nullopt;
    auto size = fileSizeOf(fd_);
    if (!size) {
        fail(ErrorCode::kReadFailed, errno);
        return std::nullopt;
    }
    std::optional<std::pair<uint64_t, uint64_t>> found;  // body position and size
    int sys = 0;
    ErrorCode e = walkRiffChunks(fd_, *size, true, &sys, [&](uint64_t pos, uint32_t cid, uint64_t csize, uint32_t listType) {
        if (cid == id) {
            found = {{pos + 8, csize}};
            return false;
        }
        if (cid == fourcc("LIST") && listType == id && csize >= 4) {
            found = {{pos + 12, csize - 4}};
            return false;
        }
        return true;
    });
    if (e != ErrorCode::kNone) {
        fail(e, sys);
        return std::nullopt;
    }
    if (!found) return std::nullopt;
    auto [bodyPos, bodySize] = *found;
    if (bodyPos > *size) return std::nullopt;
    bodySize = std::min({bodySize, *size - bodyPos, kMaxChunkCopy});
    std::vector<uint8_t> body(bodySize);
    if (bodySize && !readAt(fd_, bodyPos, body.data(), bodySize, &sys)) {
        fail(ErrorCode::kReadFailed, sys);
        return std::nullopt;
    }
    return body;
}

std::optional<ReservedList> AviChunks::findReservedList() {
    if (!isAvi()) return std::nullopt;
    ErrorCode e = ErrorCode::kNone;
    auto r = media::findReservedList(fd_, &e);
    if (e != ErrorCode::kNone) fail(e, errno);
    return r;
}

std::optional<std::string> AviChunks::reelName() {
    if (reelName_) return reelName_;
    if (formatOf(fileType_).hdvLines == 1080) {
        uint8_t head[5 * 188];
        auto size = fileSizeOf(fd_);
        size_t n = size ? size_t(std::min<uint64_t>(*size, sizeof head)) : 0;
        if (n == 0 || !readAt(fd_, 0, head, n)) return std::nullopt;
        reelName_ = reelNameFromHdvPackets({head, n});
        return reelName_;
    }
    if (!isAvi()) return std::nullopt;
    auto body = findChunk(fourcc("Tdat"));
    if (!body) return std::nullopt;
    reelName_ = reelNameFromTdat(*body);
    return reelName_;
}

std::optional<std::string> AviChunks::premiereTimecode() {
    if (premiereTimecode_) return premiereTimecode_;
    if (!isAvi()) return std::nullopt;
    auto body = findChunk(fourcc("Tdat"));
    if (!body) return std::nullopt;
    premiereTimecode_ = timecodeFromTdat(*body);
    return premiereTimecode_;
}

uint64_t AviChunks::collectEditorChunks(bool allRiff) {
    if (editorCollected_) return editorTotal_;
    if (!isAvi()) return 0;
    auto size = fileSizeOf(fd_);
    if (!size) {
        fail(ErrorCode::kReadFailed, errno);
        return 0;
    }
    editorChunks_.clear();
    editorTotal_ = 0;
    bool full = false;
    int sys = 0;
    ErrorCode e =
        walkRiffChunks(fd_, *size, allRiff, &sys, [&](uint64_t pos, uint32_t id, uint64_t csize, uint32_t listType) {
            bool editor = (id == fourcc("LIST") && isEditorListType(listType)) || isEditorChunkId(id);
            if (!editor) return true;
            uint64_t total = 8 + padded(csize);
            // The chunk must also lie inside the file, or it could not be copied.
            if (full || editorTotal_ + total >= kEditorChunksLimit || pos + total > *size + (csize & 1)) {
                full = true;
                return true;
            }
            try {
                editorChunks_.push_back({pos, total});
            } catch (const std::bad_alloc&) {
                fail(ErrorCode::kOutOfMemory);
                return false;
            }
            editorTotal_ += total;
            return true;
        });
    if (e != ErrorCode::kNone) fail(e, sys);
    editorCollected_ = true;
    return editorTotal_;
}

bool AviChunks::copyEditorChunks(int outFd) {
    ErrorCode e = ErrorCode::kNone;
    auto list = media::findReservedList(outFd, &e);
    if (!list) return fail(e == ErrorCode::kNone ? ErrorCode::kReadFailed : e);
    auto inSize = fileSizeOf(fd_);
    if (!inSize) return fail(ErrorCode::kReadFailed, errno);
    // The reserved room is filled in place: a list that claims to run past the end of the output is
    // not one this program wrote.
    auto outSize = fileSizeOf(outFd);
    if (!outSize) return fail(ErrorCode::kReadFailed, errno);
    if (list->pos + list->size > *outSize) return fail(ErrorCode::kReadFailed);
    std::vector<uint8_t> buf;
    uint64_t written = 0;
    int sys = 0;
    for (const auto& c : editorChunks_) {
        if (written + c.size > list->size) break;  // the reserved room was sized for them all
        try {
            buf.resize(c.size);
        } catch (const std::bad_alloc&) {
            return fail(ErrorCode::kOutOfMemory);
        }
        // A body that ends at the file end without its pad byte still copies, padded with zero.
        uint64_t avail = std::min(c.size, *inSize > c.pos ? *inSize - c.pos : 0);
        std::fill(buf.begin(), buf.end(), 0);
        if (!readAt(fd_, c.pos, buf.data(), avail, &sys)) return fail(ErrorCode::kReadFailed, sys);
        if (!writeAt(outFd, list->pos + written, buf.data(), c.size, &sys)) return fail(ErrorCode::kWriteFailed, sys);
        written += c.size;
    }
    if (written == list->size) return true;
    uint64_t gap = list->size - written;
    uint8_t next[8] = {};
    bool haveNext = list->pos + list->size + 8 <= *outSize && readAt(outFd, list->pos + list->size, next, 8, &sys);
    uint8_t zeros[10] = {};
    if (haveNext && le32(next) == fourcc("JUNK")) {
        uint64_t grown = uint64_t(le32(next + 4)) + gap;
        if (grown > 0xFFFFFFFFu) return fail(ErrorCode::kWriteFailed);
        put32(next + 4, uint32_t(grown));
        if (!writeAt(outFd, list->pos + written, next, 8, &sys) || !writeAt(outFd, list->pos + written + 8, zeros, 8, &sys))
            return fail(ErrorCode::kWriteFailed, sys);
        return true;
    }
    if (gap < 8) return fail(ErrorCode::kWriteFailed);
    // A "JUNK" chunk fills the rest of the reserved room: size 2 for the usual 10-byte gap.
    uint8_t junk[8];
    put32(junk, fourcc("JUNK"));
    put32(junk + 4, uint32_t(gap - 8));
    if (!writeAt(outFd, list->pos + written, junk, 8, &sys)) return fail(ErrorCode::kWriteFailed, sys);
    std::vector<uint8_t> fill(size_t(gap - 8), 0);
    if (!fill.empty() && !writeAt(outFd, list->pos + written + 8, fill.data(), fill.size(), &sys))
        return fail(ErrorCode::kWriteFailed, sys);
    return true;
}

AviSpanReader::AviSpanReader(int fd, uint64_t fileSize, std::span<const uint64_t> framePositions, uint64_t frameSize,
                             uint64_t readBufferSize)
    : fd_(fd), fileSize_(fileSize), positions_(framePositions), frameSize_(frameSize), readBufferSize_(readBufferSize) {}

core::Status AviSpanReader::readRange(uint64_t from, uint64_t to, std::vector<uint8_t>& out) {
    if (to < from || to > fileSize_) return core::Status::failure(ErrorCode::kReadFailed);
    if (to - from > readBufferSize_) return core::Status::failure(ErrorCode::kNotRiff);
    try {
        out.resize(size_t(to - from));
    } catch (const std::bad_alloc&) {
        return core::Status::failure(ErrorCode::kOutOfMemory);
    }
    int sys = 0;
    if (!out.empty() && !readAt(fd_, from, out.data(), out.size(), &sys))
        return core::Status::failure(ErrorCode::kReadFailed, {}, sys);
    return core::Status::success();
}

core::Status AviSpanReader::readHead(std::vector<uint8_t>& out) {
    size_t i = 0;
    while (i < positions_.size() && positions_[i] == kEmptyFrame) ++i;
    uint64_t end = i < positions_.size() ? positions_[i] : fileSize_;
    return readRange(0, end, out);
}

core::Status AviSpanReader::readNextSpan(std::vector<uint8_t>& out) {
    while (cursor_ < positions_.size() && positions_[cursor_] == kEmptyFrame) ++cursor_;
    if (cursor_ >= positions_.size()) {
        out.clear();
        return core::Status::success();
    }
    uint64_t from = positions_[cursor_++];
    size_t next = cursor_;
    while (next < positions_.size() && positions_[next] == kEmptyFrame) ++next;
    uint64_t to = next < positions_.size() ? positions_[next] : from + frameSize_;
    return readRange(from, to, out);
}

core::Status AviSpanReader::readTail(std::vector<uint8_t>& out) {
    size_t i = positions_.size();
    while (i > 0 && positions_[i - 1] == kEmptyFrame) --i;
    uint64_t from = i > 0 ? positions_[i - 1] + frameSize_ : fileSize_;
    return readRange(std::min(from, fileSize_), fileSize_, out);
}

}  // namespace zorv::media
