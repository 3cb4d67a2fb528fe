#include "tools/file_log_entry.h"

namespace zorv::tools {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string timecodeText(int hours, int minutes, int seconds, int frames, bool dropFrame,
                         core::DropFrameDisplay dropFrameForm) {
    if (hours < 0) return "--:--:--:--";
    const char* form = !dropFrame                                             ? "%02d:%02d:%02d:%02d"
                       : dropFrameForm == core::DropFrameDisplay::kEverywhere ? "%02d;%02d;%02d;%02d"
                                                                              : "%02d:%02d:%02d;%02d";
    char buf[48];
    std::snprintf(buf, sizeof buf, form, hours, minutes, seconds, frames);
    return buf;
}

void writeBatchListEntry(std::FILE* list, const std::string& path, const std::string& start, const std::string& end,
                         int64_t frames, const std::string& reel) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::fprintf(list, "%s,\"%s\",\"%s\",%lld,%s\r\n", quoted(name).c_str(), start.c_str(), end.c_str(),
                 static_cast<long long>(frames), quoted(reel).c_str());
    std::fflush(list);
}

}  // namespace zorv::tools
