#include "media/hdv_m2t_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "media/hdv_aux_items.h"
#include "media/hdv_stream_info.h"
#include "media/recognize.h"
#include "media/ts_packet.h"

namespace zorv::media {

namespace {

const uint8_t kSequenceHeaderCode[] = {0x00, 0x00, 0x01, 0xB3};
const uint8_t kExtensionCode[] = {0x00, 0x00, 0x01, 0xB5};
constexpr int kSequenceSearchBytes = 48;  // the start code lies in the packet's first 48 bytes
constexpr int kHeaderSearchUnits = 50;
// Pictures looked at from the first sequence start for the earliest presented one.
constexpr int64_t kStartPictures = 16;

void makeNullPacket(uint8_t* p) {
    std::memset(p, 0xFF, kTsPacketBytes);
    p[0] = kTsSyncByte;
    p[1] = 0x1F;
    p[2] = 0xFF;
    p[3] = 0x10;
}

// The typed code of each open reason, by its number.
constexpr core::ErrorCode kOpenReasonCodes[] = {
    core::ErrorCode::kNone,          core::ErrorCode::kOpenFailed,    core::ErrorCode::kNotRecognised,
    core::ErrorCode::kNotRecognised, core::ErrorCode::kReadFailed,    core::ErrorCode::kOutOfMemory,
    core::ErrorCode::kNotRecognised, core::ErrorCode::kNotRecognised, core::ErrorCode::kNotRecognised,
};
static_assert(std::size(kOpenReasonCodes) == kM2tNoLastSequence + 1);

}  // namespace

std::string m2tFailureText(int reason) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Could not load M2T file (reason %d)", reason);
    return buf;
}

M2tReader::M2tReader() : M2tReader(Layout{hdv_pid::kVideo, hdv_pid::kAudio, hdv_pid::kAux, true}) {}
M2tReader::M2tReader(Layout layout) : layout_(layout) {}
M2tReader::~M2tReader() { close(); }

M2t720Reader::M2t720Reader() : M2tReader(Layout{hdv_pid::kVideo720, hdv_pid::kAudio720, hdv_pid::kOther720, false}) {}

bool M2tReader::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_.isOpen();
}

void M2tReader::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.close();
    buf_.reset();
    headers_.clear();
    sequenceHeader_.clear();
    first_ = last_ = SequenceStart{};
}

int64_t M2tReader::durationPts() const {
    if (first_.pts < 0 || last_.pts < 0) return 0;
    return (last_.pts - first_.pts + kPtsWrap) % kPtsWrap;
}

int64_t M2tReader::pictureStepPts() const {
    int num = 0, den = 1;
    mpegFrameRate(frameRateCode_, num, den);
    return num > 0 ? kPtsPerSecond * den / num : kPtsPerSecond / 25;
}

int64_t M2tReader::presentedDurationPts() const {
    if (presentStart_ < 0 || presentEnd_ < 0) return 0;
    return (presentEnd_ - presentStart_ + kPtsWrap) % kPtsWrap + pictureStepPts();
}

core::Status M2tReader::open(const std::string& path, bool metadata) { return open(path, metadata, Flags{}); }

core::Status M2tReader::open(const std::string& path, bool metadata, Flags flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int reason = openLocked(path, metadata, flags);
    if (reason != kM2tOk) {
        const int sys = file_.sysError();
        file_.close();
        buf_.reset();
        headers_.clear();
        sequenceHeader_.clear();
        first_ = last_ = SequenceStart{};
        return core::Status::failure(kOpenReasonCodes[reason], m2tFailureText(reason), sys);
    }
    return core::Status::success();
}

bool M2tReader::readUnit(int64_t offset, int64_t& got) {
    // One read unit of whole packets from the first packet at or after offset.
    stream_.seek(offset);
    const int64_t packets = stream_.read(buf_.get(), kM2tUnitPackets);
    got = packets * packetSize_;
    return packets >= 0;
}

int64_t M2tReader::skippedBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_.skippedBytes();
}

int64_t M2tReader::skipPlaces() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_.skipPlaces();
}

bool M2tReader::isSequenceStart(const uint8_t* pkt, int64_t& pts) const {
    TsPacket tp;
    if (!parseTsPacket(pkt, tp) || tp.pid != videoPid_ || !tp.payloadUnitStart) return false;
    PesHeader pes;
    if (!parsePacketPes(tp, pes) || !pes.optionalHeader) return false;
    const int from = tp.payloadOffset + pes.payloadOffset;
    if (from >= kSequenceSearchBytes) return false;
    if (findBytes(pkt + from, static_cast<size_t>(kSequenceSearchBytes - from), kSequenceHeaderCode, 4) < 0) return false;
    pts = pes.hasPts ? pes.pts : -1;
    return true;
}

