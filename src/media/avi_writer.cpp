#include "media/avi_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "core/dv_layout.h"
#include "media/write_all.h"

namespace zorv::media {

using core::ErrorCode;
using core::Status;

namespace {

constexpr uint32_t fcc(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

constexpr uint32_t kAvihFlags = 0x10 | 0x100 | 0x800;  // has index, interleaved, trust chunk types
constexpr uint32_t kKeyFrame = 0x10;                   // idx1 flag
constexpr uint32_t kMaxRiff = 0xFFFFFFFFu - 65536;     // a RIFF size field is 32 bits
constexpr uint32_t kAudioBlockAlign = 4;               // 16-bit stereo
constexpr size_t kStdIndexHeader = 8 + 24;
constexpr size_t kSuperIndexHeader = 24;

// Little-endian byte builder for headers and indexes.
class Bytes {
public:
    explicit Bytes(size_t reserve = 0) { v_.reserve(reserve); }
    void u8(uint8_t x) { v_.push_back(x); }
    void u16(uint16_t x) {
        u8(x & 0xFF);
        u8(x >> 8);
    }
    void u32(uint32_t x) {
        u16(x & 0xFFFF);
        u16(x >> 16);
    }
    void u64(uint64_t x) {
        u32(static_cast<uint32_t>(x));
        u32(static_cast<uint32_t>(x >> 32));
    }
    void tag(const char (&s)[5]) { u32(fcc(s)); }
    void zeros(size_t n) { v_.insert(v_.end(), n, 0); }
    size_t size() const { return v_.size(); }
    // Starts a chunk or list; the returned mark is passed to end() to fill in its size.
    size_t begin(const char (&id)[5]) {
        tag(id);
        size_t mark = v_.size();
        u32(0);
        return mark;
    }
    void end(size_t mark) {
        uint32_t n = static_cast<uint32_t>(v_.size() - mark - 4);
        for (int i = 0; i < 4; ++i) v_[mark + i] = static_cast<uint8_t>(n >> (8 * i));
        if (v_.size() & 1) u8(0);
    }
    std::vector<uint8_t>& data() { return v_; }

private:
    std::vector<uint8_t> v_;
};

uint32_t packPayload(const uint8_t* p) {
    return static_cast<uint32_t>(p[1]) | static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]) << 16 |
           static_cast<uint32_t>(p[4]) << 24;
}

}  // namespace

AviWriter::~AviWriter() { close(); }

std::vector<uint8_t> AviWriter::reservedList(uint32_t totalSize, const std::string& text) {
    totalSize = std::max<uint32_t>(20, (totalSize + 1) & ~1u);
    Bytes b(totalSize);
    b.tag("LIST");
    b.u32(totalSize - 8);
    b.tag("INFO");
    b.tag("ZoRv");
    b.u32(totalSize - 20);
    size_t n = std::min<size_t>(text.size(), totalSize - 20);
    for (size_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(text[i]));
    b.zeros(totalSize - 20 - n);
    return std::move(b.data());
}

Status AviWriter::open(const std::string& path, const AviWriterOptions& options) {
    close();
    opt_ = options;
    opt_.riffLimit = std::clamp<uint64_t>(opt_.riffLimit, 64 * 1024, kMaxRiff);
    opt_.superIndexSlots = std::max<uint32_t>(opt_.superIndexSlots, 1);
    error_ = Status::success();
    pos_ = 0;
    riffCount_ = 0;
    totalFrames_ = firstRiffFrames_ = 0;
    audioBytes_ = 0;
    frameSize_ = core::dv::systemFor(opt_.pal).frameSize;
    maxChunk_ = frameSize_;
    videoRefs_.clear();
    audioRefs_.clear();
    idx1_.clear();
    videoSuper_.clear();
    audioSuper_.clear();
    videoChecks_.clear();
    audioChecks_.clear();
    checkedVideo_ = checkedAudio_ = 0;
    std::fill(std::begin(dvInfo_), std::end(dvInfo_), 0xFFFFFFFFu);
    dvInfo_[6] = dvInfo_[7] = 0;
    haveDvInfo_ = false;

    batch_.clear();
    behind_.reset();
    if (opt_.writeBehind) behind_ = std::make_unique<WriteBehind>(GatherBatch::kDefaultArena);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        int err = errno;
        error_ = Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", err);
        return error_;
    }
    std::vector<uint8_t> header = buildHeader();
    headerSize_ = header.size();
    if (Status s = writeRaw(header.data(), header.size()); !s) return s;
    riffStart_ = 0;
    moviStart_ = headerSize_ - 12;
    riffCount_ = 1;
    return Status::success();
}

