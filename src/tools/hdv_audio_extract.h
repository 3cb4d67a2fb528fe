// Extracts the MPEG-1 Layer II sound of a 1080-line HDV transport stream into a 16-bit WAV file:
// the audio PES packets are gathered from their PID and decoded with libavcodec. Runs as a job.
#pragma once

#include <string>

#include "core/threaded_job.h"
#include "media/output_file.h"

namespace zorv::tools {

inline constexpr const char* kHdv1AudioSkipped =
    "File skipped - audio extraction from HDV1 (720 line) M2T file type not currently supported";

class HdvAudioExtractJob : public core::ThreadedJob {
public:
    // output takes its name only when the extraction succeeded (an existing file is replaced then
    // when overwrite is set; build() refuses it otherwise).
    HdvAudioExtractJob(std::string input, std::string output, bool overwrite = false);
    ~HdvAudioExtractJob() override;

    // Opens the stream with the M2T reader ("Could not load M2T file (reason %d)") and checks it is
    // 1080-line HDV.
    core::Status build();
    // "Extracting audio from M2T file ...\n%s".
    std::string progressText() const;

    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }
    int64_t framesDecoded() const { return frames_; }
    // Damaged bytes passed over to find the packets again (valid once the job has finished).
    int64_t skippedBytes() const { return skippedBytes_; }

private:
    bool ready() const override { return built_; }
    core::Status work() override;
    core::Status run();

    std::string input_, output_;
    bool overwrite_;
    media::OutputFile out_;
    int packetSize_ = 188;
    int64_t firstPacket_ = 0;
    int64_t fileSize_ = 0;
    bool built_ = false;
    int rate_ = 0, channels_ = 0;
    int64_t frames_ = 0;
    int64_t skippedBytes_ = 0;
};

}  // namespace zorv::tools
