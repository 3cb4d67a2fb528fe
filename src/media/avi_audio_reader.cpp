#include "media/avi_audio_reader.h"

#include <algorithm>

namespace zorv::media {

namespace {
int64_t padded(int64_t n) { return n + (n & 1); }
constexpr int kMaxHeaderChunks = 4096;
constexpr size_t kResyncPiece = 64 * 1024;

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool isIdChar(uint8_t c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A chunk header as the movi list holds them: a stream chunk ("00dc", "01wb", ...), a standard index
// ("ix00"), "JUNK" or a "rec " list, whose size keeps it inside the file.
bool plausibleChunk(const uint8_t* c, int64_t at, int64_t end) {
    const uint32_t id = le32(c);
    const bool known = id == fourcc("LIST") || id == fourcc("JUNK") ||
                       (isDigit(c[0]) && isDigit(c[1]) && isIdChar(c[2]) && isIdChar(c[3])) ||
                       (c[0] == 'i' && c[1] == 'x' && isDigit(c[2]) && isDigit(c[3]));
    return known && at + 8 + int64_t{le32(c + 4)} <= end;
}
}  // namespace

// A chunk whose size field is damaged leaves the walk beside the next chunk header: the walk goes on
// from the next plausible header after pos_ (the end of the list when there is none).
bool AviAudioReader::resync() {
    std::vector<uint8_t> piece(kResyncPiece + 7);
    for (int64_t at = pos_ + 1; at + 8 <= moviEnd_;) {
        const size_t want = size_t(std::min<int64_t>(int64_t(piece.size()), moviEnd_ - at));
        const int64_t got = file_->readAt(at, piece.data(), want);
        if (got < 8) {
            failed_ = at + 8 <= fileSize_;
            return false;
        }
        for (size_t i = 0; i + 8 <= size_t(got); ++i)
            if (plausibleChunk(piece.data() + i, at + int64_t(i), fileSize_)) {
                pos_ = at + int64_t(i);
                return true;
            }
        at += got - 7;
    }
    pos_ = moviEnd_;
    return true;
}

core::Status AviAudioReader::open(const File& file) {
    file_ = &file;
    fileSize_ = file.size();
    format_ = {};
    done_ = false;
    inMovi_ = false;
    chunkLeft_ = 0;
    budget_ = 1 << 30;
    uint8_t h[24];
    if (fileSize_ < 24 || !file.readExact(0, h, 24)) return core::Status::failure(core::ErrorCode::kReadFailed);
    if (le32(h) != fourcc("RIFF") || le32(h + 12) != fourcc("LIST") || le32(h + 20) != fourcc("hdrl"))
        return core::Status::success();
    riffPos_ = 0;
    // A RIFF size of 0 is a file whose writer never finished it: it runs to the end of the file.
    riffEnd_ = le32(h + 4) == 0 ? fileSize_ : std::min<int64_t>(8 + padded(le32(h + 4)), fileSize_);
    pos_ = 12;
    int64_t hdrlEnd = std::min<int64_t>(20 + padded(le32(h + 16)), riffEnd_);
    // The stream lists in order; the first "auds" stream is the audio.
    int64_t p = 24;
    int stream = 0;
    for (int guard = 0; p + 12 <= hdrlEnd && guard < kMaxHeaderChunks; ++guard) {
        uint8_t c[12];
        if (!file.readExact(p, c, 12)) break;
        uint32_t size = le32(c + 4);
        if (le32(c) == fourcc("LIST") && le32(c + 8) == fourcc("strl")) {
            int64_t q = p + 12, end = std::min<int64_t>(p + 8 + size, hdrlEnd);
            bool audio = false;
            for (int g = 0; q + 8 <= end && g < kMaxHeaderChunks; ++g) {
                uint8_t s[24];
                if (!file.readExact(q, s, 8)) break;
                uint32_t ssize = le32(s + 4);
                if (le32(s) == fourcc("strh") && ssize >= 4 && file.readExact(q + 8, s + 8, 4))
                    audio = le32(s + 8) == fourcc("auds");
                if (le32(s) == fourcc("strf") && audio && ssize >= 16 && file.readExact(q + 8, s + 8, 16)) {
                    format_.streamNumber = stream;
                    format_.formatTag = le16(s + 8);
                    format_.channels = le16(s + 10);
                    format_.sampleRate = int(le32(s + 12));
                    format_.bitsPerSample = le16(s + 22);
                    break;
                }
                q += 8 + padded(ssize);
            }
            if (format_.streamNumber >= 0) break;
            ++stream;
        }
        p += 8 + padded(size);
    }
    if (format_.streamNumber >= 0 && format_.streamNumber < 100) {
        char id[5] = {char('0' + format_.streamNumber / 10), char('0' + format_.streamNumber % 10), 'w', 'b', 0};
        chunkId_ = fourcc({id[0], id[1], id[2], id[3], 0});
    } else {
        format_.streamNumber = -1;
    }
    return core::Status::success();
}

bool AviAudioReader::nextChunk() {
    while (!done_ && --budget_ > 0) {
        if (inMovi_) {
            if (pos_ + 8 > moviEnd_) {
                inMovi_ = false;
                pos_ = moviEnd_ + (moviEnd_ & 1);
                continue;
            }
            uint8_t c[12];
            if (!file_->readExact(pos_, c, 8)) {
                failed_ = pos_ + 8 <= fileSize_;
                break;
            }
            if (!plausibleChunk(c, pos_, fileSize_)) {
                if (!resync()) break;
                continue;
            }
            uint32_t id = le32(c);
            int64_t size = le32(c + 4);
            if (id == fourcc("LIST")) {  // a 'rec ' list: its chunks follow inside the movi list
                pos_ += 12;
                continue;
            }
            if (id == chunkId_) {
                chunkPos_ = pos_ + 8;
                chunkLeft_ = std::min(size, std::max<int64_t>(0, fileSize_ - chunkPos_));
                pos_ += 8 + padded(size);
                if (chunkLeft_ > 0) return true;
                continue;
            }
            pos_ += 8 + padded(size);
            continue;
        }
        if (pos_ + 12 <= riffEnd_) {
            uint8_t c[12];
            if (!file_->readExact(pos_, c, 12)) {
                failed_ = pos_ + 12 <= fileSize_;
                break;
            }
            int64_t size = le32(c + 4);
            if (le32(c) == fourcc("LIST") && le32(c + 8) == fourcc("movi")) {
                inMovi_ = true;
                moviEnd_ = std::min(pos_ + 8 + size, riffEnd_);
                pos_ += 12;
            } else {
                pos_ += 8 + padded(size);
            }
            continue;
        }
        // The next RIFF chunk ("AVIX").
        riffPos_ = riffEnd_;
        uint8_t h[12];
        if (riffPos_ + 12 > fileSize_) break;
        if (!file_->readExact(riffPos_, h, 12)) {
            failed_ = true;
            break;
        }
        if (le32(h) != fourcc("RIFF")) break;
        riffEnd_ = std::min<int64_t>(riffPos_ + 8 + padded(le32(h + 4)), fileSize_);
        pos_ = riffPos_ + 12;
    }
    done_ = true;
    return false;
}

size_t AviAudioReader::read(std::vector<uint8_t>& out, size_t maxBytes) {
    if (format_.streamNumber < 0) return 0;
    size_t total = 0;
    while (total < maxBytes) {
        if (chunkLeft_ == 0 && !nextChunk()) break;
        size_t n = size_t(std::min<int64_t>(chunkLeft_, int64_t(maxBytes - total)));
        size_t at = out.size();
        out.resize(at + n);
        int64_t got = file_->readAt(chunkPos_, out.data() + at, n);
        if (got <= 0) {
            // chunkLeft_ never reaches past the size the file had at open.
            out.resize(at);
            failed_ = true;
            done_ = true;
            chunkLeft_ = 0;
            break;
        }
        out.resize(at + size_t(got));
        chunkPos_ += got;
        chunkLeft_ -= got;
        total += size_t(got);
    }
    return total;
}

}  // namespace zorv::media
