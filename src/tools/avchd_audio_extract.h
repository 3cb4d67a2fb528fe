// Extracts the AC-3 sound of an AVCHD file into a .ac3 file: the AC-3 sync frames of PID 0x1100
// copied frame for frame, as they are in the stream. Runs as a job on a worker thread.
#pragma once

#include <atomic>
#include <string>

#include "core/threaded_job.h"
#include "media/output_file.h"

namespace zorv::tools {

// Input name without extension + ".ac3".
std::string ac3OutputName(const std::string& input);

inline constexpr const char* kAc3ProgressFormat = "Extracting audio from M2TS file ...\n%s";
inline constexpr const char* kAc3NoMemory = "Failed to create audio extracter (memory)";
inline constexpr const char* kAc3OpenInputFormat = "Failed to open the input file:\r\n\r\n%s";
inline constexpr const char* kAc3CreateOutput = "Unable to create audio extraction file";
inline constexpr const char* kAc3RunFailed = "Failed to run export";
inline constexpr const char* kAc3Complete = "Audio extraction complete.";
inline constexpr const char* kAc3Failure = "Failure while extracting audio";
// Batch log lines of the same failures.
inline constexpr const char* kAc3LogOpenInput = "ERROR: Failed to open file";
inline constexpr const char* kAc3LogParseError = " - parse error";
inline constexpr const char* kAc3LogOutOfMemory = " - out of memory";
inline constexpr const char* kAc3LogOpenOutput = "ERROR: Failed to open output file";
inline constexpr const char* kAc3LogRun = "ERROR: Failed to run exporter";

class Ac3ExtractJob : public core::ThreadedJob {
public:
    // output takes its name only when the extraction succeeded (an existing file is replaced then
    // when overwrite is set; build() refuses it otherwise).
    Ac3ExtractJob(std::string input, std::string output, bool overwrite = false);
    ~Ac3ExtractJob() override;

    // Opens the input with the AVC reader and creates the output. Failures carry the texts above
    // (kAc3OpenInputFormat with the input name, kAc3CreateOutput); inputError() tells why the input
    // did not open (the reader's code, kNone when it did).
    core::Status build();
    core::ErrorCode inputError() const { return inputError_; }
    // "Extracting audio from M2TS file ...\n%s" with the input name.
    std::string progressText() const;
    int64_t framesWritten() const { return frames_.load(); }

private:
    bool ready() const override { return built_; }
    core::Status work() override;
    core::Status run();

    std::string input_, output_;
    bool overwrite_;
    media::OutputFile out_;
    core::ErrorCode inputError_ = core::ErrorCode::kNone;
    int64_t fileSize_ = 0;
    bool built_ = false;
    std::atomic<int64_t> frames_{0};
};

}  // namespace zorv::tools
