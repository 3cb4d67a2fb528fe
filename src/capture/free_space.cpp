#include "capture/free_space.h"

#include <sys/statvfs.h>

#include <filesystem>

namespace zorv::capture {

std::optional<uint64_t> volumeFreeBytes(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = path.empty() ? fs::path(".") : fs::path(path);
    if (!fs::is_directory(p, ec)) p = p.has_parent_path() ? p.parent_path() : fs::path(".");
    struct statvfs st {};
    if (statvfs(p.c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

}  // namespace zorv::capture
