#include "tools/split_naming.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zorv::tools {

std::string splitNameSuffix(SplitNameFormat format, int64_t fileNumber, const SplitFrameInfo& first) {
    char buf[64];
    switch (format) {
    case SplitNameFormat::kNumber: std::snprintf(buf, sizeof buf, " %04lld", static_cast<long long>(fileNumber)); return buf;
    case SplitNameFormat::kDateTime:
        if (!first.recValid) return " -------- --.--.--";
        std::snprintf(buf, sizeof buf, " %04d-%02d-%02d %02d.%02d.%02d",
                      first.recYear2 < 90 ? 2000 + first.recYear2 : 1900 + first.recYear2, first.recMonth, first.recDay,
                      first.recHour, first.recMinute, first.recSecond);
        return buf;
    case SplitNameFormat::kUserBits: {
        if (!first.userBitsValid) return " --.--.--.--";
        const auto& u = first.userBits;
        std::snprintf(buf, sizeof buf, " %X%X.%X%X.%X%X.%X%X", u[3] >> 4, u[3] & 15, u[2] >> 4, u[2] & 15, u[1] >> 4,
                      u[1] & 15, u[0] >> 4, u[0] & 15);
        return buf;
    }
    case SplitNameFormat::kTimecode:
    default:
        if (!first.hasTimecode()) return " --.--.--.--";
        std::snprintf(buf, sizeof buf, " %02d.%02d.%02d.%02d", first.tcHours, first.tcMinutes, first.tcSeconds,
                      first.tcFrames);
        return buf;
    }
}

std::string pathWithoutExtension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

std::string uniqueFileName(const std::string& name) {
    std::string stem = pathWithoutExtension(name);
    std::string ext = name.substr(stem.size());
    if (stem.size() + ext.size() > kMaxSplitPathLength)
        stem.resize(kMaxSplitPathLength > ext.size() ? kMaxSplitPathLength - ext.size() : 0);
    std::string candidate = stem + ext;
    std::error_code ec;
    for (int n = 1; std::filesystem::exists(candidate, ec); ++n) candidate = stem + " (" + std::to_string(n) + ")" + ext;
    return candidate;
}

std::string reelWithLetter(const std::string& base, int counter) {
    int q = counter / 26, r = counter % 26;
    if (q > 26) q = r = 0;
    std::string reel = base;
    if (q > 0) reel += static_cast<char>('A' + q - 1);
    reel += static_cast<char>('A' + r);
    return reel;
}

}  // namespace zorv::tools