std::vector<uint8_t> AviWriter::buildHeader() const {
    const bool type2 = opt_.type == AviType::kType2;
    const core::dv::System& sys = core::dv::systemFor(opt_.pal);
    const uint32_t width = uint32_t(sys.width), height = uint32_t(sys.height);
    const uint32_t scale = uint32_t(sys.rateDen), rate = uint32_t(sys.rateNum);
    const uint32_t usPerFrame = uint32_t(sys.frameMicros);
    const uint32_t audioRate = opt_.audioSampleRate;
    const uint32_t audioBytesPerSec = audioRate * kAudioBlockAlign;
    const uint32_t maxBytesPerSec = frameSize_ * uint32_t(sys.nominalRate) + (type2 ? audioBytesPerSec : 0);

    Bytes b(4096 + 16 * opt_.superIndexSlots * 2);
    size_t riff = b.begin("RIFF");
    b.tag("AVI ");
    size_t hdrl = b.begin("LIST");
    b.tag("hdrl");

    size_t avih = b.begin("avih");
    b.u32(usPerFrame);
    b.u32(maxBytesPerSec);
    b.u32(0);
    b.u32(kAvihFlags);
    // With OpenDML the legacy count covers the first RIFF (all frames while it is still growing).
    b.u32(static_cast<uint32_t>(opt_.openDml && riffCount_ > 1 ? firstRiffFrames_ : totalFrames_));
    b.u32(0);
    b.u32(type2 ? 2 : 1);
    b.u32(maxChunk_ + 8);
    b.u32(width);
    b.u32(height);
    b.zeros(16);
    b.end(avih);

    auto superIndex = [&](const char(&id)[5], const std::vector<SuperEntry>& done, const std::vector<SuperEntry>& checks) {
        if (!opt_.openDml) return;
        size_t indx = b.begin("indx");
        b.u16(4);
        b.u8(0);
        b.u8(0);  // index of indexes
        const size_t used = std::min<size_t>(done.size() + checks.size(), opt_.superIndexSlots);
        b.u32(static_cast<uint32_t>(used));
        b.tag(id);
        b.zeros(12);
        for (uint32_t i = 0; i < opt_.superIndexSlots; ++i) {
            if (i < used) {
                const SuperEntry& e = i < done.size() ? done[i] : checks[i - done.size()];
                b.u64(e.offset);
                b.u32(e.size);
                b.u32(e.duration);
            } else {
                b.zeros(16);
            }
        }
        b.end(indx);
    };

    // Video (Type 2) or interleaved (Type 1) stream.
    size_t strl = b.begin("LIST");
    b.tag("strl");
    size_t strh = b.begin("strh");
    if (type2) b.tag("vids");
    else b.tag("iavs");
    b.tag("dvsd");
    b.u32(0);
    b.u16(0);
    b.u16(0);
    b.u32(0);
    b.u32(scale);
    b.u32(rate);
    b.u32(0);
    b.u32(static_cast<uint32_t>(totalFrames_));
    b.u32(maxChunk_);
    b.u32(0xFFFFFFFFu);
    b.u32(0);
    b.u16(0);
    b.u16(0);
    b.u16(static_cast<uint16_t>(width));
    b.u16(static_cast<uint16_t>(height));
    b.end(strh);
    size_t strf = b.begin("strf");
    if (type2) {
        b.u32(40);
        b.u32(width);
        b.u32(height);
        b.u16(1);
        b.u16(24);
        b.tag("dvsd");
        b.u32(frameSize_);
        b.zeros(16);
    } else {
        for (uint32_t v : dvInfo_) b.u32(v);
    }
    b.end(strf);
    superIndex(type2 ? "00dc" : "00__", videoSuper_, videoChecks_);
    b.end(strl);

    if (type2) {
        size_t astrl = b.begin("LIST");
        b.tag("strl");
        size_t ash = b.begin("strh");
        b.tag("auds");
        b.u32(0);
        b.u32(0);
        b.u16(0);
        b.u16(0);
        b.u32(0);
        b.u32(kAudioBlockAlign);
        b.u32(audioBytesPerSec);
        b.u32(0);
        b.u32(static_cast<uint32_t>(audioBytes_ / kAudioBlockAlign));
        b.u32(audioBytesPerSec / 10);
        b.u32(0xFFFFFFFFu);
        b.u32(kAudioBlockAlign);
        b.zeros(8);
        b.end(ash);
        size_t asf = b.begin("strf");
        b.u16(1);  // PCM
        b.u16(2);
        b.u32(audioRate);
        b.u32(audioBytesPerSec);
        b.u16(kAudioBlockAlign);
        b.u16(16);
        b.u16(0);
        b.end(asf);
        superIndex("01wb", audioSuper_, audioChecks_);
        b.end(astrl);
    }

    if (opt_.openDml) {
        size_t odml = b.begin("LIST");
        b.tag("odml");
        size_t dmlh = b.begin("dmlh");
        b.u32(static_cast<uint32_t>(totalFrames_));
        b.zeros(244);
        b.end(dmlh);
        b.end(odml);
    }
    b.end(hdrl);

    if (opt_.reservedListSize > 0) {
        std::vector<uint8_t> list = reservedList(opt_.reservedListSize, opt_.reservedText);
        b.data().insert(b.data().end(), list.begin(), list.end());
    }

    // The 'movi' list header; its size and the RIFF size are patched when the RIFF is finished.
    b.tag("LIST");
    b.u32(0);
    b.tag("movi");
    (void)riff;
    return std::move(b.data());
}