int M2tReader::findSequenceInUnit(int64_t got, bool last, int64_t& pts, int64_t minPts) const {
    int found = -1;
    const int64_t packets =
        (got - syncInPacket_ >= kTsPacketBytes) ? (got - syncInPacket_ - kTsPacketBytes) / packetSize_ + 1 : 0;
    for (int64_t i = 0; i < packets; ++i) {
        int64_t p = -1;
        if (!isSequenceStart(buf_.get() + i * packetSize_ + syncInPacket_, p)) continue;
        if (minPts >= 0 && !(p > minPts)) continue;
        found = static_cast<int>(i);
        pts = p;
        if (!last) break;
    }
    return found;
}

int64_t M2tReader::presentedRange(int64_t got, int64_t& earliest, int64_t& latest) const {
    int64_t pictures = 0;
    for (int64_t off = syncInPacket_; off + kTsPacketBytes <= got; off += packetSize_) {
        TsPacket tp;
        PesHeader pes;
        if (!parseTsPacket(buf_.get() + off, tp) || tp.pid != videoPid_ || !parsePacketPes(tp, pes) || !pes.hasPts) continue;
        ++pictures;
        if ((pes.pts - earliest + kPtsWrap) % kPtsWrap > kPtsWrap / 2) earliest = pes.pts;
        if ((pes.pts - latest + kPtsWrap) % kPtsWrap < kPtsWrap / 2) latest = pes.pts;
    }
    return pictures;
}

int M2tReader::openLocked(const std::string& path, bool metadata, Flags flags) {
    metadata_ = metadata;
    if (!file_.open(path, File::Mode::kRead)) return kM2tOpenFailed;
    fileSize_ = file_.size();
    if (fileSize_ < kM2tMinFileSize) return kM2tTooSmall;

    // Packet size and first sync byte from the first 48128 bytes.
    std::vector<uint8_t> head(static_cast<size_t>(kM2tMinFileSize));
    if (!file_.readExact(0, head.data(), head.size())) return kM2tSeekFailed;
    TsGeometry geom;
    if (!findTsGeometry(head.data(), head.size(), geom)) return kM2tNoPackets;
    packetSize_ = geom.packetSize;
    syncInPacket_ = (packetSize_ == kTsTimestampedBytes && geom.start >= 4) ? 4 : 0;
    base_ = geom.start - syncInPacket_;
    unitBytes_ = static_cast<int64_t>(packetSize_) * kM2tUnitPackets;
    videoPid_ = layout_.video;

    buf_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(unitBytes_)]);
    headers_.assign(3u * static_cast<size_t>(packetSize_), 0);
    if (!buf_) return kM2tNoMemory;
    stream_.attach(&file_, packetSize_, syncInPacket_);

    // First sequence start.
    int64_t got = 0;
    for (int64_t off = base_;; off = stream_.nextOffset()) {
        if (!readUnit(off, got)) return kM2tNoFirstSequence;
        if (got < packetSize_) return kM2tNoFirstSequence;
        int64_t pts = -1;
        const int idx = findSequenceInUnit(got, false, pts, flags.skipStart ? 90000 : -1);
        if (idx < 0) continue;
        first_ = {off, idx, pts};
        const uint8_t* pkt = buf_.get() + static_cast<int64_t>(idx) * packetSize_ + syncInPacket_;
        const int64_t at = findBytes(pkt, kTsPacketBytes, kSequenceHeaderCode, 4);
        size_t end = kTsPacketBytes;
        if (at >= 0) {
            if (at + 7 < kTsPacketBytes) frameRateCode_ = pkt[at + 7] & 0x0F;
            const int64_t ext = findBytes(pkt + at + 4, static_cast<size_t>(kTsPacketBytes - at - 4), kExtensionCode, 4);
            if (ext >= 0) end = std::min<size_t>(kTsPacketBytes, static_cast<size_t>(at + 4 + ext + 4 + 10));
            sequenceHeader_.assign(pkt + at, pkt + end);
        }
        break;
    }

    // Header packets.
    if (layout_.collectHeaders) {
        for (int k = 0; k < 3; ++k) makeNullPacket(headers_.data() + k * packetSize_ + syncInPacket_);
        bool havePat = false, havePmt = false, audioSeen = false, haveTable = false, done = false;
        int64_t off = base_;
        for (int unit = 0; unit < kHeaderSearchUnits && !done; ++unit, off = stream_.nextOffset()) {
            if (!readUnit(off, got) || got < packetSize_) break;
            for (int64_t off = 0; off + syncInPacket_ + kTsPacketBytes <= got && !done; off += packetSize_) {
                const uint8_t* pkt = buf_.get() + off;
                const uint8_t* sync = pkt + syncInPacket_;
                if (sync[0] != kTsSyncByte) continue;
                const uint16_t pid = tsPid(sync);
                uint8_t* place = nullptr;
                if (pid == layout_.audio) audioSeen = true;
                if (pid == hdv_pid::kPat && !havePat) {
                    place = headers_.data();
                    havePat = true;
                } else if (pid == hdv_pid::kPmt && (!havePmt || (flags.waitForAudio && !audioSeen))) {
                    place = headers_.data() + packetSize_;
                    havePmt = true;
                } else if (pid == hdv_pid::kTable && !haveTable) {
                    place = headers_.data() + 2 * packetSize_;
                    haveTable = true;
                }
                if (place) std::memcpy(place, pkt, static_cast<size_t>(packetSize_));
                done = havePmt && haveTable && (audioSeen || !flags.waitForAudio);
            }
        }
        if (!done) return kM2tNoHeaderPackets;
    }

    // Last sequence start, reading units backwards from the end.
    const int64_t units = (fileSize_ - base_ + unitBytes_ - 1) / unitBytes_;
    for (int64_t u = units - 1; u >= 0; --u) {
        const int64_t off = base_ + u * unitBytes_;
        if (!readUnit(off, got)) return kM2tNoLastSequence;
        int64_t pts = -1;
        const int idx = findSequenceInUnit(got, true, pts);
        if (idx >= 0) {
            last_ = {off, idx, pts};
            break;
        }
    }
    if (last_.unitOffset < 0) return kM2tNoLastSequence;

    // The earliest and latest presented pictures: B pictures coded after the first sequence start
    // are shown before it, and pictures after the last one may be shown after it.
    presentStart_ = first_.pts;
    presentEnd_ = last_.pts;
    int64_t pictures = 0;
    for (int64_t off = first_.unitOffset; pictures < kStartPictures && off < fileSize_; off = stream_.nextOffset()) {
        if (!readUnit(off, got) || got < packetSize_) break;
        pictures += presentedRange(got, presentStart_, presentEnd_);
    }
    for (int64_t off = last_.unitOffset; off < fileSize_; off = stream_.nextOffset()) {
        if (!readUnit(off, got) || got < packetSize_) break;
        presentedRange(got, presentStart_, presentEnd_);
    }

    // Positions from the start PTS: stream from the first sequence start.
    stream_.resetCounts();
    next_ = first_.unitOffset;
    sendHeaders_ = layout_.collectHeaders;
    nullAudio_ = nullAux_ = false;
    targetPts_ = currentPts_ = first_.pts;
    return kM2tOk;
}

