#include "gen/ts_muxer.h"

#include <algorithm>
#include <cstring>

#include "media/ts_packet.h"

namespace zorv::gen {

uint32_t mpegCrc32(std::span<const uint8_t> data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : data) {
        crc ^= static_cast<uint32_t>(b) << 24;
        for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

TsMuxer::TsMuxer(TsMuxConfig config, std::vector<uint8_t>& out) : config_(std::move(config)), out_(out), cc_(8192, 0) {
    if (config_.packetSize != 192) config_.packetSize = 188;
}

uint8_t* TsMuxer::beginPacket() {
    const size_t at = out_.size();
    out_.resize(at + static_cast<size_t>(config_.packetSize), 0xFF);
    uint8_t* p = out_.data() + at;
    if (config_.packetSize == 192) {
        const uint32_t ats = static_cast<uint32_t>(arrival_ & 0x3FFFFFFF);
        p[0] = static_cast<uint8_t>(ats >> 24);
        p[1] = static_cast<uint8_t>(ats >> 16);
        p[2] = static_cast<uint8_t>(ats >> 8);
        p[3] = static_cast<uint8_t>(ats);
        p += 4;
    }
    arrival_ += ticksPerPacket_;
    ++packets_;
    return p;
}

static void putHeader(uint8_t* p, uint16_t pid, bool unitStart, int afc, uint8_t cc) {
    p[0] = media::kTsSyncByte;
    p[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F));
    p[2] = static_cast<uint8_t>(pid);
    p[3] = static_cast<uint8_t>((afc << 4) | (cc & 0x0F));
}

static void putPcr(uint8_t* p, int64_t pcr) {
    pcr &= media::kPtsWrap - 1;
    p[0] = static_cast<uint8_t>(pcr >> 25);
    p[1] = static_cast<uint8_t>(pcr >> 17);
    p[2] = static_cast<uint8_t>(pcr >> 9);
    p[3] = static_cast<uint8_t>(pcr >> 1);
    p[4] = static_cast<uint8_t>(((pcr & 1) << 7) | 0x7E);
    p[5] = 0;
}

void TsMuxer::writeSection(uint16_t pid, std::span<const uint8_t> section) {
    uint8_t* p = beginPacket();
    putHeader(p, pid, true, 1, nextContinuity(pid));
    p[4] = 0;  // pointer field
    std::memcpy(p + 5, section.data(), std::min<size_t>(section.size(), 183));
}

void TsMuxer::writeTables() {
    std::vector<uint8_t> s;
    // PAT
    s = {0x00,
         0xB0,
         0x00,
         0x00,
         0x01,
         0xC1,
         0x00,
         0x00,
         static_cast<uint8_t>(config_.programNumber >> 8),
         static_cast<uint8_t>(config_.programNumber),
         static_cast<uint8_t>(0xE0 | (config_.pmtPid >> 8)),
         static_cast<uint8_t>(config_.pmtPid)};
    auto finish = [](std::vector<uint8_t>& sec) {
        const size_t len = sec.size() - 3 + 4;
        sec[1] = static_cast<uint8_t>(0xB0 | ((len >> 8) & 0x0F));
        sec[2] = static_cast<uint8_t>(len);
        const uint32_t crc = mpegCrc32(sec);
        for (int i = 3; i >= 0; --i) sec.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    };
    finish(s);
    writeSection(0x0000, s);
    // PMT
    s = {0x02, 0xB0, 0x00, static_cast<uint8_t>(config_.programNumber >> 8),   static_cast<uint8_t>(config_.programNumber),
         0xC1, 0x00, 0x00, static_cast<uint8_t>(0xE0 | (config_.pcrPid >> 8)), static_cast<uint8_t>(config_.pcrPid),
         0xF0, 0x00};
    for (const TsStream& st : config_.streams) {
        const size_t dl = st.descriptors.size();
        s.push_back(st.streamType);
        s.push_back(static_cast<uint8_t>(0xE0 | (st.pid >> 8)));
        s.push_back(static_cast<uint8_t>(st.pid));
        s.push_back(static_cast<uint8_t>(0xF0 | ((dl >> 8) & 0x0F)));
        s.push_back(static_cast<uint8_t>(dl));
        s.insert(s.end(), st.descriptors.begin(), st.descriptors.end());
    }
    finish(s);
    writeSection(config_.pmtPid, s);
}

void TsMuxer::writePes(uint16_t pid, uint8_t streamId, std::span<const uint8_t> data, int64_t pts, int64_t dts, int64_t pcr,
                       bool boundedLength) {
    uint8_t header[19];
    size_t hl = 0;
    header[hl++] = 0x00;
    header[hl++] = 0x00;
    header[hl++] = 0x01;
    header[hl++] = streamId;
    header[hl++] = 0;
    header[hl++] = 0;
    const bool optional = media::pesHasOptionalHeader(streamId);
    if (optional) {
        const bool withPts = pts >= 0;
        const bool withDts = withPts && dts >= 0;
        header[hl++] = 0x80;
        header[hl++] = static_cast<uint8_t>(withDts ? 0xC0 : withPts ? 0x80 : 0x00);
        header[hl++] = static_cast<uint8_t>(withDts ? 10 : withPts ? 5 : 0);
        if (withPts) {
            media::writePesTimestamp(header + hl, pts, withDts ? 3 : 2);
            hl += 5;
        }
        if (withDts) {
            media::writePesTimestamp(header + hl, dts, 1);
            hl += 5;
        }
    }
    const size_t pesLength = hl - 6 + data.size();
    if (boundedLength && pesLength <= 0xFFFF) {
        header[4] = static_cast<uint8_t>(pesLength >> 8);
        header[5] = static_cast<uint8_t>(pesLength);
    }

    size_t headerLeft = hl, dataPos = 0;
    bool first = true;
    while (headerLeft > 0 || dataPos < data.size()) {
        const size_t remaining = headerLeft + (data.size() - dataPos);
        uint8_t* p = beginPacket();
        const bool withPcr = first && pcr >= 0;
        size_t room = 184;
        size_t afLen = 0;  // adaptation field bytes including its length byte
        if (withPcr) afLen = 8;
        if (remaining < room - afLen) afLen = room - remaining;  // stuffing
        room -= afLen;
        putHeader(p, pid, first, afLen > 0 ? 3 : 1, nextContinuity(pid));
        if (afLen > 0) {
            p[4] = static_cast<uint8_t>(afLen - 1);
            if (afLen > 1) {
                p[5] = withPcr ? 0x10 : 0x00;
                if (withPcr) putPcr(p + 6, pcr);
                // the rest stays 0xFF stuffing
            }
        }
        uint8_t* dst = p + 4 + afLen;
        size_t fill = 0;
        if (headerLeft > 0) {
            const size_t n = std::min(headerLeft, room);
            std::memcpy(dst, header + (hl - headerLeft), n);
            headerLeft -= n;
            fill = n;
        }
        const size_t n = std::min(room - fill, data.size() - dataPos);
        if (n > 0) std::memcpy(dst + fill, data.data() + dataPos, n);
        dataPos += n;
        first = false;
    }
}

void TsMuxer::writePcrPacket(uint16_t pid, int64_t pcr) {
    uint8_t* p = beginPacket();
    putHeader(p, pid, false, 2, cc_[pid & 0x1FFF] & 0x0F);  // no payload: the counter does not advance
    p[4] = 183;
    p[5] = 0x10;
    putPcr(p + 6, pcr);
}

void TsMuxer::writeStuffedPacket(uint16_t pid, bool unitStart, std::span<const uint8_t> payload) {
    const size_t n = std::min<size_t>(payload.size(), 184);
    uint8_t* p = beginPacket();
    const size_t afLen = 184 - n;
    putHeader(p, pid, unitStart, afLen > 0 ? 3 : 1, nextContinuity(pid));
    if (afLen > 0) {
        p[4] = static_cast<uint8_t>(afLen - 1);
        if (afLen > 1) p[5] = 0x00;
    }
    std::memcpy(p + 4 + afLen, payload.data(), n);
}

void TsMuxer::writeRawPacket(std::span<const uint8_t, 188> packet) {
    uint8_t* p = beginPacket();
    std::memcpy(p, packet.data(), 188);
}

void TsMuxer::writeNullPacket() {
    uint8_t* p = beginPacket();
    putHeader(p, media::kTsNullPid, false, 1, 0);
}

}  // namespace zorv::gen
