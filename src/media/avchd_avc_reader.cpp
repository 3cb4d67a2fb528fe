#include "media/avchd_avc_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "media/h264_nal.h"
#include "media/recognize.h"
#include "media/ts_packet.h"

namespace zorv::media {
namespace {

// The header packets are searched in this many read units from the start of the file.
constexpr int kHeaderSearchUnits = 50;
// The SPS is searched in the first bytes of the file.
constexpr int64_t kSpsSearchBytes = 8 * 1048576;
// Pictures looked at from the start for the earliest presented one and the picture step, and from
// the end for the latest presented one (more than any reordering depth).
constexpr size_t kStartPictures = 32;
constexpr size_t kEndPictures = 8;
// More queued packets than this are written even without an I or P delimiter.
constexpr size_t kMaxQueued = 64;
constexpr uint8_t kStreamIdPrivate1 = 0xBD;

// The primary picture type of the delimiter that opens es, or 0xFF.
uint8_t delimiterType(const uint8_t* es, size_t n) {
    StartCode sc;
    if (!findStartCode(es, n, 0, sc) || sc.nalStart() + 1 >= n) return kNoPictureType;
    if (nalType(es[sc.nalStart()]) != nal::kAccessUnitDelimiter) return kNoPictureType;
    return static_cast<uint8_t>(es[sc.nalStart() + 1] >> 5);
}

// Walks the NAL units at the start of an access unit: the delimiter's picture type, and the first SEI
// that carries an MDPM payload. Parameter sets are stepped over; any other unit ends the walk.
bool scanAccessUnit(const uint8_t* es, size_t n, std::span<uint8_t> work, uint8_t& pictureType,
                    std::span<const uint8_t>& mdpm) {
    pictureType = kNoPictureType;
    bool found = false;
    StartCode sc;
    size_t from = 0;
    while (findStartCode(es, n, from, sc)) {
        const size_t h = sc.nalStart();
        const int type = nalType(es[h]);
        if (type == nal::kAccessUnitDelimiter) {
            if (h + 1 < n) pictureType = static_cast<uint8_t>(es[h + 1] >> 5);
        } else if (type == nal::kSei) {
            if (!found) found = findMdpmPayload(es + sc.pos, n - sc.pos, work, mdpm);
        } else if (type != nal::kSps && type != nal::kPps) {
            break;
        }
        from = h;
    }
    return found;
}

void put64le(uint8_t* p, int64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
}

// The typed code of each open reason, by its number.
constexpr core::ErrorCode kOpenReasonCodes[] = {
    core::ErrorCode::kNone,          core::ErrorCode::kOpenFailed,    core::ErrorCode::kNotRecognised,
    core::ErrorCode::kNotRecognised, core::ErrorCode::kReadFailed,    core::ErrorCode::kOutOfMemory,
    core::ErrorCode::kNotRecognised, core::ErrorCode::kNotRecognised, core::ErrorCode::kNotRecognised,
    core::ErrorCode::kNotRecognised, core::ErrorCode::kOutOfMemory,
};
static_assert(std::size(kOpenReasonCodes) == kAvcNoSeiBuffer + 1);

}  // namespace

std::string avcFailureText(int reason) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Could not load AVC file (reason %d)", reason);
    return buf;
}

void buildAvchdAuxPacket(uint8_t* p, uint8_t continuity, int64_t pts, int64_t pictureNumber, uint8_t pictureType,
                         std::span<const uint8_t> mdpm) {
    std::memset(p, 0xFF, kAvchdAuxPacketBytes);
    p[0] = kTsSyncByte;
    p[1] = 0x40 | static_cast<uint8_t>(avchd_pid::kAux >> 8);
    p[2] = static_cast<uint8_t>(avchd_pid::kAux & 0xFF);
    p[3] = static_cast<uint8_t>(0x10 | (continuity & 0x0F));
    p[4] = 0x00;
    p[5] = 0x00;
    p[6] = 0x01;
    p[7] = kStreamIdPrivate1;
    p[8] = 0x00;
    p[9] = 0xB2;
    p[10] = 0x89;
    p[11] = 0x80;
    p[12] = 0x05;
    writePesTimestamp(p + 13, pts, 2);
    p[13] = static_cast<uint8_t>((p[13] & 0x0F) | 0x30);  // prefix 0011
    put64le(p + 18, pictureNumber);
    put64le(p + 26, pts);
    p[34] = pictureType;
    if (mdpm.empty()) {
        p[35] = 0;
        return;
    }
    // A count above 30 is written as 30 with exactly 151 bytes; otherwise the count and its tags, never
    // more than 151 bytes.
    size_t copy = std::min(mdpm.size(), kMdpmMaxPayload);
    if (mdpm[0] > kMdpmMaxTags) copy = kMdpmMaxPayload;
    std::memcpy(p + 35, mdpm.data(), std::min(copy, mdpm.size()));
    if (mdpm[0] > kMdpmMaxTags) p[35] = kMdpmMaxTags;
}

