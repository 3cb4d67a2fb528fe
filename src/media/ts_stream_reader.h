// What the HDV and AVCHD readers have in common: a transport stream read in units from its first
// packet, its presentation time range, seeking by time, and samples of whole packets (with the
// synthetic packets each reader inserts) for the demultiplexers above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorv::media {

class TsStreamReader {
public:
    virtual ~TsStreamReader() = default;

    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual int packetSize() const = 0;
    virtual int64_t packetBase() const = 0;  // offset of the first packet (its prefix for 192)
    virtual int64_t unitBytes() const = 0;
    virtual int64_t fileSize() const = 0;
    // PTS (90 kHz) of the stream's first and last presented pictures, one picture's step, and the
    // duration (90 kHz and 100 ns) as each reader counts it.
    virtual int64_t startPts() const = 0;
    virtual int64_t endPts() const = 0;
    virtual int64_t pictureStepPts() const = 0;
    virtual int64_t durationPts() const = 0;
    virtual int64_t duration() const = 0;
    // The table packets the stream starts with, each packetSize() bytes.
    virtual const std::vector<uint8_t>& headerPackets() const = 0;

    // Seek to a stream time (100 ns from the start PTS).
    virtual bool seek(int64_t time) = 0;
    // Damaged bytes the samples passed over to find the packets again, and the places where.
    virtual int64_t skippedBytes() const = 0;
    virtual int64_t skipPlaces() const = 0;

    // Bytes the caller's sample buffer needs for one sample.
    virtual size_t maxSampleBytes() const = 0;
    // Fills the next sample; returns its size, 0 at the end of the file, -1 on a read failure.
    virtual int64_t fillSample(uint8_t* out, size_t capacity) = 0;
};

}  // namespace zorv::media
