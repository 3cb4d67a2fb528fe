// A long operation (scan, export, modify, split, convert, extract, burn-in, capture writer) as seen by
// whoever watches it: the window, the batch runner or the command line. No job knows its watcher.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/error.h"

namespace zorv::core {

// Progress and cancel shared between a running operation and its watcher. The operation writes
// done/total; the watcher reads them and may request cancel.
class Progress {
public:
    void setTotal(int64_t total) { total_.store(total, std::memory_order_relaxed); }
    void setDone(int64_t done) { done_.store(done, std::memory_order_relaxed); }
    int64_t total() const { return total_.load(std::memory_order_relaxed); }
    int64_t done() const { return done_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    // Whole percent of done/total (0 when total is 0).
    int percent() const {
        int64_t t = total(), d = done();
        return t > 0 ? static_cast<int>(d * 100 / t) : 0;
    }

private:
    std::atomic<int64_t> total_{0};
    std::atomic<int64_t> done_{0};
    std::atomic<bool> cancelled_{false};
};

// A job runs on a worker thread of its own after start(); wait() joins it and gives the result.
class Job {
public:
    virtual ~Job() = default;
    virtual bool start() = 0;
    virtual bool finished() const = 0;
    virtual Status wait() = 0;
    Progress& progress() { return progress_; }
    const Progress& progress() const { return progress_; }

protected:
    Progress progress_;
};

}  // namespace zorv::core
