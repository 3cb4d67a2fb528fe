// Writes DV AVI files: Type 1 (one interleaved "iavs"/"dvsd" stream of whole DV frames) and
// Type 2 (a "vids" DV video stream plus an "auds" PCM stream).
//
// Layout of the first RIFF: the header list (main header, stream lists, OpenDML "odml" list), then the
// reserved "LIST" "INFO" "ZoRv" list that a Premiere timecode list can later replace in place, then
// the 'movi' list and the legacy idx1 index. With OpenDML on, the file continues in "AVIX" RIFFs of
// at most riffLimit bytes each; every RIFF's 'movi' list ends with a standard index per stream and
// the header's super index points at them. Memory stays bounded: only the index entries of the
// current RIFF (and the idx1 entries of the first) are kept.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/write_all.h"
#include "media/write_behind.h"

namespace zorv::media {

enum class AviType : int { kType1 = 1, kType2 = 2 };

struct AviWriterOptions {
    AviType type = AviType::kType1;
    bool pal = true;                    // 625/50 at 25 frames/s, else 525/60 at 29.97
    bool openDml = true;                // super index, standard indexes and AVIX RIFFs
    bool idx1FromFileStart = false;     // idx1 offsets from the file start instead of from 'movi'
    uint64_t riffLimit = 1ull << 30;    // largest RIFF chunk before an AVIX one is started
    uint32_t reservedListSize = 160;    // total bytes of the "INFO"/"ZoRv" list; 0 writes none
    std::string reservedText = "zorv";  // item text at the start of the "ZoRv" sub-chunk
    uint32_t audioSampleRate = 48000;   // Type 2 audio: 16-bit stereo PCM at this rate
    uint32_t superIndexSlots = 256;     // room in the header for this many RIFF chunks
    // Queued frames are written by a writer thread while the next ones are queued (see
    // WriteBehind): what queueFrame() references must then stay valid until the flush() after the
    // one that wrote it returns, or until close().
    bool writeBehind = false;
};

class AviWriter {
public:
    AviWriter() = default;
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates (or truncates) the file and writes the provisional headers.
    core::Status open(const std::string& path, const AviWriterOptions& options);

    // Appends one whole DV frame. For Type 2, pcm is the frame's audio (16-bit stereo, little-endian,
    // interleaved); it may be empty. Type 1 ignores pcm.
    core::Status writeFrame(std::span<const uint8_t> frame, std::span<const uint8_t> pcm = {});

    // Appends a dropped frame: an empty video chunk with an empty index entry. Type 2 may still
    // carry audio for it.
    core::Status writeEmptyFrame(std::span<const uint8_t> pcm = {});

    // Queues one whole DV frame for a later gathered write: the frame's data is referenced and must
    // stay valid and unchanged until flush() or close(); the patched blocks and pcm are copied. Many
    // frames go to the kernel in one call. A write failure shows at the call that flushes.
    core::Status queueFrame(const PatchedFrame& frame, std::span<const uint8_t> pcm = {});
    // Writes what queueFrame() holds (with writeBehind: hands it to the writer thread).
    core::Status flush();

    // Makes the file on disk a complete AVI of every frame written so far without closing it, for
    // files that must survive a crash while they grow: the frames since the last checkpoint get
    // standard index chunks of their own inside the 'movi' list, then the 'movi' and RIFF sizes,
    // the frame counts and the super indexes are rewritten to cover them. Each rewrite only extends
    // what the file already described, so an interruption at any point leaves a valid file.
    // OpenDML files only (a no-op otherwise). sync: the frames and index chunks reach the disk before
    // the headers that point at them, and the headers before the call returns.
    core::Status checkpoint(bool sync);
    // The bytes that closing the file would still append (indexes), for free-space checks.
    uint64_t closingBytes() const;

    // Writes the indexes, completes the headers and closes the file. Safe to call twice.
    core::Status close();

    bool isOpen() const { return fd_ >= 0; }
    int64_t framesWritten() const { return totalFrames_; }

    // The fixed item size used for the reserved list: the list is "LIST", size, "INFO", "ZoRv",
    // size, then the item text zero-padded to fill the requested total.
    static std::vector<uint8_t> reservedList(uint32_t totalSize, const std::string& text);

private:
    struct ChunkRef {
        uint64_t pos;   // file position of the chunk header
        uint32_t size;  // data size (0 for a dropped frame)
    };
    struct SuperEntry {
        uint64_t offset;
        uint32_t size;
        uint32_t duration;
    };

    void queueChunkHeader(uint32_t fourcc, uint32_t size, bool video);
    core::Status appendFrame(const PatchedFrame& frame, std::span<const uint8_t> pcm, bool empty, bool copyPcm);
    core::Status ensureRoom(uint64_t chunkBytes, size_t newEntries);
    core::Status startRiff();
    core::Status finishRiff();
    core::Status writeStandardIndex(uint32_t fourcc, const std::vector<ChunkRef>& refs, std::vector<SuperEntry>& super,
                                    uint32_t duration);
    core::Status writeRaw(const void* data, size_t size);
    core::Status writeAt(uint64_t pos, const void* data, size_t size);
    // Writes everything queued and waits until it is written.
    core::Status settle();
    core::Status fail(int err);
    std::vector<uint8_t> buildHeader() const;
    void noteDvInfo(const PatchedFrame& frame);

    AviWriterOptions opt_;
    int fd_ = -1;
    core::Status error_;
    uint64_t pos_ = 0;
    uint64_t headerSize_ = 0;
    uint64_t riffStart_ = 0;
    uint64_t moviStart_ = 0;
    int64_t riffCount_ = 0;
    int64_t totalFrames_ = 0;
    int64_t firstRiffFrames_ = 0;
    uint64_t audioBytes_ = 0;
    uint32_t frameSize_ = 0;
    uint32_t maxChunk_ = 0;
    std::vector<ChunkRef> videoRefs_, audioRefs_;  // current RIFF
    std::vector<std::array<uint32_t, 4>> idx1_;    // first RIFF (or the only one)
    std::vector<SuperEntry> videoSuper_, audioSuper_;
    // Checkpoints of the current RIFF: refs already in an index chunk, and those chunks' entries
    // (replaced by the RIFF's whole index when it is finished).
    size_t checkedVideo_ = 0, checkedAudio_ = 0;
    std::vector<SuperEntry> videoChecks_, audioChecks_;
    GatherBatch batch_;
    std::unique_ptr<WriteBehind> behind_;
    uint32_t dvInfo_[8];
    bool haveDvInfo_ = false;
};

}  // namespace zorv::media
