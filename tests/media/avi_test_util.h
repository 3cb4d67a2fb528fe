// Helpers for tests that check written AVI files: reading files, walking RIFF chunks and asking
// ffprobe/ffmpeg about them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "gen/file_bytes.h"

namespace zorv::avitest {

inline std::vector<uint8_t> readAll(const std::string& path) { return zorv::gen::fileBytes<std::vector<uint8_t>>(path); }

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline uint32_t le32(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24;
}
inline uint64_t le64(const std::vector<uint8_t>& d, size_t at) {
    return uint64_t(le32(d, at)) | uint64_t(le32(d, at + 4)) << 32;
}
inline std::string tag(const std::vector<uint8_t>& d, size_t at) {
    return std::string(reinterpret_cast<const char*>(&d[at]), 4);
}

struct Chunk {
    std::string id;  // FourCC; for lists "LIST"/"RIFF" + ":" + list type
    size_t pos;      // position of the chunk header
    uint32_t size;
};

// Every chunk of the file, depth first, lists included.
inline void walk(const std::vector<uint8_t>& d, size_t from, size_t to, std::vector<Chunk>& out) {
    while (from + 8 <= to && from + 8 <= d.size()) {
        std::string id = tag(d, from);
        uint32_t size = le32(d, from + 4);
        if (id == "RIFF" || id == "LIST") {
            out.push_back({id + ":" + tag(d, from + 8), from, size});
            walk(d, from + 12, std::min<size_t>(from + 8 + size, d.size()), out);
        } else {
            out.push_back({id, from, size});
        }
        from += 8 + size + (size & 1);
    }
}
inline std::vector<Chunk> chunks(const std::vector<uint8_t>& d) {
    std::vector<Chunk> out;
    walk(d, 0, d.size(), out);
    return out;
}

// Standard output of a shell command; exit status in status.
inline std::string run(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    if (status) *status = st;
    return out;
}

// Frames counted by ffprobe when decoding the first video stream; -1 when ffprobe rejects the file.
inline long ffprobeFrames(const std::string& path) {
    int st = 0;
    std::string out =
        run("ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames "
            "-of default=nw=1:nk=1 '" +
                path + "' 2>&1",
            &st);
    if (st != 0 || out.empty()) return -1;
    return std::strtol(out.c_str(), nullptr, 10);
}

// Number of streams of a type ("video", "audio") ffprobe sees.
inline int ffprobeStreams(const std::string& path, const std::string& type) {
    std::string out = run("ffprobe -v error -show_entries stream=codec_type -of default=nw=1:nk=1 '" + path + "'");
    int n = 0;
    for (size_t p = out.find(type); p != std::string::npos; p = out.find(type, p + 1)) ++n;
    return n;
}

// The video packets of the file copied out by ffmpeg, back to back.
inline std::string ffmpegVideoBytes(const std::string& path) {
    return run("ffmpeg -v quiet -i '" + path + "' -map 0:v -c copy -f rawvideo - 2>/dev/null");
}

}  // namespace zorv::avitest
