// A job whose work runs on a worker thread of its own: start() launches it when the job is ready,
// finished() tells when it is over, wait() joins it and gives its result. The jobs of the tools give
// only their work and their readiness, and where they need it what follows the work on its thread,
// whether a finished job may run again and the failure when no thread can be started.
#pragma once

#include <atomic>
#include <thread>

#include "core/job.h"

namespace zorv::core {

class ThreadedJob : public Job {
public:
    // A job still running is cancelled and joined. Subclasses whose work uses their own members call
    // stop() in their own destructor, before those members go.
    ~ThreadedJob() override { stop(); }

    // False (and no thread) when the job is not ready, is running, has run already (unless it may run
    // again) or no thread could be started (wait() then gives startFailed()).
    bool start() final;
    bool finished() const final { return finished_.load(); }
    // Joins the worker (if any) and gives the work's result (success, or what setResult() kept, before
    // a start).
    Status wait() final;

protected:
    // Whether the job was built and can run.
    virtual bool ready() const { return true; }
    // Whether a finished job may be started again; its last worker is joined first.
    virtual bool rerunnable() const { return false; }
    // The work, on the worker thread.
    virtual Status work() = 0;
    // On the worker thread after the work, before finished() turns true.
    virtual void workDone(const Status& result) { (void)result; }
    // The result when the system refuses a thread (sysError: its error code).
    virtual Status startFailed(int sysError);
    // Cancels a running job and joins its worker.
    void stop();
    // Whether a worker was started and not yet joined.
    bool started() const { return worker_.joinable(); }
    // The work's result, once wait() has joined it.
    const Status& result() const { return result_; }
    // The result wait() gives before any start (a build that failed).
    void setResult(Status s) { result_ = std::move(s); }

private:
    std::thread worker_;
    std::atomic<bool> finished_{false};
    Status result_;
};

}  // namespace zorv::core
