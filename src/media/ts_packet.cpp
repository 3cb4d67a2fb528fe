#include "media/ts_packet.h"

#include <cstring>

namespace zorv::media {

bool parseTsPacket(const uint8_t* p, TsPacket& out) {
    out = TsPacket{};
    out.data = p;
    if (p[0] != kTsSyncByte) return false;
    out.transportError = (p[1] & 0x80) != 0;
    out.payloadUnitStart = (p[1] & 0x40) != 0;
    out.pid = tsPid(p);
    out.hasAdaptation = (p[3] & 0x20) != 0;
    out.hasPayload = (p[3] & 0x10) != 0;
    out.continuity = p[3] & 0x0F;
    int payload = 4;
    if (out.hasAdaptation) {
        out.adaptationLength = p[4];
        payload = 5 + out.adaptationLength;
        if (payload > kTsPacketBytes) {
            out.payloadOffset = kTsPacketBytes;
            return false;
        }
        // PCR flag in the first byte of the field; the PCR itself takes 6 bytes.
        if (out.adaptationLength >= 7 && (p[5] & 0x10) != 0) {
            out.hasPcr = true;
            out.pcrBase = (static_cast<int64_t>(p[6]) << 25) | (static_cast<int64_t>(p[7]) << 17) |
                          (static_cast<int64_t>(p[8]) << 9) | (static_cast<int64_t>(p[9]) << 1) | (p[10] >> 7);
        }
    }
    out.payloadOffset = out.hasPayload ? payload : kTsPacketBytes;
    return true;
}

bool pesHasOptionalHeader(uint8_t id) {
    switch (id) {
    case 0xBC:
    case 0xBE:
    case 0xBF:
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF8:
    case 0xFF: return false;
    default: return true;
    }
}

int64_t readPesTimestamp(const uint8_t* p) {
    return (static_cast<int64_t>((p[0] >> 1) & 0x07) << 30) | (static_cast<int64_t>(p[1]) << 22) |
           (static_cast<int64_t>(p[2] >> 1) << 15) | (static_cast<int64_t>(p[3]) << 7) | (p[4] >> 1);
}

void writePesTimestamp(uint8_t* p, int64_t ts, uint8_t prefix) {
    ts &= kPtsWrap - 1;
    p[0] = static_cast<uint8_t>((prefix << 4) | (((ts >> 30) & 0x07) << 1) | 1);
    p[1] = static_cast<uint8_t>(ts >> 22);
    p[2] = static_cast<uint8_t>((((ts >> 15) & 0x7F) << 1) | 1);
    p[3] = static_cast<uint8_t>(ts >> 7);
    p[4] = static_cast<uint8_t>(((ts & 0x7F) << 1) | 1);
}

bool parsePesHeader(const uint8_t* p, size_t n, PesHeader& out) {
    out = PesHeader{};
    if (n < 6 || p[0] != 0 || p[1] != 0 || p[2] != 1) return false;
    out.streamId = p[3];
    out.packetLength = static_cast<uint32_t>((p[4] << 8) | p[5]);
    out.optionalHeader = pesHasOptionalHeader(out.streamId);
    if (!out.optionalHeader) {
        out.payloadOffset = 6;
        return true;
    }
    if (n < 9) return false;
    out.flags = p[7];
    out.headerDataLength = p[8];
    out.payloadOffset = 9 + out.headerDataLength;
    const int ptsDts = (p[7] >> 6) & 0x03;
    if (ptsDts >= 2) {
        if (out.headerDataLength < 5 || n < 14) return false;
        out.hasPts = true;
        out.pts = readPesTimestamp(p + 9);
        if (ptsDts == 3) {
            if (out.headerDataLength < 10 || n < 19) return false;
            out.hasDts = true;
            out.dts = readPesTimestamp(p + 14);
        }
    }
    return true;
}

bool parsePacketPes(const TsPacket& pkt, PesHeader& out) {
    if (!pkt.payloadUnitStart || pkt.payloadSize() <= 0) return false;
    return parsePesHeader(pkt.payload(), static_cast<size_t>(pkt.payloadSize()), out);
}

int64_t findBytes(const uint8_t* p, size_t n, const uint8_t* code, size_t len) {
    if (len == 0 || n < len) return -1;
    for (size_t i = 0; i + len <= n; ++i) {
        if (p[i] == code[0] && std::memcmp(p + i, code, len) == 0) return static_cast<int64_t>(i);
    }
    return -1;
}

bool TsContinuity::check(const TsPacket& pkt) {
    if (!pkt.hasPayload || pkt.pid == kTsNullPid) return true;
    int8_t& last = last_[pkt.pid];
    const int cc = pkt.continuity;
    const bool ok = last < 0 || cc == ((last + 1) & 0x0F) || cc == last;
    last = static_cast<int8_t>(cc);
    return ok;
}

}  // namespace zorv::media