int64_t avchdAuxPacketPts(const uint8_t* p) {
    if (p[0] != kTsSyncByte || tsPid(p) != avchd_pid::kAux || p[4] != 0 || p[5] != 0 || p[6] != 1 ||
        p[7] != kStreamIdPrivate1 || p[12] != 5)
        return -1;
    return static_cast<int64_t>(le64(p + 26));
}

bool avchdRecordFromAuxPacket(const uint8_t* p, int64_t startTime, AvchdMetadataRecord& rec) {
    if (avchdAuxPacketPts(p) < 0) return false;
    rec.clearTags();
    rec.startTime = startTime;
    rec.pictureType = p[34];
    applyMdpmTags(std::span<const uint8_t>(p + 35, kMdpmMaxPayload), rec);
    return true;
}

void avchdRecordFromAccessUnit(const uint8_t* au, size_t n, int64_t startTime, std::span<uint8_t> work,
                               AvchdMetadataRecord& rec) {
    rec.clearTags();
    rec.startTime = startTime;
    std::span<const uint8_t> mdpm;
    uint8_t type = kNoPictureType;
    if (scanAccessUnit(au, n, work, type, mdpm)) applyMdpmTags(mdpm, rec);
    rec.pictureType = type;
}

core::Status AvcReader::open(const std::string& path, bool metadata) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int r = openLocked(path, metadata);
    if (r != kAvcOk) {
        const int sys = file_.sysError();
        file_.close();
        buf_.reset();
        work_.reset();
        collector_.reset();
        headers_.clear();
        return core::Status::failure(kOpenReasonCodes[r], avcFailureText(r), sys);
    }
    return core::Status::success();
}

bool AvcReader::readUnit(int64_t offset, int64_t& got) {
    // One read unit of whole packets from the first packet at or after offset.
    if (stream_.nextOffset() != offset || stream_.lastPacketOffset() < 0) stream_.seek(offset);
    const int64_t packets = stream_.read(buf_.get(), kAvcUnitPackets);
    got = packets * packetSize_;
    return packets >= 0;
}

int64_t AvcReader::skippedBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_.skippedBytes();
}

int64_t AvcReader::skipPlaces() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_.skipPlaces();
}

