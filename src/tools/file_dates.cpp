#include "tools/file_dates.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "tools/recording_start.h"

namespace zorv::tools {

bool setFileLastWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second,
                          int* sysError) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;  // local time, daylight saving as the date has it
    errno = 0;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && errno != 0) {
        if (sysError) *sysError = errno;
        return false;
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        if (sysError) *sysError = errno;
        return false;
    }
    if (sysError) *sysError = 0;
    return true;
}

core::Status setDateModifiedFromRecording(const std::string& path) {
    StartDateTime start;
    core::Status st = readRecordingStart(path, start);
    if (!st) return st;
    int sys = 0;
    if (!setFileLastWriteTime(path, start.year, start.month, start.day, start.hour, start.minute, start.second, &sys))
        return core::Status::failure(core::ErrorCode::kWriteFailed, kSetDateFailed, sys);
    return core::Status::success();
}

}  // namespace zorv::tools
