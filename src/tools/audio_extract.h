// Extracts the sound of a DV file (AVI Type 1 or 2, Raw DV) into a standard 16-bit WAV file: the PCM
// stream of a Type 2 file as it is, or the audio blocks of the DV frames de-shuffled (the first
// stereo pair of 12-bit four-channel audio). The whole audio stream is written, whether it is longer
// or shorter than the picture. Runs as a job on a worker thread.
#pragma once

#include <string>

#include "core/threaded_job.h"
#include "media/avi_audio_reader.h"
#include "media/output_file.h"
#include "media/wav_writer.h"
#include "tools/dv_frame_source.h"

namespace zorv::tools {

// Input name without extension + ".wav".
std::string extractOutputName(const std::string& input);

inline constexpr const char* kNoAudioStream = "The source file does not have an audio stream";
inline constexpr const char* kExtractionComplete = "Audio extraction complete.";
inline constexpr const char* kExtractionFailed = "Failed while extracting audio";
inline constexpr const char* kNoAudioFound = "Audio extraction failed - no audio found.";

class AudioExtractJob : public core::ThreadedJob {
public:
    // output takes its name only when the extraction succeeded (an existing file is replaced then
    // when overwrite is set; build() refuses it otherwise).
    AudioExtractJob(std::string input, std::string output, bool overwrite = false);
    ~AudioExtractJob() override;

    // Opens the input and finds its audio; kNoAudio (kNoAudioStream) when it has none.
    core::Status build();
    // "Extracting audio from AVI file ...\n%s".
    std::string progressText() const;
    int sampleRate() const { return rate_; }

private:
    bool ready() const override { return built_; }
    core::Status work() override;
    core::Status run();
    core::Status copyStream(media::WavWriter& wav);

    std::string input_, output_;
    bool overwrite_;
    media::OutputFile out_;
    DvFrameSource source_;
    media::AviAudioReader stream_;
    int rate_ = 0;
    bool fromStream_ = false;
    bool built_ = false;
};

}  // namespace zorv::tools
