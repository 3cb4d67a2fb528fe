#include "core/threaded_job.h"

#include <system_error>

namespace zorv::core {

bool ThreadedJob::start() {
    if (!ready()) return false;
    if (worker_.joinable()) {
        if (!rerunnable() || !finished_.load()) return false;
        worker_.join();
    }
    finished_.store(false);
    try {
        worker_ = std::thread([this] {
            Status r = work();
            workDone(r);
            result_ = std::move(r);
            finished_.store(true);
        });
    } catch (const std::system_error& e) {
        result_ = startFailed(e.code().value());
        return false;
    }
    return true;
}

Status ThreadedJob::wait() {
    if (worker_.joinable()) worker_.join();
    return result_;
}

Status ThreadedJob::startFailed(int sysError) { return Status::failure(ErrorCode::kReadFailed, "", sysError); }

void ThreadedJob::stop() {
    if (!worker_.joinable()) return;
    progress_.cancel();
    worker_.join();
}

}  // namespace zorv::core
