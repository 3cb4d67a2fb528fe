// The Premiere start timecode of a DV AVI file: the "tc_O" and "tc_A" entries of its "LIST"/"Tdat"
// list carry the timecode of the first frame as text ("01:02:03:04", or "01;02;03;04" for
// drop-frame timecode). Finding that list, rewriting its timecode entries in place, and fixing a
// file so that the list matches its first frame (appending a 172-byte "RIFF"/"AVIX" block holding a
// new list when the file has none).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/error.h"
#include "media/file_io.h"
#include "media/file_type.h"

namespace zorv::tools {

// Where the "Tdat" list lies: its size field counts the 4-byte list type and the entries.
struct TdatLocation {
    int64_t listPos = 0;    // of the "LIST" header
    uint32_t listSize = 0;  // the size field
    int64_t entriesPos() const { return listPos + 12; }
};

// Walks the top-level "RIFF" chunks of an AVI file and the chunks directly inside them for a "LIST"
// of list type "Tdat". Bounded by the file size; stops at a top-level chunk that is not "RIFF".
std::optional<TdatLocation> findTdatList(const media::File& file);

// The 12-byte timecode field written into "tc_O"/"tc_A": the text and zeros after it.
std::array<uint8_t, 12> timecodeField(int hours, int minutes, int seconds, int frames, bool dropFrame);

// Writes the 12-byte field at the start of the data of every "tc_O" and "tc_A" entry of the list
// (entries walked by their sizes rounded up to even; an entry whose data is shorter than 12 bytes is
// left alone). `stop`, when given, is polled once per entry. Returns false on a failed write.
bool writeTdatTimecode(media::File& file, const TdatLocation& where, const std::array<uint8_t, 12>& field,
                       const std::function<bool()>& stop = {});

// Result of fixing the Premiere start timecode of one file.
enum class PremiereFixResult {
    kFixed = 0,
    kUnsupported = 1,  // not a DV AVI file
    kReadFailed = 2,
    kWriteFailed = 3,
    kOpenFailed = 4,
    kNoTimecode = 5,  // first frame without timecode: nothing written
};
struct PremiereFixOutcome {
    PremiereFixResult result = PremiereFixResult::kFixed;
    int sysError = 0;
    bool appended = false;  // the 172-byte block was added at the end
    std::string text;       // the timecode text written
};

// The batch log line for a file of a type that is skipped before it is opened; empty for AVI files.
std::string premiereSkipMessage(media::FileType type);

// Sets the "tc_O" and "tc_A" texts of the file's "Tdat" list to the timecode of frame 0, or appends a
// new list in a "RIFF"/"AVIX" block when there is none.
PremiereFixOutcome fixPremiereStartTimecode(const std::string& path);

// The batch log line of an outcome ("Fixed", "WARNING: ...", "ERROR: ..."); sysText is the system's
// error text for the kept error number.
std::string premiereFixLogLine(const PremiereFixOutcome& outcome);

}  // namespace zorv::tools
