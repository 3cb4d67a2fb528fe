// A burn-in job of any family as its watchers see it: the window, the batch and the command line
// start it, show its progress text and report its outcome without knowing which job it is. A job
// whose build failed still answers: it does not start, and wait() gives the build's failure.
#pragma once

#include <cstdint>
#include <string>

#include "core/media_family.h"
#include "core/threaded_job.h"

namespace zorv::tools {

class BurnJob : public core::ThreadedJob {
public:
    explicit BurnJob(core::MediaFamily family) : family_(family) {}

    core::MediaFamily family() const { return family_; }
    // The build's result: success, or why the job cannot run (with the system's error number when
    // there is one).
    const core::Status& built() const { return built_; }
    // "Burning-in to Output File ...\n<output>" or "Burning-in the input file ...\n<input>".
    virtual std::string progressText() const = 0;
    // The window's text for a failed build.
    virtual std::string buildFailureText() const = 0;
    // After a failed build: the reader failed without a text of its own, so the build's text ends in
    // "Could not read file - " and names nothing.
    virtual bool readFailedUnnamed() const { return false; }
    // After the run: the text shown for its outcome (complete, with any lost pictures; timed out; not
    // compatible; failed) or, with batch, the batch log's line for it.
    virtual std::string message(bool batch = false) const = 0;
    // Pictures dropped because the decoder's times ran backwards.
    virtual int64_t lostPictures() const { return 0; }
    // Burning into the input: whether any frame of it was written (false: it is as it was).
    virtual bool inputChanged() const { return false; }
    // Whether the run counts the frames of the file's index (the batch then needs that count known).
    virtual bool countsFrames() const { return false; }

    // The no-progress watch of the decoders that may deliver nothing: whether the job has one, the
    // position it watches (0 until a picture went through), and ending the run as timed out.
    virtual bool watchesProgress() const { return false; }
    virtual int64_t position() const { return -1; }
    virtual void timeOut() {}
    // Leaves the timing out to a watcher with its own timer (it calls timeOut()).
    virtual void leaveTimeoutToWatcher() {}

protected:
    void setBuilt(core::Status s) {
        built_ = s;
        if (!built_) setResult(std::move(s));
    }

private:
    core::MediaFamily family_;
    core::Status built_;
};

}  // namespace zorv::tools