Status AviWriter::fail(int err) {
    if (error_.ok()) error_ = Status::failure(ErrorCode::kWriteFailed, "Could not write output file", err);
    return error_;
}

Status AviWriter::writeRaw(const void* data, size_t size) {
    if (Status s = settle(); !s) return s;
    if (size == 0) return Status::success();
    struct iovec iov {
        const_cast<void*>(data), size
    };
    if (int err = writeAllV(fd_, &iov, 1); err != 0) return fail(err);
    pos_ += size;
    return Status::success();
}

Status AviWriter::writeAt(uint64_t pos, const void* data, size_t size) {
    if (Status s = settle(); !s) return s;
    if (int err = pwriteAll(fd_, data, size, static_cast<int64_t>(pos)); err != 0) return fail(err);
    return Status::success();
}

void AviWriter::queueChunkHeader(uint32_t fourcc, uint32_t size, bool video) {
    uint8_t hdr[8];
    std::memcpy(hdr, &fourcc, 4);
    for (int i = 0; i < 4; ++i) hdr[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    const ChunkRef ref{pos_, size};
    batch_.copy(hdr, 8);
    pos_ += 8 + size + (size & 1);
    (video ? videoRefs_ : audioRefs_).push_back(ref);
    // idx1 offsets are made relative when the index is written.
    if (riffCount_ == 1) idx1_.push_back({fourcc, size ? kKeyFrame : 0u, static_cast<uint32_t>(ref.pos), size});
}

Status AviWriter::flush() {
    if (!error_.ok()) return error_;
    if (fd_ < 0) return Status::success();
    if (behind_) {
        if (int err = behind_->submit(fd_, batch_); err != 0) return fail(err);
        return Status::success();
    }
    if (batch_.empty()) return Status::success();
    if (int err = batch_.flush(fd_); err != 0) return fail(err);
    return Status::success();
}

Status AviWriter::settle() {
    if (Status s = flush(); !s) return s;
    if (behind_ && fd_ >= 0)
        if (int err = behind_->drain(); err != 0) return fail(err);
    return Status::success();
}

Status AviWriter::ensureRoom(uint64_t chunkBytes, size_t newEntries) {
    const bool first = riffCount_ == 1;
    uint64_t idx1Bytes = first ? 8 + 16 * (idx1_.size() + newEntries) : 0;
    uint64_t stdBytes = 0;
    if (opt_.openDml) {
        stdBytes = kStdIndexHeader + 8 * (videoRefs_.size() + 1);
        if (opt_.type == AviType::kType2) stdBytes += kStdIndexHeader + 8 * (audioRefs_.size() + 1);
    }
    uint64_t projected = (pos_ - riffStart_) + chunkBytes + idx1Bytes + stdBytes;
    if (!opt_.openDml) {
        if (projected > kMaxRiff) {
            if (error_.ok())
                error_ = Status::failure(ErrorCode::kWriteFailed, "AVI file too large without an OpenDML index", EFBIG);
            return error_;
        }
        return Status::success();
    }
    if (projected <= opt_.riffLimit || videoRefs_.empty()) return Status::success();
    if (riffCount_ >= static_cast<int64_t>(opt_.superIndexSlots)) {
        if (error_.ok()) error_ = Status::failure(ErrorCode::kWriteFailed, "Too many RIFF chunks for the AVI index", EFBIG);
        return error_;
    }
    if (Status s = finishRiff(); !s) return s;
    return startRiff();
}

Status AviWriter::startRiff() {
    Bytes b(24);
    b.tag("RIFF");
    b.u32(0);
    b.tag("AVIX");
    b.tag("LIST");
    b.u32(0);
    b.tag("movi");
    riffStart_ = pos_;
    moviStart_ = pos_ + 12;
    ++riffCount_;
    return writeRaw(b.data().data(), b.size());
}

Status AviWriter::writeStandardIndex(uint32_t fourcc, const std::vector<ChunkRef>& refs, std::vector<SuperEntry>& super,
                                     uint32_t duration) {
    Bytes b(kStdIndexHeader + 8 * refs.size());
    b.tag("ix00");
    if (fourcc == fcc("01wb")) b.data()[3] = '1';
    b.u32(static_cast<uint32_t>(24 + 8 * refs.size()));
    b.u16(2);
    b.u8(0);
    b.u8(1);  // index of chunks
    b.u32(static_cast<uint32_t>(refs.size()));
    b.u32(fourcc);
    b.u64(moviStart_);
    b.u32(0);
    for (const ChunkRef& r : refs) {
        b.u32(static_cast<uint32_t>(r.pos + 8 - moviStart_));
        b.u32(r.size);
    }
    super.push_back({pos_, static_cast<uint32_t>(b.size()), duration});
    return writeRaw(b.data().data(), b.size());
}

Status AviWriter::finishRiff() {
    const bool type2 = opt_.type == AviType::kType2;
    if (opt_.openDml) {
        uint32_t vdur = static_cast<uint32_t>(videoRefs_.size());
        if (Status s = writeStandardIndex(fcc(type2 ? "00dc" : "00__"), videoRefs_, videoSuper_, vdur); !s) return s;
        if (type2) {
            uint64_t bytes = 0;
            for (const ChunkRef& r : audioRefs_) bytes += r.size;
            uint32_t adur = static_cast<uint32_t>(bytes / kAudioBlockAlign);
            if (Status s = writeStandardIndex(fcc("01wb"), audioRefs_, audioSuper_, adur); !s) return s;
        }
    }
    uint32_t moviSize = static_cast<uint32_t>(pos_ - moviStart_ - 8);
    if (Status s = writeAt(moviStart_ + 4, &moviSize, 4); !s) return s;

    if (riffCount_ == 1) {
        const uint64_t base = opt_.idx1FromFileStart ? 0 : moviStart_ + 8;
        Bytes b(8 + 16 * idx1_.size());
        b.tag("idx1");
        b.u32(static_cast<uint32_t>(16 * idx1_.size()));
        for (const auto& e : idx1_) {
            b.u32(e[0]);
            b.u32(e[1]);
            b.u32(static_cast<uint32_t>(e[2] - base));
            b.u32(e[3]);
        }
        if (Status s = writeRaw(b.data().data(), b.size()); !s) return s;
        firstRiffFrames_ = totalFrames_;
        idx1_.clear();
        idx1_.shrink_to_fit();
    }
    uint32_t riffSize = static_cast<uint32_t>(pos_ - riffStart_ - 8);
    if (Status s = writeAt(riffStart_ + 4, &riffSize, 4); !s) return s;
    videoRefs_.clear();
    audioRefs_.clear();
    videoChecks_.clear();
    audioChecks_.clear();
    checkedVideo_ = checkedAudio_ = 0;
    return Status::success();
}

uint64_t AviWriter::closingBytes() const {
    uint64_t n = 2 * kStdIndexHeader + 8 * (videoRefs_.size() + audioRefs_.size());
    if (riffCount_ == 1) n += 8 + 16 * idx1_.size();
    return n;
}

Status AviWriter::checkpoint(bool sync) {
    if (fd_ < 0 || !error_.ok()) return error_;
    if (!opt_.openDml || (checkedVideo_ == videoRefs_.size() && checkedAudio_ == audioRefs_.size()))
        return Status::success();
    // Two more super index entries must fit beside the RIFFs to come; otherwise the next RIFF
    // starts early and its whole index takes the place of this RIFF's checkpoint entries.
    const bool type2 = opt_.type == AviType::kType2;
    if (videoSuper_.size() + videoChecks_.size() + 2 >= opt_.superIndexSlots) {
        if (riffCount_ >= static_cast<int64_t>(opt_.superIndexSlots)) return Status::success();
        if (Status s = settle(); !s) return s;
        if (Status s = finishRiff(); !s) return s;
        if (Status s = startRiff(); !s) return s;
    } else {
        if (Status s = settle(); !s) return s;
        std::vector<ChunkRef> part(videoRefs_.begin() + static_cast<long>(checkedVideo_), videoRefs_.end());
        const uint32_t vdur = static_cast<uint32_t>(part.size());
        if (Status s = writeStandardIndex(fcc(type2 ? "00dc" : "00__"), part, videoChecks_, vdur); !s) return s;
        checkedVideo_ = videoRefs_.size();
        if (type2 && checkedAudio_ < audioRefs_.size()) {
            part.assign(audioRefs_.begin() + static_cast<long>(checkedAudio_), audioRefs_.end());
            uint64_t bytes = 0;
            for (const ChunkRef& r : part) bytes += r.size;
            const uint32_t adur = static_cast<uint32_t>(bytes / kAudioBlockAlign);
            if (Status s = writeStandardIndex(fcc("01wb"), part, audioChecks_, adur); !s) return s;
            checkedAudio_ = audioRefs_.size();
        }
        if (sync && ::fdatasync(fd_) != 0) return fail(errno);
        const uint32_t moviSize = static_cast<uint32_t>(pos_ - moviStart_ - 8);
        if (Status s = writeAt(moviStart_ + 4, &moviSize, 4); !s) return s;
        const uint32_t riffSize = static_cast<uint32_t>(pos_ - riffStart_ - 8);
        if (Status s = writeAt(riffStart_ + 4, &riffSize, 4); !s) return s;
    }
    // Counts and super indexes last: until they are written the file describes the previous state.
    std::vector<uint8_t> header = buildHeader();
    if (header.size() != headerSize_) return fail(EINVAL);
    if (Status s = writeAt(8, header.data() + 8, header.size() - 20); !s) return s;
    if (sync && ::fdatasync(fd_) != 0) return fail(errno);
    return Status::success();
}

void AviWriter::noteDvInfo(const PatchedFrame& frame) {
    namespace dv = core::dv;
    haveDvInfo_ = true;
    const int seqs = dv::sequenceCount(frame.data.size());
    uint8_t p[5];
    auto pack = [&](size_t offset) {
        for (size_t i = 0; i < 5; ++i) p[i] = frame.at(offset + i);
    };
    bool foundV[2] = {false, false};
    bool foundA[2][2] = {{false, false}, {false, false}};
    for (int s = 0; s < seqs; ++s) {
        const size_t seq = dv::kSequenceSize * static_cast<size_t>(s);
        const int ch = s < seqs / 2 ? 0 : 1;
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            pack(seq + dv::aauxPackOffset(a));
            for (int k = 0; k < 2; ++k) {
                if (p[0] == 0x50 + k && !foundA[ch][k]) {
                    foundA[ch][k] = true;
                    dvInfo_[2 * ch + k] = packPayload(p);
                }
            }
        }
        for (int v = 0; v < dv::kVauxPacksPerSequence; ++v) {
            pack(seq + dv::vauxPackOffset(v));
            for (int k = 0; k < 2; ++k) {
                if (p[0] == 0x60 + k && !foundV[k]) {
                    foundV[k] = true;
                    dvInfo_[4 + k] = packPayload(p);
                }
            }
        }
    }
}

