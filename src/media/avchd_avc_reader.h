// The AVCHD transport stream reader ("AVC Reader"): opens an .mts/.m2ts file, finds its first and
// last video time stamps, the H.264 sequence parameter set and the header packets, and delivers the
// file as samples of one read unit (256 packets) each. With the metadata flag set, the reader finds
// the MDPM payload of every picture's SEI and inserts one synthetic auxiliary packet per picture on
// PID 0x0811 (private_stream_1 with the picture's PTS, the picture number, type and MDPM tags); the
// packets are queued by PTS and written at each I or P access unit delimiter, so that they come out
// in presentation order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/ts_stream_reader.h"
#include "media/avchd_mdpm.h"
#include "media/avchd_pes_head.h"
#include "media/file_io.h"
#include "media/h264_sps.h"
#include "media/ts_packet_stream.h"

namespace zorv::media {

namespace avchd_pid {
inline constexpr uint16_t kPat = 0x0000;
inline constexpr uint16_t kPcr = 0x1001;
inline constexpr uint16_t kVideo = 0x1011;
inline constexpr uint16_t kAudio = 0x1100;
inline constexpr uint16_t kAux = 0x0811;
}  // namespace avchd_pid

// Why an open failed; the number is shown in the failure text avcFailureText(reason), which the
// failed open's status carries as its message.
enum AvcOpenReason : int {
    kAvcOk = 0,
    kAvcOpenFailed = 1,
    kAvcTooSmall = 2,   // below 49152 bytes
    kAvcNoPackets = 3,  // no packet size found
    kAvcSeekFailed = 4,
    kAvcNoMemory = 5,
    kAvcNoFirstTimeStamp = 6,
    kAvcNoVideoParameters = 7,
    kAvcNoHeaderPackets = 8,  // no packet on PID 0x0000 or 0x1100
    kAvcNoLastTimeStamp = 9,
    kAvcNoSeiBuffer = 10,
};
std::string avcFailureText(int reason);  // "Could not load AVC file (reason %d)"

inline constexpr int64_t kAvcMinFileSize = 49152;
inline constexpr int kAvcUnitPackets = 256;
inline constexpr size_t kAvchdAuxPacketBytes = 188;

// The synthetic auxiliary packet of one picture (188 bytes): PID 0x0811, private_stream_1 with the
// PTS, then the picture number and PTS as 64-bit little-endian numbers, the picture type, the tag
// count (at most 30) and the tags.
void buildAvchdAuxPacket(uint8_t* pkt, uint8_t continuity, int64_t pts, int64_t pictureNumber, uint8_t pictureType,
                         std::span<const uint8_t> mdpm);

// The `AVC Metadata` step: a record from a synthetic packet (188 bytes) and the sample's start time.
// False when the bytes are not a synthetic auxiliary packet.
bool avchdRecordFromAuxPacket(const uint8_t* pkt, int64_t startTime, AvchdMetadataRecord& rec);
// The PTS (90 kHz) carried by a synthetic packet, -1 when it is not one.
int64_t avchdAuxPacketPts(const uint8_t* pkt);

// The `AVC grab` step: a record straight from the start of an access unit (elementary stream bytes):
// the picture type of its delimiter (0xFF without one) and the tags of its MDPM SEI, if any. work is
// the SEI work buffer (kSeiWorkBytes).
void avchdRecordFromAccessUnit(const uint8_t* au, size_t n, int64_t startTime, std::span<uint8_t> work,
                               AvchdMetadataRecord& rec);

class AvcReader final : public TsStreamReader {
public:
    AvcReader() = default;
    AvcReader(const AvcReader&) = delete;
    AvcReader& operator=(const AvcReader&) = delete;

    // Opens the file. On failure the reader stays closed and the status carries the typed code of the
    // reason (kOpenFailed, kReadFailed, kOutOfMemory, or kNotRecognised for a file without the stream
    // it needs) and avcFailureText(reason).
    core::Status open(const std::string& path, bool metadata = true);
    void close() override;
    bool isOpen() const override;

