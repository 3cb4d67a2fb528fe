#include "media/avi_av_writer.h"

#include <algorithm>
#include <cstring>

namespace zorv::media {

using core::ErrorCode;
using core::Status;

namespace {

// The headers are written last into a fixed area before the first "movi" list (padded with JUNK).
constexpr int64_t kMoviOffset = 12288;
constexpr size_t kMaxExtraData = 2048;
constexpr uint32_t kAviIndexOfIndexes = 0x00;
constexpr uint32_t kAviIndexOfChunks = 0x01;
constexpr uint32_t kNotKeyFrame = 0x80000000u;

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t>& b) : b_(b) { b_.clear(); }
    void u8(uint8_t v) { b_.push_back(v); }
    void u16(uint16_t v) { u8(uint8_t(v)), u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); }
    void u64(uint64_t v) { u32(uint32_t(v)), u32(uint32_t(v >> 32)); }
    void fourcc(const char* f) { b_.insert(b_.end(), f, f + 4); }
    void zeros(size_t n) { b_.insert(b_.end(), n, 0); }
    void raw(const uint8_t* p, size_t n) { b_.insert(b_.end(), p, p + n); }
    size_t size() const { return b_.size(); }
    // Opens a chunk (or a list with its type); returns where its size goes.
    size_t open(const char* id, const char* listType = nullptr) {
        fourcc(id);
        const size_t at = size();
        u32(0);
        if (listType) fourcc(listType);
        return at;
    }
    void close(size_t at) {
        const uint32_t n = static_cast<uint32_t>(size() - at - 4);
        std::memcpy(b_.data() + at, &n, 4);  // little-endian host
        if (n & 1) u8(0);
    }

private:
    std::vector<uint8_t>& b_;
};

const char* chunkId(int stream, bool compressed) {
    if (stream == 1) return "01wb";
    return compressed ? "00dc" : "00db";
}

}  // namespace

Status AviAvWriter::fail() {
    return Status::failure(ErrorCode::kWriteFailed, "Could not write output file", file_.sysError());
}

Status AviAvWriter::open(const std::string& path, const AviVideoFormat& video, bool withAudio) {
    if (video.width <= 0 || video.height <= 0 || video.rateNum <= 0 || video.rateDen <= 0 ||
        video.extraData.size() > kMaxExtraData)
        return Status::failure(ErrorCode::kOpenFailed, "Unsupported output picture format");
    video_ = video;
    if (video_.compression == 0 && video_.imageSize == 0)
        video_.imageSize = static_cast<uint32_t>(((video.width * video.bitCount / 8 + 3) & ~3) * video.height);
    withAudio_ = withAudio;
    if (!file_.open(path, File::Mode::kCreate))
        return Status::failure(ErrorCode::kOpenFailed, "Could not create output file", file_.sysError());
    for (auto& e : entries_) e.clear();
    for (auto& s : super_) s.clear();
    segment_ = 0;
    totalVideo_ = totalAudioBytes_ = firstRiffVideo_ = 0;
    maxChunk_ = 0;
    riffStart_ = 0;
    moviStart_ = kMoviOffset;
    pos_ = kMoviOffset + 12;
    // Placeholder headers so that a file cut short still starts as a RIFF.
    return writeHeaders();
}

Status AviAvWriter::startSegment() {
    riffStart_ = pos_;
    moviStart_ = pos_ + 12;
    uint8_t head[24];
    std::memcpy(head, "RIFF\0\0\0\0AVIXLIST\0\0\0\0movi", 24);
    if (!file_.writeAt(pos_, head, sizeof head)) return fail();
    pos_ += 24;
    return Status::success();
}

Status AviAvWriter::writeChunk(int stream, const uint8_t* data, size_t size, bool key) {
    if (!file_.isOpen()) return Status::failure(ErrorCode::kWriteFailed, "Output file is not open");
    // Room for the chunk and the standard indexes that close this RIFF.
    const int64_t indexBytes = int64_t(entries_[0].size() + entries_[1].size() + 2) * 8 + 2 * 32;
    if (pos_ + int64_t(size) + 8 + indexBytes - riffStart_ > riffLimit_ && !(entries_[0].empty() && entries_[1].empty())) {
        Status s = finishSegment();
        if (!s) return s;
        if (segment_ >= kMaxSegments) return Status::failure(ErrorCode::kWriteFailed, "Output file too large");
        s = startSegment();
        if (!s) return s;
    }
    uint8_t head[8];
    std::memcpy(head, chunkId(stream, video_.compression != 0), 4);
    const uint32_t n = static_cast<uint32_t>(size);
    std::memcpy(head + 4, &n, 4);
    if (!file_.writeAt(pos_, head, 8) || (size && !file_.writeAt(pos_ + 8, data, size))) return fail();
    entries_[stream].push_back({pos_ + 8, n | (key ? 0 : kNotKeyFrame)});
    pos_ += 8 + int64_t(size);
    if (size & 1) {
        const uint8_t pad = 0;
        if (!file_.writeAt(pos_, &pad, 1)) return fail();
        ++pos_;
    }
    maxChunk_ = std::max(maxChunk_, n);
    return Status::success();
}

