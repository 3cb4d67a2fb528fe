// A small MPEG-2 transport stream packetizer for generated test streams: PAT and PMT of one program,
// PES packetization of access units with PTS and optional DTS, PCR in the adaptation field of a PES
// start (or on a PID of its own), adaptation-field stuffing, raw extra packets, and 188-byte packets
// or 192-byte packets with the 4-byte arrival time prefix of timestamped streams.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zorv::gen {

struct TsStream {
    uint16_t pid = 0;
    uint8_t streamType = 0;            // 0x02 MPEG-2 video, 0x03 MPEG-1 audio, 0x1B H.264, 0x81 AC-3, ...
    std::vector<uint8_t> descriptors;  // ES descriptors written into the PMT as given
};

struct TsMuxConfig {
    int packetSize = 188;  // 188 or 192
    uint16_t programNumber = 1;
    uint16_t pmtPid = 0x0100;
    uint16_t pcrPid = 0x1FFF;  // PCR carrier (the video PID, or a PID of its own)
    std::vector<TsStream> streams;
};

class TsMuxer {
public:
    // Appends the packets to out.
    TsMuxer(TsMuxConfig config, std::vector<uint8_t>& out);

    // One PAT packet and one PMT packet.
    void writeTables();
    // An access unit as one PES packet split over as many TS packets as it needs; the last one is
    // padded with adaptation-field stuffing. dts < 0 writes PTS only. With pcr >= 0 the first packet
    // carries that PCR (90 kHz base). boundedLength = false writes PES length 0 (allowed for video).
    void writePes(uint16_t pid, uint8_t streamId, std::span<const uint8_t> data, int64_t pts, int64_t dts = -1,
                  int64_t pcr = -1, bool boundedLength = true);
    // An adaptation-only packet carrying a PCR.
    void writePcrPacket(uint16_t pid, int64_t pcr);
    // One packet whose payload is given whole: adaptation-field stuffing fills the room before it.
    // payload.size() must be at most 182 (184 when it fills the packet exactly).
    void writeStuffedPacket(uint16_t pid, bool unitStart, std::span<const uint8_t> payload);
    // A complete 188-byte packet copied as it is (its continuity counter untouched).
    void writeRawPacket(std::span<const uint8_t, 188> packet);
    void writeNullPacket();

    // The arrival time (27 MHz) written into the prefix of the next 192-byte packet; it advances by
    // ticksPerPacket after each packet.
    void setArrivalTime(int64_t ticks27) { arrival_ = ticks27; }
    void setTicksPerPacket(int64_t ticks) { ticksPerPacket_ = ticks; }

    int64_t packetsWritten() const { return packets_; }
    uint8_t nextContinuity(uint16_t pid) { return static_cast<uint8_t>(cc_[pid & 0x1FFF]++ & 0x0F); }

private:
    uint8_t* beginPacket();
    void writeSection(uint16_t pid, std::span<const uint8_t> section);

    TsMuxConfig config_;
    std::vector<uint8_t>& out_;
    std::vector<uint8_t> cc_;
    int64_t packets_ = 0;
    int64_t arrival_ = 0;
    int64_t ticksPerPacket_ = 2700;  // about 1.9 MB/s
};

// CRC-32 of MPEG-2 sections (polynomial 0x04C11DB7, initial all ones, no reflection).
uint32_t mpegCrc32(std::span<const uint8_t> data);

}  // namespace zorv::gen
