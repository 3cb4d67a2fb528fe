// Conversions between AVI Type 1, AVI Type 2 and Raw DV. The DV frames are never decoded: a frame
// source (with "DV TS" re-stamping and, for Type 2 inputs, the audio stream joined back in) feeds the
// AVI writer or the Raw DV writer on a worker thread. AVI outputs carry the input's editor chunks in
// their reserved list, or the Premiere timecode list with the first frame's timecode.
#pragma once

#include <cstdint>
#include <string>

#include "core/threaded_job.h"
#include "media/avi_chunks.h"
#include "media/file_type.h"
#include "media/dv_media_file.h"
#include "media/output_file.h"
#include "tools/dv_frame_source.h"

namespace zorv::tools {

enum class ConvertTarget : int { kAviType1 = 1, kAviType2 = 2, kRawDv = 3 };

// Input name without extension + "-conv.avi" or "-conv.dv".
std::string convertOutputName(const std::string& input, ConvertTarget target);

inline constexpr const char* kConversionComplete = "Conversion complete.";
inline constexpr const char* kOperationCancelled = "Operation Cancelled";

class DvConvertJob : public core::ThreadedJob {
public:
    // output takes its name only when the conversion succeeded; an existing file of that name is
    // replaced then when overwrite is set, and the run is refused at build() otherwise.
    DvConvertJob(std::string input, std::string output, ConvertTarget target, bool overwrite = false);
    ~DvConvertJob() override;

    // Opens the input and checks the conversion; the failure carries the system's message.
    core::Status build();
    // "Converting from AVI Type %d to AVI Type %d ...\n%s" and the other forms (after build).
    std::string progressText() const;
    // For tests of the OpenDML paths: the AVI writer's RIFF size limit.
    void setRiffLimit(uint64_t bytes) { riffLimit_ = bytes; }

private:
    bool ready() const override { return built_; }
    core::Status work() override;
    core::Status run();
    core::Status finishAvi();
    std::string failureText() const;
    // The input is a Raw DV file (known once the job is built).
    bool rawDvIn() const;

    std::string input_, output_;
    ConvertTarget target_;
    bool overwrite_;
    media::OutputFile out_;
    media::FileType inputType_{};
    uint64_t riffLimit_ = 1ull << 30;
    DvFrameSource source_;
    media::AviChunks inputChunks_;
    uint64_t editorBytes_ = 0;
    media::DvMediaFile::Timecode firstTimecode_;
    bool haveTimecode_ = false;
    std::string reelName_;
    bool built_ = false;
};

}  // namespace zorv::tools