Status AviAvWriter::writeVideo(const uint8_t* data, size_t size, bool keyFrame) {
    Status s = writeChunk(0, data, size, keyFrame);
    if (s) {
        ++totalVideo_;
        if (segment_ == 0) ++firstRiffVideo_;
    }
    return s;
}

Status AviAvWriter::writeAudio(const uint8_t* pcm, size_t size) {
    if (!withAudio_ || audio_.sampleRate <= 0 || size == 0) return Status::success();
    Status s = writeChunk(1, pcm, size, true);
    if (s) totalAudioBytes_ += int64_t(size);
    return s;
}

Status AviAvWriter::finishSegment() {
    const int blockAlign = std::max(1, audio_.channels) * 2;
    for (int stream = 0; stream < 2; ++stream) {
        const auto& list = entries_[stream];
        if (list.empty()) continue;
        Bytes b(scratch_);
        const size_t at = b.open(stream == 0 ? "ix00" : "ix01");
        b.u16(2);  // longs per entry
        b.u8(0);
        b.u8(kAviIndexOfChunks);
        b.u32(static_cast<uint32_t>(list.size()));
        b.fourcc(chunkId(stream, video_.compression != 0));
        b.u64(static_cast<uint64_t>(moviStart_));
        b.u32(0);
        uint64_t duration = 0;
        for (const Entry& e : list) {
            b.u32(static_cast<uint32_t>(e.offset - moviStart_));
            b.u32(e.size);
            duration += stream == 0 ? 1 : (e.size & ~kNotKeyFrame) / uint32_t(blockAlign);
        }
        b.close(at);
        if (!file_.writeAt(pos_, scratch_.data(), scratch_.size())) return fail();
        super_[stream].push_back({pos_, static_cast<uint32_t>(scratch_.size()), static_cast<uint32_t>(duration)});
        pos_ += int64_t(scratch_.size());
    }
    // Close the movi list (its size counts from the list type).
    const uint32_t moviSize = static_cast<uint32_t>(pos_ - (moviStart_ + 8));
    if (!file_.writeAt(moviStart_ + 4, &moviSize, 4)) return fail();
    if (segment_ == 0) {
        // Legacy index of the first RIFF: offsets from the "movi" list type.
        Bytes b(scratch_);
        const size_t at = b.open("idx1");
        size_t i0 = 0, i1 = 0;
        const auto& v = entries_[0];
        const auto& a = entries_[1];
        while (i0 < v.size() || i1 < a.size()) {
            const bool takeVideo = i1 >= a.size() || (i0 < v.size() && v[i0].offset < a[i1].offset);
            const Entry& e = takeVideo ? v[i0++] : a[i1++];
            b.fourcc(chunkId(takeVideo ? 0 : 1, video_.compression != 0));
            b.u32((e.size & kNotKeyFrame) ? 0 : 0x10);
            b.u32(static_cast<uint32_t>(e.offset - 8 - (moviStart_ + 8)));
            b.u32(e.size & ~kNotKeyFrame);
        }
        b.close(at);
        if (!file_.writeAt(pos_, scratch_.data(), scratch_.size())) return fail();
        pos_ += int64_t(scratch_.size());
    }
    const uint32_t riffSize = static_cast<uint32_t>(pos_ - riffStart_ - 8);
    if (!file_.writeAt(riffStart_ + 4, &riffSize, 4)) return fail();
    for (auto& e : entries_) e.clear();
    ++segment_;
    return Status::success();
}