Status AviWriter::appendFrame(const PatchedFrame& frame, std::span<const uint8_t> pcm, bool empty, bool copyPcm) {
    if (fd_ < 0) return Status::failure(ErrorCode::kWriteFailed, "AVI file is not open");
    if (!error_.ok()) return error_;
    const bool type2 = opt_.type == AviType::kType2;
    if (!type2) pcm = {};
    const size_t size = frame.data.size();
    if (!empty && size % core::dv::kSequenceSize != 0)
        return Status::failure(ErrorCode::kWriteFailed, "Not a whole DV frame");
    uint64_t bytes = 8 + size + (pcm.empty() ? 0 : 8 + pcm.size() + (pcm.size() & 1));
    if (Status s = ensureRoom(bytes, pcm.empty() ? 1 : 2); !s) return s;
    // Headers, padding, patched blocks and (when asked) the audio go into the batch's own memory.
    const size_t copyBytes = 16 + 2 + GatherBatch::copyBytesFor(frame) + (copyPcm ? pcm.size() : 0);
    if (!batch_.fits(GatherBatch::iovecsFor(frame) + 6, copyBytes))
        if (Status s = flush(); !s) return s;
    if (!empty && !haveDvInfo_ && !type2) noteDvInfo(frame);
    if (!empty && size > maxChunk_) maxChunk_ = static_cast<uint32_t>(size);
    static const uint8_t kPad = 0;
    queueChunkHeader(fcc(type2 ? "00dc" : "00__"), static_cast<uint32_t>(size), true);
    batch_.frame(frame);
    if (size & 1) batch_.copy(&kPad, 1);
    if (!pcm.empty()) {
        queueChunkHeader(fcc("01wb"), static_cast<uint32_t>(pcm.size()), false);
        if (copyPcm) batch_.copy(pcm.data(), pcm.size());
        else batch_.ref(pcm.data(), pcm.size());
        if (pcm.size() & 1) batch_.copy(&kPad, 1);
        audioBytes_ += pcm.size();
    }
    ++totalFrames_;
    return Status::success();
}