int64_t M2tReader::position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ptsToTime((currentPts_ - first_.pts + kPtsWrap) % kPtsWrap);
}

bool M2tReader::sequenceStartLocked(int64_t pos, SequenceStart& out) {
    if (!file_.isOpen()) return false;
    int64_t unit = pos <= base_ ? base_ : base_ + (pos - base_) / unitBytes_ * unitBytes_;
    if (unit >= last_.unitOffset) {
        out = last_;
        return true;
    }
    for (;;) {
        int64_t got = 0;
        if (!readUnit(unit, got)) return false;
        int64_t pts = -1;
        const int idx = findSequenceInUnit(got, false, pts);
        if (idx >= 0) {
            out = {unit, idx, pts};
            return true;
        }
        if (unit <= base_) return false;
        unit -= unitBytes_;
    }
}

bool M2tReader::sequenceStartAtOrBefore(int64_t pos, SequenceStart& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    return sequenceStartLocked(pos, out);
}

bool M2tReader::seek(int64_t time) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.isOpen()) return false;
    const int64_t dur = durationPts();
    int64_t target = std::clamp<int64_t>(timeToPts(std::max<int64_t>(time, 0)), 0, dur);
    // Estimate the file position by the share of the duration, then step back to a sequence start
    // whose PTS is at or before the target.
    const int64_t span = last_.unitOffset - first_.unitOffset;
    int64_t pos = first_.unitOffset + (dur > 0 ? static_cast<int64_t>(static_cast<double>(span) * target / dur) : 0);
    SequenceStart s;
    for (int guard = 0; guard < 64; ++guard) {
        if (!sequenceStartLocked(pos, s)) {
            s = first_;
            break;
        }
        const int64_t rel = (s.pts - first_.pts + kPtsWrap) % kPtsWrap;
        if (rel <= target || s.unitOffset <= first_.unitOffset) break;
        pos = s.unitOffset - 1;
    }
    if (s.unitOffset < first_.unitOffset) s = first_;
    next_ = s.unitOffset;
    sendHeaders_ = layout_.collectHeaders;
    nullAudio_ = nullAux_ = true;
    targetPts_ = (first_.pts + target) % kPtsWrap;
    currentPts_ = s.pts;
    return true;
}

