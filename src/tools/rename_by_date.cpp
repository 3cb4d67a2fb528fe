#include "tools/rename_by_date.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zorv::tools {

namespace {

// Renames without ever replacing an existing file.
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without the flag: a hard link fails when the name exists.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        const int e = errno;
        ::unlink(to.c_str());
        return e;
    }
    return 0;
}

size_t extensionStart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart) return path.size();  // no extension (or a dot file)
    return dot;
}

}  // namespace

std::string pathWithStartDateTime(const std::string& path, const StartDateTime& s) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " %02d-%02d-%02d %02d.%02d.%02d", ((s.year % 100) + 100) % 100, s.month, s.day,
                  s.hour, s.minute, s.second);
    const size_t ext = extensionStart(path);
    const std::string stem = path.substr(0, ext);
    if (stem.size() >= 17 && stem.compare(stem.size() - 17, 17, stamp + 1) == 0) return path;
    return stem + stamp + path.substr(ext);
}

core::Status renameWithStartDateTime(const std::string& path, std::string& newPath) {
    newPath = path;
    StartDateTime start;
    core::Status st = readRecordingStart(path, start);
    if (!st) return st;
    const std::string target = pathWithStartDateTime(path, start);
    if (target == path) return core::Status::success();
    const int e = renameNoReplace(path, target);
    if (e == EEXIST) return core::Status::failure(core::ErrorCode::kOutputExists, kRenameTargetExists, e);
    if (e != 0) return core::Status::failure(core::ErrorCode::kWriteFailed, kRenameFailed, e);
    newPath = target;
    return core::Status::success();
}

}  // namespace zorv::tools