Status AviAvWriter::writeHeaders() {
    const bool audio = withAudio_ && audio_.sampleRate > 0;
    const int blockAlign = std::max(1, audio_.channels) * 2;
    const uint32_t usPerFrame = static_cast<uint32_t>(1000000 * video_.rateDen / video_.rateNum);
    std::vector<uint8_t> hdr;
    Bytes b(hdr);
    const size_t riff = b.open("RIFF", "AVI ");
    const size_t hdrl = b.open("LIST", "hdrl");
    const size_t avih = b.open("avih");
    b.u32(usPerFrame);
    b.u32(static_cast<uint32_t>(std::min<int64_t>(0xFFFFFFFF, int64_t(maxChunk_) * video_.rateNum / video_.rateDen)));
    b.u32(0);
    b.u32(0x10 | 0x100);  // has index, interleaved
    b.u32(static_cast<uint32_t>(firstRiffVideo_));
    b.u32(0);
    b.u32(audio ? 2 : 1);
    b.u32(maxChunk_);
    b.u32(static_cast<uint32_t>(video_.width));
    b.u32(static_cast<uint32_t>(video_.height));
    b.zeros(16);
    b.close(avih);

    auto superIndex = [&](int stream) {
        const size_t indx = b.open("indx");
        b.u16(4);
        b.u8(0);
        b.u8(kAviIndexOfIndexes);
        b.u32(static_cast<uint32_t>(super_[stream].size()));
        b.fourcc(chunkId(stream, video_.compression != 0));
        b.zeros(12);
        for (int i = 0; i < kMaxSegments; ++i) {
            if (size_t(i) < super_[stream].size()) {
                const SuperEntry& e = super_[stream][size_t(i)];
                b.u64(static_cast<uint64_t>(e.offset));
                b.u32(e.size);
                b.u32(e.duration);
            } else {
                b.zeros(16);
            }
        }
        b.close(indx);
    };

    // Video stream.
    size_t strl = b.open("LIST", "strl");
    size_t strh = b.open("strh");
    b.fourcc("vids");
    b.u32(video_.compression == 0 ? 0 : video_.compression);
    b.u32(0);
    b.u32(0);
    b.u32(0);
    b.u32(static_cast<uint32_t>(video_.rateDen));
    b.u32(static_cast<uint32_t>(video_.rateNum));
    b.u32(0);
    b.u32(static_cast<uint32_t>(totalVideo_));
    b.u32(maxChunk_);
    b.u32(0xFFFFFFFF);
    b.u32(0);
    b.u16(0), b.u16(0), b.u16(static_cast<uint16_t>(video_.width)), b.u16(static_cast<uint16_t>(video_.height));
    b.close(strh);
    size_t strf = b.open("strf");
    b.u32(static_cast<uint32_t>(40 + video_.extraData.size()));
    b.u32(static_cast<uint32_t>(video_.width));
    b.u32(static_cast<uint32_t>(video_.height));  // positive: bottom-up rows for BI_RGB
    b.u16(1);
    b.u16(video_.bitCount);
    b.u32(video_.compression);
    b.u32(video_.imageSize);
    b.zeros(16);
    b.raw(video_.extraData.data(), video_.extraData.size());
    b.close(strf);
    superIndex(0);
    b.close(strl);

    if (withAudio_) {
        if (audio) {
            strl = b.open("LIST", "strl");
            strh = b.open("strh");
            b.fourcc("auds");
            b.u32(0);
            b.u32(0);
            b.u32(0);
            b.u32(0);
            b.u32(static_cast<uint32_t>(blockAlign));
            b.u32(static_cast<uint32_t>(audio_.sampleRate * blockAlign));
            b.u32(0);
            b.u32(static_cast<uint32_t>(totalAudioBytes_ / blockAlign));
            b.u32(static_cast<uint32_t>(audio_.sampleRate * blockAlign));
            b.u32(0xFFFFFFFF);
            b.u32(static_cast<uint32_t>(blockAlign));
            b.zeros(8);
            b.close(strh);
            strf = b.open("strf");
            b.u16(1);  // PCM
            b.u16(static_cast<uint16_t>(audio_.channels));
            b.u32(static_cast<uint32_t>(audio_.sampleRate));
            b.u32(static_cast<uint32_t>(audio_.sampleRate * blockAlign));
            b.u16(static_cast<uint16_t>(blockAlign));
            b.u16(16);
            b.u16(0);
            b.close(strf);
            superIndex(1);
            b.close(strl);
        }
    }
    const size_t odml = b.open("LIST", "odml");
    const size_t dmlh = b.open("dmlh");
    b.u32(static_cast<uint32_t>(totalVideo_));
    b.zeros(244);
    b.close(dmlh);
    b.close(odml);
    b.close(hdrl);
    if (int64_t(b.size()) + 8 > kMoviOffset) return Status::failure(ErrorCode::kWriteFailed, "Output headers too large");
    const size_t junk = b.open("JUNK");
    b.zeros(static_cast<size_t>(kMoviOffset - int64_t(b.size())));
    b.close(junk);
    // The movi list header; its size is set when the first RIFF is finished.
    const uint32_t riffSize = segment_ > 0 ? 0 : 4;
    (void)riffSize;
    b.fourcc("LIST");
    b.u32(4);
    b.fourcc("movi");
    std::vector<uint8_t> out(hdr.begin(), hdr.end() - (segment_ > 0 ? 12 : 0));
    // The RIFF size of the first chunk was written when it was finished; keep it.
    if (segment_ > 0) {
        if (!file_.writeAt(0, "RIFF", 4) || !file_.writeAt(8, out.data() + 8, out.size() - 8)) return fail();
    } else {
        const uint32_t size = static_cast<uint32_t>(std::max<int64_t>(pos_, kMoviOffset + 12) - 8);
        std::memcpy(out.data() + riff, &size, 4);
        if (!file_.writeAt(0, out.data(), out.size())) return fail();
    }
    return Status::success();
}

Status AviAvWriter::close() {
    if (!file_.isOpen()) return Status::success();
    Status s = finishSegment();
    if (s) s = writeHeaders();
    if (s && !file_.truncate(pos_)) s = fail();
    file_.close();
    return s;
}

}  // namespace zorv::media
