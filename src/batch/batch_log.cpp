#include "batch/batch_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "batch/batch_operation.h"

namespace zorv::batch {

std::string stampLine(const char* prefix, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char date[64], time[64];
    if (std::strftime(date, sizeof date, "%x", &local) == 0) date[0] = 0;
    if (std::strftime(time, sizeof time, "%X", &local) == 0) time[0] = 0;
    return std::string(prefix) + date + " at " + time;
}

BatchLog::~BatchLog() { close(); }

std::string BatchLog::open(const std::string& folder) {
    close();
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    // Created exclusively: runs started at once in one folder (job array tasks, hosts) each get a
    // log of their own rather than one run's lines in another's file.
    int error = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        path_ = uniquePath(f + "/" + kLogFileName);
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file_ = fdopen(fd, "wb");
            if (file_) return {};
            error = errno;
            ::close(fd);
            break;
        }
        error = errno;
        if (error != EEXIST) break;
    }
    return std::string(kLogCreateFailed) + std::strerror(error);
}

void BatchLog::line(const std::string& text) {
    if (screen_) screen_(text);
    if (file_) {
        std::fwrite(text.data(), 1, text.size(), file_);
        std::fwrite("\r\n", 1, 2, file_);
        std::fflush(file_);
    }
}

void BatchLog::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace zorv::batch
