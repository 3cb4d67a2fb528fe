// Rewrites the camcorder metadata recorded in every DV frame of an AVI file (Type 1 or Type 2):
// timecode, recording date and time, user bits, widescreen flag and the drop-frame kind of NTSC
// timecode. Only pack bytes change; nothing is decoded or re-encoded.
//
// Output-file mode writes a copy of the input, identical except for the rewritten packs and the
// Premiere start timecode entries, streaming the file once through one fixed buffer; the input is
// never written. Direct mode rewrites the input in place and writes back only the DIF blocks whose
// packs changed, so the disk sees a few hundred bytes per frame instead of the whole file.
//
// The work runs on a worker thread of its own: start(), then poll progress() (frames done / total
// frames), cancel through abort() or progress().cancel(), and wait() for the completion Status. The
// completion callback, when set, is called on the worker thread at the end of a run that was not
// aborted, with true when the run failed.
//
// Date and time arithmetic is done in UTC directly (no time-zone switching), so any number of
// modifiers may run at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/threaded_job.h"
#include "media/output_file.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"
#include "tools/dv_pack_rewrite.h"
#include "tools/modify_settings.h"

namespace zorv::tools {

// Message texts of the failures.
inline constexpr const char* kModifyOpenFailed = "Failed to open input file";
inline constexpr const char* kModifyTypeNotSupported = "File type not supported";
inline constexpr const char* kModifyIndexFailed = "Failed to index input file";
inline constexpr const char* kModifyRunFailed = "Failed to run";
inline constexpr const char* kModifyNoBufferSize = "Failed to get buffer size";
inline constexpr const char* kModifyNoBuffer = "Failed to allocate buffer";
inline constexpr const char* kModifyCreateFailed = "Failed to create output file";
inline constexpr const char* kModifyReadFailed = "Failed to read input file";
inline constexpr const char* kModifyWriteFailed = "Failed writing to output file";

class DvMetadataModifier : public core::ThreadedJob {
public:
    DvMetadataModifier();
    // Aborts a running worker and waits for it.
    ~DvMetadataModifier() override;
    DvMetadataModifier(const DvMetadataModifier&) = delete;
    DvMetadataModifier& operator=(const DvMetadataModifier&) = delete;

    void setSettings(const ModifySettings& s);
    const ModifySettings& settings() const { return s_; }

    void setInputPath(const std::string& path) { inputPath_ = path; }
    // An empty path selects direct mode.
    void setOutputPath(const std::string& path) { outputPath_ = path; }
    // An existing output file is replaced (when the run succeeded) only when this is set; open()
    // refuses it otherwise. The output is written under a temporary name until then.
    void setOverwrite(bool overwrite) { overwrite_ = overwrite; }
    bool directMode() const { return outputPath_.empty(); }
    void setCompletion(std::function<void(bool failed)> done) { completion_ = std::move(done); }

    // Opens and indexes the input; only AVI Type 1 and Type 2 are accepted.
    bool open();
    int64_t totalFrames() const { return total_; }
    int64_t framesDone() const { return progress_.done(); }

    void abort() { progress_.cancel(); }

    // The run on the calling thread (what the worker does); for callers with a thread of their own.
    core::Status run();

    const core::Status& status() const { return status_; }
    // Direct mode: whether the last run wrote to the input at all (false: it is as it was).
    bool inputChanged() const { return inputChanged_; }

private:
    bool ready() const override { return opened_; }
    bool rerunnable() const override { return true; }
    core::Status work() override { return run(); }
    // Tells the completion callback, unless the run was cancelled.
    void workDone(const core::Status& result) override;
    core::Status startFailed(int sysError) override;

    core::Status fail(core::ErrorCode code, const char* message, int sys = 0);
    core::Status failFromMedia(const char* message);
    // kIncomplete: the frames ended (a frame cut short) after `done` of them.
    core::Status stoppedEarly(int64_t done);
    bool aborted() const { return progress_.cancelled(); }
    void prepare();
    void processFrame(uint8_t* frame);
    core::Status runOutputFile();
    core::Status runDirect();
    void updatePremiereTimecode(media::File& target);

    ModifySettings s_;
    std::string inputPath_, outputPath_;
    bool overwrite_ = false;
    media::OutputFile output_;
    std::function<void(bool)> completion_;

    media::DvMediaFile media_;
    bool opened_ = false;
    int64_t total_ = 0;
    std::vector<uint64_t> positions_;  // data positions of the non-empty frames, in frame order

    core::Status status_;
    bool inputChanged_ = false;

    // Per run.
    size_t frameSize_ = 0;
    int sequences_ = 0;
    bool pal_ = true;
    int sourceStyle_ = 2, targetStyle_ = 4, clockStyle_ = 2;
    bool dropWanted_ = true;
    int64_t timecodeCounter_ = 0;
    int64_t clockCounter_ = 0, clockStart_ = 0;
    int daySetting_ = 0;
    TouchedBlocks touched_;
};

}  // namespace zorv::tools