int AvcReader::openLocked(const std::string& path, bool metadata) {
    file_.close();
    metadata_ = metadata;
    if (!file_.open(path)) return kAvcOpenFailed;
    fileSize_ = file_.size();
    if (fileSize_ < kAvcMinFileSize) return kAvcTooSmall;

    // Packet size from the first read unit's worth of bytes (256 packets of 192 bytes).
    std::vector<uint8_t> first(static_cast<size_t>(kAvcMinFileSize));
    if (!file_.readExact(0, first.data(), first.size())) return kAvcSeekFailed;
    TsGeometry geom;
    if (!findTsGeometry(first.data(), first.size(), geom)) return kAvcNoPackets;
    packetSize_ = geom.packetSize;
    syncInPacket_ = packetSize_ >= kTsTimestampedBytes ? packetSize_ - kTsPacketBytes : 0;
    base_ = geom.start - syncInPacket_;
    if (base_ < 0) {
        base_ += packetSize_;
    }
    unitBytes_ = static_cast<int64_t>(packetSize_) * kAvcUnitPackets;
    buf_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(unitBytes_)]);
    if (!buf_) return kAvcNoMemory;
    stream_.attach(&file_, packetSize_, syncInPacket_);

    // First video time stamp, the SPS and the header packets, reading forward.
    startPts_ = -1;
    bool spsFound = false;
    bool pat = false, pcr = false, audio = false;
    std::vector<int64_t> startPictures;
    headers_.assign(static_cast<size_t>(packetSize_) * 3, 0xFF);
    for (int k = 0; k < 3; ++k) {
        uint8_t* h = headers_.data() + static_cast<size_t>(k) * static_cast<size_t>(packetSize_) + syncInPacket_;
        h[0] = kTsSyncByte;
        h[1] = 0x1F;
        h[2] = 0xFF;
        h[3] = 0x10;
    }
    PesHeadCollector spsHeads(avchd_pid::kVideo, kSeiWorkBytes);
    auto findSps = [&](const uint8_t* es, size_t n, int64_t, int64_t) {
        StartCode sc;
        size_t from = 0;
        while (!spsFound && findStartCode(es, n, from, sc)) {
            const size_t h = sc.nalStart();
            if (nalType(es[h]) == nal::kSps && nalRefIdc(es[h]) != 0) spsFound = parseH264Sps(es + h, n - h, sps_);
            from = h;
        }
    };
    int64_t got = 0;
    for (int64_t off = base_, unit = 0; off < fileSize_; off = stream_.nextOffset(), ++unit) {
        const bool wantHeaders = unit < kHeaderSearchUnits && !(pat && audio && pcr);
        const bool haveStart = startPictures.size() >= kStartPictures;
        if (haveStart && spsFound && !wantHeaders) break;
        if (off - base_ >= kSpsSearchBytes && haveStart && !wantHeaders) break;
        if (!readUnit(off, got)) return kAvcSeekFailed;
        TsPacketWalker walker(buf_.get(), static_cast<size_t>(got), packetSize_, static_cast<size_t>(syncInPacket_));
        TsPacket pkt;
        bool ok = false;
        while (walker.next(pkt, ok)) {
            if (!ok) continue;
            const uint8_t* whole = pkt.data - syncInPacket_;
            if (wantHeaders) {
                int place = -1;
                if (pkt.pid == avchd_pid::kPat && !pat) place = 0, pat = true;
                else if (pkt.pid == avchd_pid::kPcr && !pcr) place = 1, pcr = true;
                else if (pkt.pid == avchd_pid::kAudio && !audio) place = 2, audio = true;
                if (place >= 0)
                    std::memcpy(headers_.data() + static_cast<size_t>(place) * static_cast<size_t>(packetSize_), whole,
                                static_cast<size_t>(packetSize_));
            }
            if (pkt.pid != avchd_pid::kVideo) continue;
            if (startPictures.size() < kStartPictures && pkt.payloadUnitStart) {
                PesHeader h;
                if (parsePacketPes(pkt, h) && h.hasPts) startPictures.push_back(h.pts);
            }
            if (!spsFound && off - base_ < kSpsSearchBytes) spsHeads.feed(pkt, findSps);
        }
        if (got < unitBytes_ || stream_.atEnd()) break;
    }
    if (!spsFound) spsHeads.finish(findSps);
    if (startPictures.empty()) return kAvcNoFirstTimeStamp;
    // Pictures presented before the first one in the file (B pictures that open a recording) come
    // first: the stream starts at the earliest presented picture. One picture lasts the smallest
    // step between presentation times, or the parameter set's frame time.
    std::sort(startPictures.begin(), startPictures.end());
    startPts_ = startPictures.front();
    stepPts_ = 0;
    for (size_t i = 1; i < startPictures.size(); ++i) {
        const int64_t d = startPictures[i] - startPictures[i - 1];
        if (d > 0 && (stepPts_ == 0 || d < stepPts_)) stepPts_ = d;
    }
    if (!spsFound) return kAvcNoVideoParameters;
    if (stepPts_ == 0 && sps_.rateNum > 0) stepPts_ = kPtsPerSecond * sps_.rateDen / sps_.rateNum;
    // Streams written by other tools carry the PCR on the video PID and have no packet on 0x1001.
    if (!pat || !audio) return kAvcNoHeaderPackets;
    pcrPacketSeen_ = pcr;

    // Last presented picture: the largest PTS of the last pictures in the file (read units backwards);
    // the last picture in the file is often a B picture shown before the one coded ahead of it.
    endPts_ = -1;
    const int64_t packets = (fileSize_ - base_) / packetSize_;
    int64_t off = base_ + (packets > 0 ? (packets - 1) / kAvcUnitPackets * unitBytes_ : 0);
    for (size_t seen = 0; off >= base_ && seen < kEndPictures; off -= unitBytes_) {
        if (!readUnit(off, got)) return kAvcSeekFailed;
        TsPacketWalker walker(buf_.get(), static_cast<size_t>(got), packetSize_, static_cast<size_t>(syncInPacket_));
        TsPacket pkt;
        bool ok = false;
        while (walker.next(pkt, ok)) {
            PesHeader h;
            if (ok && pkt.pid == avchd_pid::kVideo && pkt.payloadUnitStart && parsePacketPes(pkt, h) && h.hasPts) {
                endPts_ = std::max(endPts_, h.pts);
                ++seen;
            }
        }
    }
    if (endPts_ < 0) return kAvcNoLastTimeStamp;

    if (metadata_) {
        work_.reset(new (std::nothrow) uint8_t[kSeiWorkBytes]);
        if (!work_) return kAvcNoSeiBuffer;
        collector_ = std::make_unique<PesHeadCollector>(avchd_pid::kVideo, kSeiWorkBytes);
        queue_.clear();
        queue_.reserve(kMaxQueued + 1);
    }
    stream_.resetCounts();
    next_ = base_;
    lastTagsSize_ = 0;
    continuity_ = 0;
    return kAvcOk;
}

