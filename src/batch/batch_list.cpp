#include "batch/batch_list.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_set>

namespace zorv::batch {

namespace {

bool blank(std::string_view line) { return line.find_first_not_of(" \t\f\v") == std::string_view::npos; }

std::optional<int> whole(std::string_view text) {
    int v = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
    return v;
}

}  // namespace

core::Status parseFileList(std::string_view text, std::vector<std::string>& paths) {
    std::vector<std::string> found;
    size_t lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos)
            return core::Status::failure(
                core::ErrorCode::kReadFailed,
                "Not a list of paths (NUL byte on line " + std::to_string(lineNumber) + "): give one path per line");
        if (blank(line) || line.front() == '#') continue;
        found.emplace_back(line);
    }
    paths.insert(paths.end(), found.begin(), found.end());
    paths = withoutRepeats(std::move(paths));
    return core::Status::success();
}

core::Status readFileList(const std::string& path, std::vector<std::string>& paths) {
    const bool stdinList = path == kListFromStdin;
    std::FILE* in = stdinList ? stdin : std::fopen(path.c_str(), "rb");
    if (!in) return core::Status::failure(core::ErrorCode::kOpenFailed, "Failed to open file - " + path, errno);
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
    const bool failed = std::ferror(in) != 0;
    const int error = errno;
    if (!stdinList) std::fclose(in);
    if (failed) return core::Status::failure(core::ErrorCode::kReadFailed, "Failed to read file - " + path, error);
    return parseFileList(text, paths);
}

std::string fullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::vector<std::string> withoutRepeats(std::vector<std::string> paths) {
    std::unordered_set<std::string> seen;
    std::vector<std::string> out;
    out.reserve(paths.size());
    for (auto& p : paths)
        if (seen.insert(p).second) out.push_back(std::move(p));
    return out;
}

std::optional<Slice> parseSlice(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto k = whole(text.substr(0, slash));
    const auto n = whole(text.substr(slash + 1));
    if (!k || !n || *n < 1 || *n > 1000000 || *k < 1 || *k > *n) return std::nullopt;
    return Slice{*k, *n};
}

std::vector<std::string> takeSlice(const std::vector<std::string>& paths, Slice slice) {
    std::vector<std::string> out;
    for (size_t i = static_cast<size_t>(slice.index - 1); i < paths.size(); i += static_cast<size_t>(slice.count))
        out.push_back(paths[i]);
    return out;
}

}  // namespace zorv::batch
