// Helpers of the modify, Premiere and file-date tests: a scratch folder, file copies and reads,
// generated clips, and the pack slots of a DV frame.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/dv_layout.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"
#include "gen/file_bytes.h"

namespace zorv::tools::test {

using Bytes = std::vector<uint8_t>;

class ModifyScratch {
public:
    ModifyScratch() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("zorv-modify-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~ModifyScratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline Bytes readBytes(const std::string& path) { return zorv::gen::fileBytes<Bytes>(path); }

inline void writeBytes(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A generated clip copied to `dest` (the cached original is never touched).
inline std::string clipCopy(const std::string& name, const gen::ClipSpec& clip, gen::Container container,
                            const std::string& dest, gen::IndexStyle style = gen::IndexStyle::OpenDml) {
    const std::string src = gen::cachedClip(name, clip, container, style);
    if (src.empty()) return {};
    std::filesystem::copy_file(src, dest, std::filesystem::copy_options::overwrite_existing);
    return dest;
}

// Offsets within one DIF sequence of every pack slot (PC0).
inline std::vector<size_t> packSlots() {
    std::vector<size_t> s;
    for (int j = 0; j < 12; ++j) s.push_back(core::dv::subcodePackOffset(j));
    for (int i = 0; i < 45; ++i) s.push_back(core::dv::vauxPackOffset(i));
    for (int k = 0; k < 9; ++k) s.push_back(core::dv::aauxPackOffset(k));
    return s;
}

// Frame data positions of a DV file (-1 for empty frames).
inline std::vector<int64_t> framePositions(const std::string& path) {
    media::DvMediaFile f;
    std::vector<int64_t> out;
    if (!f.open(path)) return out;
    for (int64_t n = 0; n < f.frameCount(); ++n) out.push_back(f.frameDataPosition(n));
    return out;
}

// The bytes of frame n.
inline Bytes frameBytes(const std::string& path, int64_t n) {
    media::DvMediaFile f;
    Bytes b;
    if (!f.open(path)) return b;
    b.resize(f.frameSize());
    if (!f.readFrame(n, b.data())) b.clear();
    return b;
}

inline media::DvMediaFile::Timecode timecodeOf(const std::string& path, int64_t n) {
    media::DvMediaFile f;
    media::DvMediaFile::Timecode tc;
    if (f.open(path)) f.readTimecode(n, tc);
    return tc;
}

inline media::DvMediaFile::RecordingDateTime dateTimeOf(const std::string& path, int64_t n) {
    media::DvMediaFile f;
    media::DvMediaFile::RecordingDateTime dt;
    if (f.open(path)) f.readRecordingDateTime(n, dt);
    return dt;
}

struct CommandResult {
    int status = -1;
    std::string output;
};

inline CommandResult run(const std::string& command) {
    CommandResult r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline bool haveTool(const char* name) { return run(std::string("command -v ") + name + " >/dev/null 2>&1").status == 0; }

}  // namespace zorv::tools::test
