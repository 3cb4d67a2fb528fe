// The HDV transport stream reader ("M2T Reader"): opens a 1080-line HDV file, finds its first and
// last sequence headers (start and end PTS, duration) and the header packets (PAT, PMT, the 0x0134
// table), and delivers the file as samples of one read unit (256 packets) each. After a seek a
// sample begins with the three header packets; audio and aux packets before the seek target are
// turned into null packets; each kept aux packet is rewritten as a private_stream_1 PES with the
// picture's PTS, so that a demultiplexer hands the camcorder metadata on with a presentation time.
//
// M2t720Reader reads 720-line HDV1 files: the same sequence-header search on its own PID set.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/ts_stream_reader.h"
#include "media/file_io.h"
#include "media/ts_packet_stream.h"

namespace zorv::media {

// PIDs of a 1080-line HDV stream.
namespace hdv_pid {
inline constexpr uint16_t kPat = 0x0000;
inline constexpr uint16_t kPmt = 0x0081;
inline constexpr uint16_t kTable = 0x0134;
inline constexpr uint16_t kVideo = 0x0810;
inline constexpr uint16_t kAux = 0x0811;
inline constexpr uint16_t kAudio = 0x0814;
inline constexpr uint16_t kOther = 0x0815;
inline constexpr uint16_t kVideo720 = 0x1000;
inline constexpr uint16_t kAudio720 = 0x1002;
inline constexpr uint16_t kOther720 = 0x0F02;
}  // namespace hdv_pid

// Why an open failed; the number is shown in the failure text m2tFailureText(reason), which the
// failed open's status carries as its message.
enum M2tOpenReason : int {
    kM2tOk = 0,
    kM2tOpenFailed = 1,
    kM2tTooSmall = 2,   // below 48128 bytes
    kM2tNoPackets = 3,  // no packet size found
    kM2tSeekFailed = 4,
    kM2tNoMemory = 5,
    kM2tNoFirstSequence = 6,
    kM2tNoHeaderPackets = 7,
    kM2tNoLastSequence = 8,
};
std::string m2tFailureText(int reason);  // "Could not load M2T file (reason %d)"

inline constexpr int64_t kM2tMinFileSize = 48128;
inline constexpr int kM2tUnitPackets = 256;

// 90 kHz ticks <-> 100-ns units.
inline int64_t ptsToTime(int64_t ticks) { return ticks * 1000 / 9; }
inline int64_t timeToPts(int64_t t) { return t * 9 / 1000; }

// A sequence-start packet: the read unit that holds it and its place there.
struct SequenceStart {
    int64_t unitOffset = -1;  // file offset of the read unit
    int packetIndex = -1;     // index of the packet in the unit
    int64_t pts = -1;
};

class M2tReader : public TsStreamReader {
public:
    struct Flags {
        bool skipStart = false;    // start at the first sequence whose PTS exceeds 90000 ticks
        bool waitForAudio = true;  // keep re-copying the PMT until an audio packet has been seen
    };

    M2tReader();
    ~M2tReader() override;
    M2tReader(const M2tReader&) = delete;
    M2tReader& operator=(const M2tReader&) = delete;

    // Opens the file. On failure the reader stays closed and the status carries the typed code of the
    // reason (kOpenFailed, kReadFailed, kOutOfMemory, or kNotRecognised for a file without the stream
    // it needs) and m2tFailureText(reason).
    core::Status open(const std::string& path, bool metadata = true);
    core::Status open(const std::string& path, bool metadata, Flags flags);
    void close() override;
    bool isOpen() const override;

    int packetSize() const override { return packetSize_; }
    int64_t packetBase() const override { return base_; }  // offset of the first packet (its prefix for 192)
    int64_t unitBytes() const override { return unitBytes_; }
    int64_t fileSize() const override { return fileSize_; }
    // PTS (90 kHz) of the earliest and the latest presented picture: positions count from the first.
    int64_t startPts() const override { return presentStart_; }
    int64_t endPts() const override { return presentEnd_; }
    // One picture's time (90 kHz) and the stream's duration from the earliest to the latest presented
    // picture plus one picture.
    int64_t pictureStepPts() const override;
    int64_t presentedDurationPts() const;
    const SequenceStart& firstSequence() const { return first_; }
    const SequenceStart& lastSequence() const { return last_; }
    // The last minus the first sequence start's PTS (90 kHz), the span that seeks move in, and the
    // same in 100-ns units.
    int64_t durationPts() const override;
    int64_t duration() const override { return ptsToTime(durationPts()); }
    int frameRateCode() const { return frameRateCode_; }
    // The sequence header from 00 00 01 B3 to the 10 bytes after the sequence extension start code.
    const std::vector<uint8_t>& sequenceHeader() const { return sequenceHeader_; }
    // The three header packets (PAT, PMT, 0x0134 table), each packetSize() bytes; a place not found
    // holds a null packet.
    const std::vector<uint8_t>& headerPackets() const override { return headers_; }
    uint16_t videoPid() const { return videoPid_; }

    // Seek to a stream time (100 ns from the start PTS): the next sample starts with the header packets
    // and the read unit of the sequence start at or before the estimated position, and audio and aux
    // data before the target are nulled. False when no sequence start is found.
    bool seek(int64_t time) override;
    int64_t position() const;  // current stream time (100 ns)

    // Bytes the caller's sample buffer needs.
    size_t maxSampleBytes() const override {
        return static_cast<size_t>(unitBytes_) + 3u * static_cast<size_t>(packetSize_);
    }
    // Fills the next sample; returns its size, 0 at the end of the file, -1 on a read failure.
    int64_t fillSample(uint8_t* out, size_t capacity) override;

    // The sequence start at or before a file position (rounded down to a read unit).
    bool sequenceStartAtOrBefore(int64_t pos, SequenceStart& out);

    // Damaged bytes the samples passed over to find the packets again, and the places where.
    int64_t skippedBytes() const override;
    int64_t skipPlaces() const override;

protected:
    // 720-line streams.
    struct Layout {
        uint16_t video, audio, aux;
        bool collectHeaders;
    };
    explicit M2tReader(Layout layout);

private:
    int openLocked(const std::string& path, bool metadata, Flags flags);
    bool readUnit(int64_t offset, int64_t& got);
    // Searches the unit in buf_ (got bytes) for a sequence start; last = the last one, else the first.
    int findSequenceInUnit(int64_t got, bool last, int64_t& pts, int64_t minPts = -1) const;
    bool isSequenceStart(const uint8_t* pkt, int64_t& pts) const;
    // Widens [earliest, latest] by the video PTS of the unit in buf_; returns the pictures seen.
    int64_t presentedRange(int64_t got, int64_t& earliest, int64_t& latest) const;
    void processUnit(uint8_t* data, int64_t bytes);
    void rewriteAux(uint8_t* pkt);
    bool sequenceStartLocked(int64_t pos, SequenceStart& out);

    Layout layout_;
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
    std::vector<uint8_t> headers_;
    std::vector<uint8_t> sequenceHeader_;
    int frameRateCode_ = 0;
    SequenceStart first_, last_;
    int64_t presentStart_ = -1, presentEnd_ = -1;
    uint16_t videoPid_ = 0;

    // Streaming state.
    int64_t next_ = 0;  // file offset of the next read unit
    bool sendHeaders_ = false;
    bool nullAudio_ = false;
    bool nullAux_ = false;
    int64_t targetPts_ = 0;
    int64_t currentPts_ = 0;
};

class M2t720Reader : public M2tReader {
public:
    M2t720Reader();
};

}  // namespace zorv::media
