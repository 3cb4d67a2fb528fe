#include "core/threaded_job.h"

namespace zorv::core {

bool ThreadedJob::start() {
    if (!ready() || worker_.joinable()) return false;
    finished_.store(false);
    worker_ = std::thread([this] {
        result_ = work();
        finished_.store(true);
    });
    return true;
}

Status ThreadedJob::wait() {
    if (worker_.joinable()) worker_.join();
    return result_;
}

void ThreadedJob::stop() {
    if (!worker_.joinable()) return;
    progress_.cancel();
    worker_.join();
}

}  // namespace zorv::core
