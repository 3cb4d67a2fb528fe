#include "media/write_behind.h"

namespace zorv::media {

WriteBehind::WriteBehind(size_t arenaBytes) : spare_(arenaBytes), thread_([this] { run(); }) {}

WriteBehind::~WriteBehind() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

int WriteBehind::submit(int fd, GatherBatch& batch) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    if (error_ != 0) {
        batch.clear();
        return error_;
    }
    if (batch.empty()) return 0;
    swap(batch, spare_);  // spare_ was written and cleared: the caller gets an empty batch
    fd_ = fd;
    busy_ = true;
    lock.unlock();
    wake_.notify_one();
    return 0;
}

int WriteBehind::drain() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    return error_;
}

void WriteBehind::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return busy_ || stop_; });
        if (!busy_) return;
        const int fd = fd_;
        lock.unlock();
        const int err = spare_.flush(fd);  // the producer does not touch spare_ while busy_
        lock.lock();
        if (err != 0 && error_ == 0) error_ = err;
        busy_ = false;
        done_.notify_all();
    }
}

}  // namespace zorv::media
