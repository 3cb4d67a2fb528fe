#include "tools/audio_extract_factory.h"

#include "tools/audio_extract.h"
#include "tools/avchd_audio_extract.h"
#include "tools/hdv_audio_extract.h"

namespace zorv::tools {

namespace {

template <class J>
AudioExtraction built(std::unique_ptr<J> job, const char* completeText) {
    AudioExtraction x;
    x.built = job->build();
    x.progressText = job->progressText();
    x.completeText = completeText;
    x.job = std::move(job);
    return x;
}

// The AC-3 copy's log lines; a failed build's tells why the input did not open, or that the output
// could not be created.
ExtractionLogLines ac3LogLines(const Ac3ExtractJob& job) {
    ExtractionLogLines lines{tools::kAc3LogOpenOutput, tools::kAc3LogRun, "ERROR: Failed to extract audio"};
    const core::ErrorCode input = job.inputError();
    if (input != core::ErrorCode::kNone) {
        lines.buildFailed = kAc3LogOpenInput;
        if (input == core::ErrorCode::kOutOfMemory) lines.buildFailed += kAc3LogOutOfMemory;
        else if (input == core::ErrorCode::kNotRecognised) lines.buildFailed += kAc3LogParseError;
    }
    return lines;
}

}  // namespace

AudioExtraction makeAudioExtraction(core::MediaFamily family, const std::string& input, const std::string& output,
                                    bool overwrite) {
    if (family == core::MediaFamily::kHdv)
        return built(std::make_unique<HdvAudioExtractJob>(input, output, overwrite), kExtractionComplete);
    if (family == core::MediaFamily::kAvchd) {
        auto job = std::make_unique<Ac3ExtractJob>(input, output, overwrite);
        const Ac3ExtractJob& ac3 = *job;
        AudioExtraction x = built(std::move(job), kAc3Complete);
        x.ownLog = ac3LogLines(ac3);
        return x;
    }
    return built(std::make_unique<AudioExtractJob>(input, output, overwrite), kExtractionComplete);
}

}  // namespace zorv::tools
