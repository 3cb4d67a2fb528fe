// Whole transport packets from a file, read in order through a bounded window, that go on after
// damage: when a packet's sync byte is missing (stray or lost bytes, a cut packet) the stream looks
// for the next place where sync bytes repeat at the packet stride, as a tolerant demultiplexer does,
// and goes on from there. A packet that ends early (the next sync byte comes inside it) is dropped.
// Packets of the other size (188-byte packets in a 192-byte stream, or the reverse) are taken too.
//
// Every packet handed out has the stream's own packet size, with the sync byte at syncInPacket, so
// callers walk their buffers at one stride whatever the file did. What was passed over is counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/file_io.h"

namespace zorv::media {

class TsPacketStream {
public:
    // packetSize 188 or 192; syncInPacket 0 for 188-byte packets, 4 for 192-byte ones. Reads no
    // further than end (the file size when -1).
    void attach(const File* file, int packetSize, int syncInPacket, int64_t end = -1);
    // Goes on from a file offset: the next packet is the first one whose sync byte lies at or after
    // offset + syncInPacket and starts a run of packets.
    void seek(int64_t offset);

    // Up to maxPackets whole packets into out; the number written, 0 at the end, -1 when a read fails
    // (or the file became shorter than it was at attach).
    int64_t read(uint8_t* out, int64_t maxPackets);

    // File offset of the last packet read (of its prefix in a 192-byte stream), and of the next one.
    int64_t lastPacketOffset() const { return lastOffset_; }
    int64_t nextOffset() const { return sync_ - (stride_ - 188); }
    bool atEnd() const { return ended_; }

    // Bytes passed over to find the sync again, and the number of places where that happened.
    int64_t skippedBytes() const { return skipped_; }
    int64_t skipPlaces() const { return places_; }
    void resetCounts() { skipped_ = places_ = 0; }
    int sysError() const { return file_ ? file_->sysError() : 0; }

private:
    // Makes the bytes from at - 4 to at + n available in the window (fewer only at the end of the
    // file); false when a read fails.
    bool need(int64_t at, size_t n);
    int64_t windowEnd() const { return bufStart_ + static_cast<int64_t>(len_); }
    bool syncAt(int64_t at) const {
        return at >= bufStart_ && at < windowEnd() && buf_[static_cast<size_t>(at - bufStart_)] == 0x47;
    }
    // True when sync bytes repeat at at, at + stride and at + 2 x stride (as far as the file goes).
    bool runAt(int64_t at, int stride) const;
    // The first sync byte from at on, before limit, that starts a run; sets stride_ to its stride.
    // False when a read fails; found false when there is none.
    bool findRun(int64_t& at, int64_t limit, bool& found);
    void skip(int64_t from, int64_t to);

    const File* file_ = nullptr;
    int packetSize_ = 188;
    int syncInPacket_ = 0;
    int64_t end_ = 0;
    int stride_ = 188;  // the input's packet stride where the stream now is
    std::vector<uint8_t> buf_;
    int64_t bufStart_ = 0;  // file offset of buf_[0]
    size_t len_ = 0;        // valid bytes in buf_
    int64_t sync_ = 0;      // file offset of the next packet's sync byte
    bool synced_ = false;   // sync_ is known to start a run
    bool ended_ = false;
    int64_t lastOffset_ = -1;
    int64_t skipped_ = 0;
    int64_t places_ = 0;
};

// The warning for damaged bytes passed over: "Passed over N damaged bytes of the transport stream".
std::string skippedBytesText(int64_t bytes);
// Adds that warning to a run's result when bytes > 0.
void warnSkippedBytes(core::Status& result, int64_t bytes);

}  // namespace zorv::media
