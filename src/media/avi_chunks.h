// Chunk-level services of DV AVI files: finding chunks, the reserved "LIST"/"INFO"/"ZoRv" list that our
// writer leaves after the header list, the Premiere timecode list ("LIST"/"Tdat"), the reel name (AVI and
// HDV2), the editor chunks that conversions carry over, and reading a whole AVI piece by piece.
//
// Everything works on a POSIX file descriptor that the caller owns, with positioned reads and writes,
// and is written for hostile input: every walk is bounded, every size is checked against the file size
// and nothing is allocated beyond what the file can hold (or a fixed cap).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "media/file_io.h"
#include "media/file_type.h"

namespace zorv::media {

// Editor chunks add up to strictly less than this many bytes.
inline constexpr uint64_t kEditorChunksLimit = 73732;
// The reserved list that can later be replaced by the timecode list in place.
inline constexpr uint64_t kTimecodeListSize = 160;

struct ReservedList {
    uint64_t pos = 0;   // file position of its "LIST" header
    uint64_t size = 0;  // total size: 8-byte header + body rounded up to even
};

// Timecode text "%02d:%02d:%02d:%02d", or with ';' separators for drop-frame timecode.
std::string timecodeText(int hours, int minutes, int seconds, int frames, bool dropFrame);

// The 160-byte "LIST"/"Tdat" list: timecode in "tc_O" and "tc_A", reel name (at most 39 characters,
// zero when empty) in "rn_O" and "rn_A".
std::vector<uint8_t> buildTimecodeList(std::string_view timecode, std::string_view reelName);

// Item text that makes a writer's reserved INFO list exactly kTimecodeListSize bytes, the size the
// timecode list replaces in place: "zorv" 28 times with single spaces (139 characters).
std::string timecodeListReservedText();

// Replaces a reserved list of exactly kTimecodeListSize bytes in the AVI file open on fd for writing
// (or at path) with the timecode list (an empty timecode leaves its fields zero), in one write. False
// when the file has no such list or cannot be read or written; the file is then as it was.
bool writeTimecodeList(int fd, std::string_view timecode, std::string_view reelName);
bool writeTimecodeListTo(const std::string& path, std::string_view timecode, std::string_view reelName);

// The 172-byte form appended at the end of a file that has no reserved list: "RIFF" 164 "AVIX" and the
// timecode list with the reel name fields all zero.
std::vector<uint8_t> buildAppendedTimecodeList(std::string_view timecode);

// Finds the reserved list in the first "RIFF" chunk of an AVI file (works on any descriptor, also an
// output file being finished).
std::optional<ReservedList> findReservedList(int fd, core::ErrorCode* error = nullptr);

// Walks the entries of a "Tdat" list body (tag, 32-bit size, data padded to even) and returns the data
// of the entry with the tag, or nothing.
std::optional<std::span<const uint8_t>> findTdatEntry(std::span<const uint8_t> body, uint32_t tag);
// Reel name from a "Tdat" body: "rn_A" when not empty, else "rn_O"; at most (entry size - 3) characters.
std::optional<std::string> reelNameFromTdat(std::span<const uint8_t> body);
// Start timecode text from a "Tdat" body: "tc_A" when its first byte is not zero, else "tc_O".
std::optional<std::string> timecodeFromTdat(std::span<const uint8_t> body);
// Reel name of an HDV2 file: the first five 188-byte packets, the first on PID 0x1FFD with byte 3 = 0x10.
std::optional<std::string> reelNameFromHdvPackets(std::span<const uint8_t> head);

// The chunk services of one open DV or HDV file, as its type allows: chunks of AVI files, the reel
// name of 1080-line HDV. The descriptor is not owned.
class AviChunks {
public:
    AviChunks() = default;
    AviChunks(int fd, FileType fileType) { attach(fd, fileType); }

    void attach(int fd, FileType fileType);
    // Forgets everything found (the file is being closed).
    void reset();

    core::ErrorCode lastError() const { return error_; }
    int sysError() const { return sysError_; }

    // Copy of the body of the first chunk with this FourCC among the chunks of every top-level "RIFF"
    // chunk. A "LIST" whose list type is the FourCC matches too; its body is then what follows the
    // list type. Nothing for Raw DV; a top-level chunk that is not "RIFF" gives error 6.
    std::optional<std::vector<uint8_t>> findChunk(uint32_t id);

    // The reserved list; the file offset of the descriptor is not used (positioned reads).
    std::optional<ReservedList> findReservedList();

    // Kept after the first successful call.
    std::optional<std::string> reelName();
    std::optional<std::string> premiereTimecode();

    // Total size S of the editor chunks ("LIST" of type "INFO", "Tdat", "Cdat", "Pdat"; "PrmA", "PrmL",
    // "Cr8r", "SCMD", "_PMX"), each counted as its body rounded up to even + 8, while S stays below
    // 73732. Only the first "RIFF" unless allRiff. The result is kept.
    uint64_t collectEditorChunks(bool allRiff);
    struct EditorChunk {
        uint64_t pos;   // of the 8-byte header
        uint64_t size;  // header + body rounded up to even
    };
    const std::vector<EditorChunk>& editorChunks() const { return editorChunks_; }

    // Copies the collected chunks into the reserved list of the output file and closes any gap with
    // a "JUNK" chunk.
    bool copyEditorChunks(int outFd);

private:
    bool isAvi() const;
    bool fail(core::ErrorCode code, int sys = 0);

    int fd_ = -1;
    FileType fileType_ = {};
    core::ErrorCode error_ = core::ErrorCode::kNone;
    int sysError_ = 0;

    bool editorCollected_ = false;
    uint64_t editorTotal_ = 0;
    std::vector<EditorChunk> editorChunks_;
    std::optional<std::string> reelName_;
    std::optional<std::string> premiereTimecode_;
};

// Reading a whole AVI file piece by piece for rewriting it: the head up to frame 0's data, then spans
// from one non-empty frame's data to the next, then the tail after the last frame.
class AviSpanReader {
public:
    // framePositions: data position of each frame, all ones for an empty frame. readBufferSize caps the
    // head and tail.
    AviSpanReader(int fd, uint64_t fileSize, std::span<const uint64_t> framePositions, uint64_t frameSize,
                  uint64_t readBufferSize);

    // Each read fills out (resized; its capacity is reused from call to call). A head or tail larger
    // than readBufferSize gives error 6.
    core::Status readHead(std::vector<uint8_t>& out);
    // Empty out when the cursor is past the last frame.
    core::Status readNextSpan(std::vector<uint8_t>& out);
    core::Status readTail(std::vector<uint8_t>& out);

private:
    core::Status readRange(uint64_t from, uint64_t to, std::vector<uint8_t>& out);

    int fd_;
    uint64_t fileSize_;
    std::span<const uint64_t> positions_;
    uint64_t frameSize_;
    uint64_t readBufferSize_;
    size_t cursor_ = 0;
};

inline constexpr uint64_t kEmptyFrame = ~uint64_t{0};

}  // namespace zorv::media