void AvcReader::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.close();
    buf_.reset();
    work_.reset();
    collector_.reset();
    headers_.clear();
    queue_.clear();
}

bool AvcReader::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_.isOpen() && buf_ != nullptr;
}

int64_t AvcReader::nextOffset() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_;
}

bool AvcReader::seek(int64_t time) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!buf_) return false;
    const int64_t dur = durationPts() * 1000 / 9;
    int64_t packets = (fileSize_ - base_) / packetSize_;
    int64_t target = 0;
    if (dur > 0 && time > 0)
        target = static_cast<int64_t>(static_cast<double>(packets) * static_cast<double>(time) / static_cast<double>(dur));
    target = std::clamp<int64_t>(target, 0, packets);
    next_ = base_ + target / kAvcUnitPackets * unitBytes_;
    if (collector_) collector_->reset();
    queue_.clear();
    return true;
}

size_t AvcReader::maxSampleBytes() const {
    return static_cast<size_t>(unitBytes_) + (kAvcUnitPackets + kMaxQueued + 1) * static_cast<size_t>(packetSize_);
}

void AvcReader::onVideoHead(const uint8_t* es, size_t n, int64_t pts, int64_t number) {
    if (pts < 0) return;
    uint8_t type = kNoPictureType;
    std::span<const uint8_t> mdpm;
    Pending p;
    p.pts = pts;
    if (scanAccessUnit(es, n, std::span<uint8_t>(work_.get(), kSeiWorkBytes), type, mdpm)) {
        buildAvchdAuxPacket(p.packet.data(), 0, pts, number, type, mdpm);
        lastTagsSize_ = std::min(mdpm.size(), kMdpmMaxPayload);
        std::memcpy(lastTags_.data(), p.packet.data() + 35, lastTagsSize_);
        if (lastTagsSize_ > 0) lastTags_[0] = p.packet[35];
    } else {
        // No MDPM payload: repeat the tags of the last packet built.
        buildAvchdAuxPacket(p.packet.data(), 0, pts, number, type,
                            std::span<const uint8_t>(lastTags_.data(), lastTagsSize_));
    }
    const auto at =
        std::upper_bound(queue_.begin(), queue_.end(), pts, [](int64_t t, const Pending& q) { return t < q.pts; });
    queue_.insert(at, p);
}

