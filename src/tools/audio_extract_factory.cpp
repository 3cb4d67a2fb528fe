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

}  // namespace

AudioExtraction makeAudioExtraction(core::MediaFamily family, const std::string& input, const std::string& output,
                                    bool overwrite) {
    if (family == core::MediaFamily::kHdv)
        return built(std::make_unique<HdvAudioExtractJob>(input, output, overwrite), kExtractionComplete);
    if (family == core::MediaFamily::kAvchd)
        return built(std::make_unique<Ac3ExtractJob>(input, output, overwrite), kAc3Complete);
    return built(std::make_unique<AudioExtractJob>(input, output, overwrite), kExtractionComplete);
}

}  // namespace zorv::tools
