// A writer thread for gathered writes: while it hands one batch to the kernel, the producer fills
// the next, so preparing frames (mapping the input, joining audio) overlaps with the copy into the
// output's page cache, which is most of the cost of a conversion.
//
// Two batches take turns: submit() waits until the writer is done with the batch submitted before,
// then gives it the caller's full batch and hands the caller back the empty one. Anything a batch
// references (mapped input, caller buffers) must stay valid until the submit after it returns, or
// until drain().
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "media/write_all.h"

namespace zorv::media {

class WriteBehind {
public:
    explicit WriteBehind(size_t arenaBytes);
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Queues batch for writing at fd's position, after everything submitted before; batch comes back
    // empty. Returns 0, or the errno of an earlier write that failed (nothing more is written then).
    int submit(int fd, GatherBatch& batch);
    // Waits until everything submitted is written; 0 or the errno of the first failure.
    int drain();

private:
    void run();

    GatherBatch spare_;  // the batch the writer owns: being written, or empty
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    int fd_ = -1;
    bool busy_ = false;  // spare_ holds a batch not yet written
    bool stop_ = false;
    int error_ = 0;
    std::thread thread_;
};

}  // namespace zorv::media