void M2tReader::rewriteAux(uint8_t* pkt) {
    TsPacket tp;
    if (!parseTsPacket(pkt, tp) || !tp.payloadUnitStart || !tp.hasAdaptation || tp.adaptationLength < 8) return;
    uint8_t* pes = pkt + tp.payloadOffset;
    const int room = tp.payloadSize();
    if (room < 6 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || pes[3] != 0xBF) return;
    const uint8_t* items = pes + 6;
    const size_t n = static_cast<size_t>(room - 6);
    const HdvPictureItem picture = findPictureItem(items, n);
    if (!picture.present || picture.timeStamp < 0) return;
    const uint32_t length = static_cast<uint32_t>((pes[4] << 8) | pes[5]) + 8;
    uint8_t* h = pes - 8;
    h[0] = 0x00;
    h[1] = 0x00;
    h[2] = 0x01;
    h[3] = 0xBD;
    h[4] = static_cast<uint8_t>(length >> 8);
    h[5] = static_cast<uint8_t>(length);
    h[6] = 0x89;
    h[7] = 0x80;
    h[8] = 0x05;
    writePesTimestamp(h + 9, picture.timeStamp, 2);
    pkt[4] = static_cast<uint8_t>(pkt[4] - 8);
    // The picture's time stamp inside item 0x44, moved onto the output time line.
    if (picture.timeStampOffset >= 0 && static_cast<size_t>(picture.timeStampOffset) + 5 <= n) {
        const int64_t out = (picture.timeStamp - first_.pts + kPtsWrap) % kPtsWrap;
        uint8_t* ts = pes + 6 + picture.timeStampOffset;
        ts[0] = static_cast<uint8_t>(out);
        ts[1] = static_cast<uint8_t>(out >> 8);
        ts[2] = static_cast<uint8_t>(out >> 16);
        ts[3] = static_cast<uint8_t>(out >> 24);
        ts[4] = static_cast<uint8_t>((ts[4] & 0xFE) | ((out >> 32) & 1));
    }
}

void M2tReader::processUnit(uint8_t* data, int64_t bytes) {
    for (int64_t off = syncInPacket_; off + kTsPacketBytes <= bytes; off += packetSize_) {
        uint8_t* pkt = data + off;
        if (pkt[0] != kTsSyncByte) continue;
        const uint16_t pid = tsPid(pkt);
        if (pid == layout_.audio && nullAudio_) {
            TsPacket tp;
            PesHeader pes;
            if (parseTsPacket(pkt, tp) && parsePacketPes(tp, pes) && pes.hasPts &&
                (pes.pts - targetPts_ + kPtsWrap) % kPtsWrap < kPtsWrap / 2) {
                nullAudio_ = false;
            } else {
                nullTsPacket(pkt);
            }
        } else if (pid == layout_.aux) {
            TsPacket tp;
            if (!parseTsPacket(pkt, tp)) continue;
            if (nullAux_) {
                const int start = tp.payloadOffset + 6;
                HdvPictureItem pic;
                if (tp.payloadUnitStart && start < kTsPacketBytes)
                    pic = findPictureItem(pkt + start, static_cast<size_t>(kTsPacketBytes - start));
                if (pic.present && pic.timeStamp >= 0 && (pic.timeStamp - targetPts_ + kPtsWrap) % kPtsWrap < kPtsWrap / 2) {
                    nullAux_ = false;
                } else {
                    nullTsPacket(pkt);
                    continue;
                }
            }
            if (metadata_ && layout_.collectHeaders) rewriteAux(pkt);
        } else if (pid == videoPid_ && tsPayloadUnitStart(pkt)) {
            TsPacket tp;
            PesHeader pes;
            if (parseTsPacket(pkt, tp) && parsePacketPes(tp, pes) && pes.hasPts) currentPts_ = pes.pts;
        }
    }
}

int64_t M2tReader::fillSample(uint8_t* out, size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.isOpen() || capacity < maxSampleBytes()) return -1;
    if (next_ >= fileSize_) return 0;
    size_t used = 0;
    if (sendHeaders_) {
        std::memcpy(out, headers_.data(), headers_.size());
        used = headers_.size();
        sendHeaders_ = false;
    }
    if (stream_.nextOffset() != next_ || stream_.lastPacketOffset() < 0) stream_.seek(next_);
    const int64_t packets = stream_.read(out + used, kM2tUnitPackets);
    if (packets < 0) return -1;
    const int64_t got = packets * packetSize_;
    next_ = packets > 0 ? stream_.nextOffset() : fileSize_;
    processUnit(out + used, got);
    return static_cast<int64_t>(used) + got;
}

}  // namespace zorv::media
