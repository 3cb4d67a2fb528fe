#include "playback/ts_picture_source.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/timecode.h"
#include "media/avchd_stream_info.h"
#include "media/hdv_stream_info.h"
#include "media/ts_packet.h"
#include "playback/map_request.h"

namespace zorv::playback {

namespace {
// Group of pictures headers kept for the pictures not yet shown (a few groups of read-ahead).
constexpr size_t kGopsKept = 8;
// How far before a target picture a seek lands, so that the key picture before it is read.
constexpr int64_t kSeekLead = 15000000;  // 1.5 s in 100-ns units
}  // namespace

core::Status TsPictureSource::openHdv(const std::string& path, const PlayerConfig& config) {
    hdv_ = true;
    m2t_ = std::make_unique<media::M2tReader>();
    stream_ = m2t_.get();
    if (core::Status opened = m2t_->open(path, true); !opened) {
        error_ = opened.message;
        return core::Status::failure(core::ErrorCode::kOpenFailed, error_);
    }
    if (!decoder_.open(config.mpeg2Decoder, 1)) {
        error_ = "3rd party MPEG-2 video decoder filter is not compatible with ZORV Pro player:\r\n\r\nName:\t" +
                 config.mpeg2Decoder + "\r\nGUID:\t";
        return core::Status::failure(core::ErrorCode::kOpenFailed, error_.substr(0, 128));
    }
    sample_.resize(stream_->maxSampleBytes());
    int num = 0, den = 1;
    media::mpegFrameRate(m2t_->frameRateCode(), num, den);
    if (num <= 0) num = 25, den = 1;
    setRate(num, den);
    const int64_t last = std::max(lastVideoPts(), m2t_->endPts());
    count_ = (last - startPts()) * ptsPerPicture_den_ / ptsPerPicture_num_ + 1;
    hdvRecords_.setActive(true);
    if (config.audio) {
        const AVCodec* mp2 = avcodec_find_decoder(AV_CODEC_ID_MP2);
        if (mp2) openAudio(mp2->name);
        audioPid_ = media::hdv_pid::kAudio;
    }
    es_.reserve(1 << 20);
    lastIndex_ = -1;
    return core::Status::success();
}

void TsPictureSource::openAudio(const std::string& decoderName) {
    // A stream whose sound cannot be decoded plays silently.
    audio_.open(decoderName, startPts());
}

void TsPictureSource::setRate(int64_t num, int64_t den) {
    pictureDuration_ = (10000000 * den + num / 2) / num;
    ptsPerPicture_num_ = 90000 * den;
    ptsPerPicture_den_ = num;
}

int64_t TsPictureSource::fillSample() { return stream_->fillSample(sample_.data(), sample_.size()); }

bool TsPictureSource::readerSeek(int64_t time) { return stream_->seek(time); }

uint16_t TsPictureSource::videoPid() const { return hdv_ ? m2t_->videoPid() : media::avchd_pid::kVideo; }

int64_t TsPictureSource::lastVideoPts() {
    int64_t last = -1;
    // HDV seeks land on the last group's sequence start, before every picture of that group. An AVCHD
    // seek lands on the read unit at the estimated byte position, which may lie after the last
    // picture shown (a P picture coded before its B pictures): start a seek lead earlier.
    const int64_t from = hdv_ ? m2t_->duration() : std::max<int64_t>(0, reader_->duration() - kSeekLead);
    if (!readerSeek(from)) return last;
    const int size = packetSize();
    for (;;) {
        const int64_t got = fillSample();
        if (got <= 0) break;
        for (int64_t at = 0; at + size <= got; at += size) {
            const uint8_t* pkt = sample_.data() + at + (size - media::kTsPacketBytes);
            media::TsPacket ts;
            if (pkt[0] != media::kTsSyncByte || !media::parseTsPacket(pkt, ts) || !ts.payloadUnitStart ||
                ts.pid != videoPid())
                continue;
            media::PesHeader h;
            if (media::parsePesHeader(ts.payload(), static_cast<size_t>(ts.payloadSize()), h) && h.hasPts &&
                h.pts >= startPts())
                last = std::max(last, h.pts);
        }
    }
    readerSeek(0);
    return last;
}

void TsPictureSource::onHdvAux(const uint8_t* pkt) {
    media::TsPacket ts;
    if (!media::parseTsPacket(pkt, ts) || !ts.payloadUnitStart) return;
    media::PesHeader h;
    const size_t n = static_cast<size_t>(ts.payloadSize());
    if (!media::parsePesHeader(ts.payload(), n, h) || !h.hasPts || static_cast<size_t>(h.payloadOffset) >= n) return;
    media::addHdvAuxSample(hdvRecords_, ts.payload() + h.payloadOffset, n - static_cast<size_t>(h.payloadOffset),
                           media::ptsToTime(h.pts - startPts()));
}

core::Status TsPictureSource::openAvchd(const std::string& path, const PlayerConfig& config) {
    hdv_ = false;
    reader_ = std::make_unique<media::AvcReader>();
    stream_ = reader_.get();
    if (core::Status opened = reader_->open(path, true); !opened) {
        error_ = opened.message;
        return core::Status::failure(core::ErrorCode::kOpenFailed, error_);
    }
    if (!decoder_.open(config.h264Decoder, 1)) {
        error_ = "3rd party AVC video decoder filter is not compatible with ZORV Pro player:\r\n\r\nName:\t" +
                 config.h264Decoder + "\r\nGUID:\t";
        return core::Status::failure(core::ErrorCode::kOpenFailed, error_.substr(0, 128));
    }
    sample_.resize(stream_->maxSampleBytes());
    // The picture rate: the smallest step between the first pictures' time stamps (the stream's
    // timing information may count fields), else the parameter set's rate.
    const media::H264Sps& sps = reader_->sps();
    int64_t num = sps.rateNum > 0 ? sps.rateNum : media::kDefaultAvcRateNum;
    int64_t den = sps.rateDen > 0 ? sps.rateDen : media::kDefaultAvcRateDen;
    const int64_t step = firstPictureStep();
    if (step == 3003) num = 30000, den = 1001;
    else if (step == 3600) num = 25, den = 1;
    else if (step == 1501 || step == 1502) num = 60000, den = 1001;
    else if (step == 1800) num = 50, den = 1;
    else if (step == 3754 || step == 3753) num = 24000, den = 1001;
    else if (step == 3750) num = 24, den = 1;
    else if (step > 0) num = 90000, den = step;
    setRate(num, den);
    // The reader's end is the last time stamp in file order; a B picture there is not the last shown.
    const int64_t last = std::max(lastVideoPts(), reader_->endPts());
    count_ = (last - startPts()) * ptsPerPicture_den_ / ptsPerPicture_num_ + 1;
    gps_ = media::avchdHasGps(path);
    if (config.audio) {
        openAudio(config.ac3Decoder);
        audioPid_ = media::avchd_pid::kAudio;
    }
    es_.reserve(1 << 20);
    lastIndex_ = -1;
    return core::Status::success();
}

int64_t TsPictureSource::firstPictureStep() {
    std::vector<int64_t> seen;
    for (int unit = 0; unit < 64 && seen.size() < 8; ++unit) {
        const int64_t got = reader_->fillSample(sample_.data(), sample_.size());
        if (got <= 0) break;
        const int size = reader_->packetSize();
        for (int64_t at = 0; at + size <= got; at += size) {
            const uint8_t* pkt = sample_.data() + at + (size - media::kTsPacketBytes);
            if (pkt[0] == media::kTsSyncByte && media::tsPid(pkt) == media::avchd_pid::kAux) {
                const int64_t pts = media::avchdAuxPacketPts(pkt);
                if (pts >= 0) seen.push_back(pts);
            }
        }
    }
    reader_->seek(0);
    std::sort(seen.begin(), seen.end());
    int64_t step = 0;
    for (size_t i = 1; i < seen.size(); ++i)
        if (seen[i] > seen[i - 1] && (step == 0 || seen[i] - seen[i - 1] < step)) step = seen[i] - seen[i - 1];
    return step;
}

int64_t TsPictureSource::ptsOf(int64_t index) const { return startPts() + index * ptsPerPicture_num_ / ptsPerPicture_den_; }

int64_t TsPictureSource::indexOf(int64_t pts) const {
    const int64_t d = pts - startPts();
    return (d * ptsPerPicture_den_ + ptsPerPicture_num_ / 2) / ptsPerPicture_num_;
}

void TsPictureSource::closePes() {
    if (inPes_ && es_.size() > pesStart_) units_.push_back({pesStart_, es_.size() - pesStart_, pesPts_});
    inPes_ = false;
    pesStart_ = es_.size();
}

bool TsPictureSource::pumpUnits(bool& progressed) {
    progressed = false;
    while (nextUnit_ < units_.size()) {
        const Unit& u = units_[nextUnit_];
        bool full = false;
        if (!decoder_.send(es_.data() + u.offset, u.size, u.pts, &full)) {
            error_ = hdv_ ? "Could not decode MPEG-2 picture" : "Could not decode AVC picture";
            return false;
        }
        if (full) return true;  // take pictures out first, then send this unit again
        ++nextUnit_;
        progressed = true;
    }
    return true;
}

void TsPictureSource::compactUnits() {
    if (nextUnit_ < units_.size()) return;
    units_.clear();
    nextUnit_ = 0;
    if (inPes_ && pesStart_ < es_.size()) {
        const size_t n = es_.size() - pesStart_;
        std::memmove(es_.data(), es_.data() + pesStart_, n);
        es_.resize(n);
    } else {
        es_.clear();
    }
    pesStart_ = 0;
}

void TsPictureSource::resetFeed() {
    decoder_.flush();
    es_.clear();
    units_.clear();
    nextUnit_ = 0;
    pesStart_ = 0;
    inPes_ = false;
    pesPts_ = -1;
    ended_ = false;
    endSent_ = false;
    records_.clear();
    hdvRecords_.clear();
    gops_.clear();
    inAudioPes_ = false;
}

void TsPictureSource::noteGopTimecode(const uint8_t* es, size_t n, int64_t pts) {
    static const uint8_t kGopCode[] = {0x00, 0x00, 0x01, 0xB8};
    const int64_t at = media::findBytes(es, n, kGopCode, 4);
    media::HdvGopTimecode g;
    if (at >= 0 && media::parseGopTimecode(es + at + 4, n - static_cast<size_t>(at) - 4, m2t_->frameRateCode(), g)) {
        g.pts = pts;
        gops_[pts] = g;
        if (gops_.size() > kGopsKept) gops_.erase(gops_.begin());
    }
}

void TsPictureSource::onPacket(const uint8_t* pkt) {
    media::TsPacket ts;
    if (!media::parseTsPacket(pkt, ts) || !ts.hasPayload) return;
    if (hdv_ && ts.pid == media::hdv_pid::kAux) {
        onHdvAux(pkt);
        return;
    }
    if (!hdv_ && ts.pid == media::avchd_pid::kAux) {
        const int64_t pts = media::avchdAuxPacketPts(pkt);
        if (pts < 0) return;
        media::AvchdMetadataRecord rec;
        if (media::avchdRecordFromAuxPacket(pkt, (pts - reader_->startPts()) * 1000 / 9, rec))
            records_.insert_or_assign(pts, rec);
        return;
    }
    if (ts.pid == audioPid_ && audioPid_ != 0) {
        onAudioPacket(ts);
        return;
    }
    if (ts.pid != videoPid()) return;
    const uint8_t* p = ts.payload();
    size_t n = static_cast<size_t>(ts.payloadSize());
    if (ts.payloadUnitStart) {
        closePes();
        media::PesHeader h;
        if (!media::parsePesHeader(p, n, h) || static_cast<size_t>(h.payloadOffset) > n) return;
        inPes_ = true;
        pesStart_ = es_.size();
        pesPts_ = h.hasPts ? h.pts : -1;
        p += h.payloadOffset;
        n -= static_cast<size_t>(h.payloadOffset);
        if (hdv_ && h.hasPts) noteGopTimecode(p, n, h.pts);
    }
    if (!inPes_) return;  // the tail of a PES cut by a seek: the decoder cannot use it
    es_.insert(es_.end(), p, p + n);
}

void TsPictureSource::onAudioPacket(const media::TsPacket& ts) {
    if (!audio_.isOpen()) return;
    const uint8_t* p = ts.payload();
    size_t n = static_cast<size_t>(ts.payloadSize());
    int64_t pts = -1;
    if (ts.payloadUnitStart) {
        media::PesHeader h;
        inAudioPes_ = false;
        if (!media::parsePesHeader(p, n, h) || static_cast<size_t>(h.payloadOffset) > n) return;
        pts = h.hasPts ? h.pts : -1;
        // Sound well before the picture asked for (the lead of a seek, or the header copy of the
        // stream's first audio packet that follows a seek) is not decoded at all.
        constexpr int64_t kMargin = 9000;  // 100 ms at 90 kHz
        if (pts >= 0 && pts + kMargin < audio_.handOutPts()) return;
        inAudioPes_ = true;
        p += h.payloadOffset;
        n -= static_cast<size_t>(h.payloadOffset);
    }
    if (inAudioPes_ && n > 0) audio_.feed(p, n, pts);
}

bool TsPictureSource::feedOneSample() {
    if (ended_) return false;
    const int64_t got = fillSample();
    if (got <= 0) {
        if (got < 0) error_ = hdv_ ? "Could not read M2T file" : "Could not read AVC file";
        closePes();
        ended_ = true;
        return got == 0;
    }
    const int size = packetSize();
    const int sync = size - media::kTsPacketBytes;
    for (int64_t at = 0; at + size <= got; at += size) {
        const uint8_t* pkt = sample_.data() + at + sync;
        if (pkt[0] == media::kTsSyncByte) onPacket(pkt);
    }
    return true;
}

bool TsPictureSource::decodeUntil(int64_t targetPts, ShownPicture& out) {
    RgbOut rgb;
    rgb.pixels = &out.rgb;
    const int64_t half = ptsPerPicture_num_ / ptsPerPicture_den_ / 2;
    for (;;) {
        bool received = false;
        while (decoder_.receive(rgb)) {
            received = true;
            if (rgb.pts == AV_NOPTS_VALUE) continue;
            if (rgb.keyFrame || rgb.pictureType == 0) {
                auto it = std::lower_bound(keyPts_.begin(), keyPts_.end(), rgb.pts);
                if (it == keyPts_.end() || *it != rgb.pts) keyPts_.insert(it, rgb.pts);
            }
            if (rgb.pts + half < targetPts) continue;
            out.width = rgb.width;
            out.height = rgb.height;
            out.stride = rgb.stride;
            out.pts = rgb.pts;
            out.pictureType = rgb.pictureType;
            out.keyFrame = rgb.keyFrame;
            return true;
        }
        if (nextUnit_ < units_.size()) {
            bool progressed = false;
            if (!pumpUnits(progressed)) return false;
            if (!progressed && !received) {
                error_ = "Could not decode picture";  // full, yet gives nothing out
                return false;
            }
            continue;
        }
        if (ended_) {
            if (endSent_) return false;  // everything held was given out
            decoder_.sendEnd();
            endSent_ = true;
            continue;
        }
        compactUnits();
        if (!feedOneSample() && !ended_) return false;
    }
}

bool TsPictureSource::seekBefore(int64_t index) {
    const int64_t time = std::max<int64_t>(0, index * pictureDuration_ - kSeekLead);
    resetFeed();
    return readerSeek(time);
}

void TsPictureSource::fillMetadata(int64_t pts, ShownPicture& out) {
    if (hdv_) {
        out.windowKind = core::BurnGrid::kHdv;
        out.linePeriod = media::kHdShutterLinePeriod;
        out.timecodeStyle = 2;
        out.hdvTimecodeFrames = -1;
        out.frameType = 0;
        out.hasMetadata = false;
        out.record.clear();
        // The record of this very picture: a picture without aux data shows none (not its neighbour's).
        const int64_t t = media::ptsToTime(pts - startPts());
        std::optional<media::HdvMetadataRecord> rec = hdvRecords_.lookUp(t);
        // Without aux data the timecode counts on from the group of pictures header before it.
        if (auto g = gops_.upper_bound(pts); g != gops_.begin()) {
            --g;
            out.timecodeStyle = g->second.style;
            out.hdvTimecodeFrames = core::wrapFrames(g->second.frames + indexOf(pts) - indexOf(g->first), g->second.style);
        }
        if (rec && rec->startTime - t < pictureDuration_ / 2) {
            out.record = rec->toPackTable();
            out.hasMetadata = true;
            if (rec->timecodeStyle >= 2) out.timecodeStyle = rec->timecodeStyle;
            if (rec->timecode != -1) out.hdvTimecodeFrames = rec->timecode;
            switch (rec->pictureCode) {
            case 1: out.frameType = 'I'; break;
            case 2: out.frameType = 'B'; break;
            case 3: out.frameType = 'P'; break;
            case 5: out.frameType = 'E'; break;
            default: break;
            }
        }
        return;
    }
    out.windowKind = gps_ ? core::BurnGrid::kAvchdGps : core::BurnGrid::kAvchd;
    out.timecodeStyle = 0;
    out.hdvTimecodeFrames = -1;
    out.frameType = 0;
    out.hasMetadata = false;
    out.record.clear();
    auto it = records_.find(pts);
    if (it != records_.end()) {
        it->second.toMetadataRecord(out.record);
        out.hasMetadata = true;
        if (it->second.pictureType != media::kNoPictureType) out.pictureType = it->second.pictureType;
        ++it;
    }
    records_.erase(records_.begin(), it);  // older pictures are gone
}

bool TsPictureSource::decode(int64_t index, ShownPicture& out, AudioBlock* audio) {
    if (audio) audio->frames = 0;
    if (index < 0 || index >= count_) return false;
    const int64_t target = ptsOf(index);
    if (index != lastIndex_ + 1 || lastIndex_ < 0) {
        if (!seekBefore(index)) {
            error_ = "Could not set position";
            return false;
        }
        audio_.reset(target);
    }
    bool ok = decodeUntil(target, out);
    if (ok && out.pts > target + ptsPerPicture_num_ / ptsPerPicture_den_ && index > 0) {
        // Landed after the target: start further back once.
        if (!seekBefore(std::max<int64_t>(0, index - 3 * kSeekLead / pictureDuration_))) return false;
        audio_.reset(target);
        ok = decodeUntil(target, out);
    }
    if (!ok) {
        if (error_.empty()) error_ = "Could not decode AVC picture";
        return false;
    }
    out.index = index;
    out.duration = pictureDuration_;
    out.time = index * pictureDuration_;
    out.displayNum = displayNum_;  // 16:9 for both families
    out.displayDen = displayDen_;
    out.wide = true;
    fillMetadata(out.pts, out);
    out.pts -= startPts();  // File progress counts from the first picture
    lastIndex_ = index;
    soundOf(index, audio);
    return true;
}

void TsPictureSource::soundOf(int64_t index, AudioBlock* audio) {
    if (!audio_.isOpen()) return;
    if (!audio) {
        audio_.skip(ptsOf(index + 1));
        return;
    }
    if (index + 1 < count_) {
        audio_.take(ptsOf(index + 1), *audio);
        return;
    }
    // The last picture takes the rest of the sound: read the stream to its end first.
    while (!ended_ && feedOneSample()) {
    }
    audio_.finish();
    audio_.take(-1, *audio);
}

int64_t TsPictureSource::keyPicture(int64_t index, int direction) {
    const int64_t pts = ptsOf(index);
    if (direction < 0) {
        auto it = std::lower_bound(keyPts_.begin(), keyPts_.end(), pts);
        if (it != keyPts_.begin()) return indexOf(*--it);
        return index > 0 ? 0 : -1;
    }
    auto it = std::upper_bound(keyPts_.begin(), keyPts_.end(), pts);
    if (it != keyPts_.end()) return indexOf(*it);
    // Not seen yet: decode on from here until the next key picture shows up.
    ShownPicture scratch;
    for (int64_t n = index + 1; n < count_; ++n) {
        if (!decode(n, scratch, nullptr)) return -1;
        if (scratch.keyFrame || scratch.pictureType == 0) return n;
    }
    return -1;
}

std::optional<std::string> TsPictureSource::mapPosition(const ShownPicture& picture) const {
    if (!picture.hasMetadata) return std::nullopt;
    return playback::mapPosition(picture.record);
}

}  // namespace zorv::playback
