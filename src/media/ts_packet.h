// MPEG-2 transport stream packets: the 4-byte header, the adaptation field, and the PES header that
// opens an elementary-stream packet. Every function here takes a bounded buffer and checks each field
// against it, so hostile bytes give "not a packet" or "no header", never a read past the end.
//
// A packet is 188 bytes beginning with the sync byte 0x47. Timestamped streams (.m2ts, some .m2t)
// carry 192-byte packets: a 4-byte arrival time prefix, then the 188-byte packet.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zorv::media {

inline constexpr int kTsPacketBytes = 188;
inline constexpr int kTsTimestampedBytes = 192;
inline constexpr uint8_t kTsSyncByte = 0x47;
inline constexpr uint16_t kTsNullPid = 0x1FFF;
// 90 kHz ticks of PTS/DTS; 100-ns units of stream times.
inline constexpr int64_t kPtsPerSecond = 90000;
inline constexpr int64_t kPtsWrap = int64_t{1} << 33;

// The parsed header of one 188-byte packet. payload points into the packet (payloadSize may be 0).
struct TsPacket {
    const uint8_t* data = nullptr;  // the sync byte
    uint16_t pid = 0;
    bool payloadUnitStart = false;
    bool transportError = false;
    bool hasAdaptation = false;
    bool hasPayload = false;
    uint8_t continuity = 0;
    int adaptationLength = 0;  // byte 4 when hasAdaptation, else 0
    bool hasPcr = false;
    int64_t pcrBase = -1;                // 33-bit PCR base (90 kHz) when hasPcr
    int payloadOffset = kTsPacketBytes;  // offset of the payload in the packet

    const uint8_t* payload() const { return data + payloadOffset; }
    int payloadSize() const { return kTsPacketBytes - payloadOffset; }
};

inline uint16_t tsPid(const uint8_t* p) { return static_cast<uint16_t>(((p[1] & 0x1F) << 8) | p[2]); }
inline bool tsPayloadUnitStart(const uint8_t* p) { return (p[1] & 0x40) != 0; }
// Turns a packet into a null packet in place (PID 0x1FFF); the rest of it is left as it was.
inline void nullTsPacket(uint8_t* p) {
    p[1] |= 0x1F;
    p[2] = 0xFF;
}

// Parses the 188 bytes at p. False when the sync byte is missing or the adaptation field claims more
// bytes than the packet holds; out is then only partly filled.
bool parseTsPacket(const uint8_t* p, TsPacket& out);

// The header of a PES packet (00 00 01 stream_id length ...).
struct PesHeader {
    uint8_t streamId = 0;
    uint32_t packetLength = 0;    // the 16-bit length field (0: unbounded video)
    bool optionalHeader = false;  // the stream carries the flag bytes and header data length
    bool hasPts = false;
    bool hasDts = false;
    int64_t pts = -1;  // 33-bit, 90 kHz
    int64_t dts = -1;
    uint8_t flags = 0;         // PES byte 7 (PTS_DTS_flags in bits 6-7)
    int headerDataLength = 0;  // PES byte 8
    int payloadOffset = 0;     // from the 00 00 01 prefix to the elementary-stream data
};

// Stream IDs without the optional PES header: program stream map, padding, private stream 2, ECM,
// EMM, directory, DSMCC, H.222.1 type E.
bool pesHasOptionalHeader(uint8_t streamId);

// Parses a PES header from n bytes at p. False without the 00 00 01 prefix, or when the header (and
// the time stamps its flags announce) runs past n bytes.
bool parsePesHeader(const uint8_t* p, size_t n, PesHeader& out);

// The 33-bit time stamp of the 5-byte PTS/DTS field at p (marker bits ignored).
int64_t readPesTimestamp(const uint8_t* p);
// Writes a 5-byte PTS/DTS field: prefix nibble (2 = PTS only, 3 = PTS of PTS+DTS, 1 = DTS), marker
// bits set.
void writePesTimestamp(uint8_t* p, int64_t ts, uint8_t prefix);

// The PES packet that begins in a payload-unit-start packet, parsed from its payload.
bool parsePacketPes(const TsPacket& pkt, PesHeader& out);

// Index of the first occurrence of code (len bytes) in [p, p + n); -1 when absent.
int64_t findBytes(const uint8_t* p, size_t n, const uint8_t* code, size_t len);

// Walks the packets of a buffer: packet k starts at start + k * packetSize (the sync byte). For
// 192-byte packets, start is the offset of the first sync byte (4 after the arrival time prefix).
class TsPacketWalker {
public:
    TsPacketWalker(const uint8_t* buf, size_t n, int packetSize, size_t start)
        : buf_(buf),
          n_(n),
          step_(packetSize < kTsPacketBytes ? kTsPacketBytes : static_cast<size_t>(packetSize)),
          pos_(start) {}

    // The next whole packet: true with pkt parsed (pkt.data set even when the parse failed; ok
    // tells which). False at the end of the buffer.
    bool next(TsPacket& pkt, bool& ok) {
        if (pos_ > n_ || n_ - pos_ < static_cast<size_t>(kTsPacketBytes)) return false;
        current_ = pos_;
        ok = parseTsPacket(buf_ + pos_, pkt);
        pkt.data = buf_ + pos_;
        pos_ += step_;
        return true;
    }
    // Offset of the packet last returned by next().
    size_t offset() const { return current_; }

private:
    const uint8_t* buf_;
    size_t n_;
    size_t step_;
    size_t pos_;
    size_t current_ = 0;
};

// Continuity counter check per PID: a packet with payload must carry the previous counter + 1
// (mod 16); a repeated counter is a duplicate packet, allowed once.
class TsContinuity {
public:
    TsContinuity() { reset(); }
    void reset() { last_.fill(-1); }
    // True when the packet continues its PID without a gap (the first packet of a PID always does).
    bool check(const TsPacket& pkt);

private:
    std::array<int8_t, 8192> last_;
};

}  // namespace zorv::media
