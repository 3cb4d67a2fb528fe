// A job whose work runs once on a worker thread of its own: start() launches it when the job is ready,
// finished() tells when it is over, wait() joins it and gives its result. The jobs of the tools give
// only their work and their readiness.
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

    // False (and no thread) when the job is not ready or has started already.
    bool start() final;
    bool finished() const final { return finished_.load(); }
    // Joins the worker (if any) and gives the work's result (success before a start).
    Status wait() final;

protected:
    // Whether the job was built and can run.
    virtual bool ready() const { return true; }
    // The work, on the worker thread.
    virtual Status work() = 0;
    // Cancels a running job and joins its worker.
    void stop();
    // The work's result, once wait() has joined it.
    const Status& result() const { return result_; }

private:
    std::thread worker_;
    std::atomic<bool> finished_{false};
    Status result_;
};

}  // namespace zorv::core
