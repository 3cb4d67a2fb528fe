// The extract-audio job a file's family takes: DV (AVI and Raw DV) and HDV 1080 to WAV, AVCHD to its
// own AC-3 stream. The window, the batch and the command line start it this way.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/job.h"
#include "core/media_family.h"

namespace zorv::tools {

// The batch log's lines of an extraction whose failures have words of their own (the AC-3 copy);
// the batch writes its common lines, with the failure's text, for the others.
struct ExtractionLogLines {
    std::string buildFailed;        // the build failed
    const char* startFailed = "";   // the job did not start
    const char* runFailed = "";     // the run failed
};

struct AudioExtraction {
    std::unique_ptr<core::Job> job;  // built (not started) when `built` is success
    core::Status built;              // the build's result
    std::string progressText;        // "Extracting audio from ... file ...\n<output name>"
    const char* completeText = "";   // the text of a complete run
    std::optional<ExtractionLogLines> ownLog;
};

// Builds the job of the family (the DV one for kNone). Callers refuse 720-line HDV before, which has
// no sound extraction.
AudioExtraction makeAudioExtraction(core::MediaFamily family, const std::string& input, const std::string& output,
                                    bool overwrite);

}  // namespace zorv::tools
