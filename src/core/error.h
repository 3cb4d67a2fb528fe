// Error codes kept by DV objects and tools, and the result type that carries them across modules.
#pragma once

#include <string>
#include <vector>

namespace zorv::core {

enum class ErrorCode : int {
    kNone = 0,
    kOpenFailed = 1,      // the file could not be opened
    kReadFailed = 2,      // read or seek failure, or a file shorter than its headers
    kWriteFailed = 4,     // a write failed
    kOutOfMemory = 5,     // out of memory for a frame buffer or index
    kNotRiff = 6,         // a top-level AVI chunk is not "RIFF", or a span larger than the read buffer
    kCancelled = 7,       // cancelled by the user
    kOutputIsInput = 20,  // the output path names one of the run's input files
    kOutputExists = 21,   // the output exists and replacing it was not allowed
    kNoOutput = 22,       // the run produced nothing to write (no picture, sample or row)
    kIncomplete = 23,     // the run stopped before the end of its input
    kNoAudio = 24,        // the input has no sound to take
    kNotRecognised = 25,  // the file is not of the reader's kind, or lacks what the reader needs of it
    kNoIndex = 26,        // a DV file whose frames could not be indexed (no usable AVI index, no Raw DV frames)
};

// The code of a failed call (open, read, memory, ...), or otherwise when there was none: the file was
// read and is not what the reader takes (kNotRecognised, kNoIndex), or nothing failed (kNone).
constexpr ErrorCode callFaultOr(ErrorCode code, ErrorCode otherwise) {
    return code == ErrorCode::kNone || code == ErrorCode::kNotRecognised || code == ErrorCode::kNoIndex ? otherwise : code;
}

// What a run passed over that the user should know of even when it succeeded.
enum class WarningKind : int {
    kSkippedBytes = 1,  // damaged bytes of a transport stream passed over to find its packets again
};
struct Warning {
    WarningKind kind;
    std::string text;  // the system's words for it
};

// The outcome of an operation: an error code, the system's message text (may be empty) and the
// operating system's error number of the failed call (errno; 0 when none). A run's result also
// carries its warnings, which every front end shows (the command line on stderr, the batch log, the
// window's message).
struct Status {
    ErrorCode code = ErrorCode::kNone;
    int sysError = 0;
    std::string message;
    std::vector<Warning> warnings;

    bool ok() const { return code == ErrorCode::kNone; }
    explicit operator bool() const { return ok(); }

    static Status success() { return {}; }
    static Status failure(ErrorCode c, std::string msg = {}, int sys = 0) {
        Status s;
        s.code = c;
        s.sysError = sys;
        s.message = std::move(msg);
        return s;
    }
};

}  // namespace zorv::core
