#include "batch/batch_log.h"

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
    path_ = uniquePath(f + "/" + kLogFileName);
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) return std::string(kLogCreateFailed) + std::strerror(errno);
    return {};
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