void AvcReader::flushQueue(uint8_t* out, size_t& used, const uint8_t* prefix) {
    for (auto& q : queue_) {
        uint8_t* dst = out + used;
        if (syncInPacket_ > 0) {
            std::memset(dst, 0, static_cast<size_t>(syncInPacket_));
            if (prefix && syncInPacket_ == 4) std::memcpy(dst, prefix, 4);
        }
        q.packet[3] = static_cast<uint8_t>(0x10 | (continuity_++ & 0x0F));
        std::memcpy(dst + syncInPacket_, q.packet.data(), kAvchdAuxPacketBytes);
        used += static_cast<size_t>(packetSize_);
    }
    queue_.clear();
}

int64_t AvcReader::fillSample(uint8_t* out, size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!buf_ || capacity < maxSampleBytes()) return -1;
    size_t used = 0;
    if (next_ >= fileSize_) {
        if (metadata_ && collector_) {
            collector_->finish(
                [&](const uint8_t* es, size_t n, int64_t pts, int64_t number) { onVideoHead(es, n, pts, number); });
            flushQueue(out, used, nullptr);
        }
        return static_cast<int64_t>(used);
    }
    int64_t got = 0;
    if (!readUnit(next_, got)) return -1;
    next_ = got < unitBytes_ || stream_.atEnd() ? fileSize_ : stream_.nextOffset();
    const size_t whole = static_cast<size_t>(got);
    if (!metadata_) {
        std::memcpy(out, buf_.get(), whole);
        return static_cast<int64_t>(whole);
    }
    auto onHead = [&](const uint8_t* es, size_t n, int64_t pts, int64_t number) { onVideoHead(es, n, pts, number); };
    for (size_t pos = 0; pos + static_cast<size_t>(packetSize_) <= whole; pos += static_cast<size_t>(packetSize_)) {
        const uint8_t* src = buf_.get() + pos;
        TsPacket pkt;
        if (parseTsPacket(src + syncInPacket_, pkt) && pkt.pid == avchd_pid::kVideo) {
            if (pkt.payloadUnitStart) {
                // The previous picture is complete; an I or P delimiter writes the queue out first.
                collector_->finish(onHead);
                PesHeader h;
                if (parsePacketPes(pkt, h) && h.payloadOffset < pkt.payloadSize()) {
                    const uint8_t type = delimiterType(pkt.payload() + h.payloadOffset,
                                                       static_cast<size_t>(pkt.payloadSize() - h.payloadOffset));
                    if (type == 0 || type == 1 || queue_.size() >= kMaxQueued) flushQueue(out, used, src);
                }
            }
            collector_->feed(pkt, onHead);
        }
        std::memcpy(out + used, src, static_cast<size_t>(packetSize_));
        used += static_cast<size_t>(packetSize_);
    }
    return static_cast<int64_t>(used);
}

core::Status readAvchdMetadata(const std::string& path,
                               const std::function<bool(const AvchdMetadataRecord&, int64_t pts)>& onRecord,
                               int64_t* skippedBytes) {
    AvcReader reader;
    if (core::Status s = reader.open(path, true); !s) return s;
    std::vector<uint8_t> sample(reader.maxSampleBytes());
    const int sync = reader.packetSize() - kTsPacketBytes;
    AvchdMetadataRecord rec;
    for (;;) {
        const int64_t n = reader.fillSample(sample.data(), sample.size());
        if (skippedBytes) *skippedBytes = reader.skippedBytes();
        if (n < 0) return core::Status::failure(core::ErrorCode::kReadFailed);
        if (n == 0) return core::Status::success();
        for (int64_t pos = 0; pos + reader.packetSize() <= n; pos += reader.packetSize()) {
            const uint8_t* p = sample.data() + pos + sync;
            if (tsPid(p) != avchd_pid::kAux) continue;
            const int64_t pts = avchdAuxPacketPts(p);
            if (pts < 0) continue;
            if (!avchdRecordFromAuxPacket(p, (pts - reader.startPts()) * 1000 / 9, rec)) continue;
            if (!onRecord(rec, pts)) return core::Status::success();
        }
    }
}

}  // namespace zorv::media