Status AviWriter::writeFrame(std::span<const uint8_t> frame, std::span<const uint8_t> pcm) {
    if (frame.empty()) return writeEmptyFrame(pcm);
    // Header, data and padding in one call, straight from the caller's buffers.
    if (Status s = appendFrame(PatchedFrame{frame}, pcm, false, false); !s) return s;
    return settle();
}

Status AviWriter::writeEmptyFrame(std::span<const uint8_t> pcm) {
    if (Status s = appendFrame(PatchedFrame{}, pcm, true, false); !s) return s;
    return settle();
}

Status AviWriter::queueFrame(const PatchedFrame& frame, std::span<const uint8_t> pcm) {
    return appendFrame(frame, pcm, frame.data.empty(), true);
}

Status AviWriter::close() {
    if (fd_ < 0) return error_;
    if (error_.ok()) {
        if (settle() && finishRiff()) {
            std::vector<uint8_t> header = buildHeader();
            // The header keeps its size: only counts, sizes and index entries change. The RIFF
            // size (bytes 4-7) and the 'movi' list header at its end are already patched.
            if (header.size() != headerSize_) fail(EINVAL);
            else writeAt(8, header.data() + 8, header.size() - 20);
        }
    }
    if (behind_) behind_->drain();  // after a failure the writer may still be busy with the descriptor
    if (::close(fd_) != 0 && errno != EINTR) fail(errno ? errno : EIO);
    fd_ = -1;
    return error_;
}

}  // namespace zorv::media