    int packetSize() const override { return packetSize_; }
    int64_t packetBase() const override { return base_; }  // offset of the first packet (its prefix for 192)
    int64_t unitBytes() const override { return unitBytes_; }
    int64_t fileSize() const override { return fileSize_; }
    // PTS (90 kHz) of the earliest and of the latest presented picture.
    int64_t startPts() const override { return startPts_; }
    int64_t endPts() const override { return endPts_; }
    // One picture's time (90 kHz), and the stream's duration from the earliest to the latest
    // presented picture plus one picture.
    int64_t pictureStepPts() const override { return stepPts_; }
    int64_t durationPts() const override { return endPts_ - startPts_ + stepPts_; }
    int64_t duration() const override { return durationPts() * 1000 / 9; }  // 100-ns units
    const H264Sps& sps() const { return sps_; }
    bool pcrOnOwnPid() const { return pcrPacketSeen_; }
    // PAT, PCR/table packet (a null packet when the stream has none) and the first audio packet,
    // each packetSize() bytes.
    const std::vector<uint8_t>& headerPackets() const override { return headers_; }

    // Seek to a stream time (100 ns from the start PTS): streaming continues from the read unit at the
    // estimated byte position; queued and half-collected metadata are dropped.
    bool seek(int64_t time) override;
    // The file offset of the next read unit.
    int64_t nextOffset() const;

    // Damaged bytes the samples passed over to find the packets again, and the places where.
    int64_t skippedBytes() const override;
    int64_t skipPlaces() const override;

    // Bytes the caller's sample buffer needs for one sample.
    size_t maxSampleBytes() const override;
    // Fills the next sample: one read unit with the synthetic packets inserted; returns its size, 0 at
    // the end of the file, -1 on a read failure.
    int64_t fillSample(uint8_t* out, size_t capacity) override;

private:
    struct Pending {
        int64_t pts;
        std::array<uint8_t, kAvchdAuxPacketBytes> packet;
    };
    int openLocked(const std::string& path, bool metadata);
    bool readUnit(int64_t offset, int64_t& got);
    void onVideoHead(const uint8_t* es, size_t n, int64_t pts, int64_t number);
    void flushQueue(uint8_t* out, size_t& used, const uint8_t* prefix);

    mutable std::mutex mutex_;
    File file_;
    TsPacketStream stream_;  // whole packets, found again after damage
    bool metadata_ = true;
    int packetSize_ = 0;
    int syncInPacket_ = 0;
    int64_t base_ = 0;
    int64_t unitBytes_ = 0;
    int64_t fileSize_ = 0;
    std::unique_ptr<uint8_t[]> buf_;
    std::unique_ptr<uint8_t[]> work_;
    std::vector<uint8_t> headers_;
    H264Sps sps_;
    int64_t startPts_ = -1, endPts_ = -1;
    int64_t stepPts_ = 0;
    bool pcrPacketSeen_ = false;

    // Streaming state.
    int64_t next_ = 0;
    std::unique_ptr<PesHeadCollector> collector_;
    std::vector<Pending> queue_;  // reserved once; kept sorted by PTS
    std::array<uint8_t, kMdpmMaxPayload> lastTags_{};
    size_t lastTagsSize_ = 0;
    uint8_t continuity_ = 0;
};

// Reads every picture's metadata of an AVCHD file in presentation order: opens a reader with the
// metadata flag, streams the whole file and turns each synthetic packet into a record (start time in
// 100 ns from the first picture). Returns the failed open's status (its message is never empty), or
// kReadFailed with no message when a read failed later; success when the file was read to its end or
// onRecord returned false.
// skippedBytes, when given, receives the damaged bytes passed over to find the packets again.
core::Status readAvchdMetadata(const std::string& path,
                               const std::function<bool(const AvchdMetadataRecord&, int64_t pts)>& onRecord,
                               int64_t* skippedBytes = nullptr);

}  // namespace zorv::media
