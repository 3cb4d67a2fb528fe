// A folder of generated camcorder files for the batch tests: DV AVI Type 1 and 2, Raw DV, 1080- and
// 720-line HDV, AVCHD and a file of no known type, made once per test run with zorv-gen.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "gen/file_bytes.h"
#include "gen/media_cache.h"

namespace zorv::testing {

inline bool runGen(const std::string& args) {
    const std::string cmd = std::string(ZORV_GEN_PATH) + " " + args + " >/dev/null 2>&1";
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zorv-batch-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// The generated inputs, by short name: a1, a2, raw, hdv, hdv720, avchd, junk.
class BatchMedia {
public:
    static BatchMedia& get() {
        static BatchMedia media;
        return media;
    }
    bool ok() const { return ok_; }
    const std::string& path(const std::string& name) const { return paths_.at(name); }
    std::vector<std::string> all() const {
        return {path("a1"), path("a2"), path("raw"), path("hdv"), path("hdv720"), path("avchd"), path("junk")};
    }
    // Copies of the inputs in a folder of the caller's (for the operations that change their inputs).
    std::vector<std::string> copiesIn(const TempFolder& folder) const {
        std::vector<std::string> out;
        for (const auto& p : all()) {
            const std::string to = folder.file(std::filesystem::path(p).filename().string());
            std::filesystem::copy_file(p, to);
            out.push_back(to);
        }
        return out;
    }

private:
    BatchMedia() {
        const std::pair<const char*, const char*> made[] = {
            {"Clip1.avi", "clip {} --frames 50 --audio tone"},
            {"Clip2.avi", "clip {} --frames 50 --container avi2 --audio tone"},
            {"Tape.dv", "clip {} --frames 50 --container rawdv"},
            {"Hdv.m2t", "hdv {} --frames 60"},
            {"Hdv720.m2t", "hdv {} --frames 60 --720"},
            {"Avchd.mts", "avchd {} --frames 100"},
        };
        const char* names[] = {"a1", "a2", "raw", "hdv", "hdv720", "avchd"};
        ok_ = true;
        for (size_t i = 0; i < std::size(made); ++i) {
            paths_[names[i]] = gen::cachedMedia(made[i].first, made[i].second);
            ok_ = ok_ && !paths_[names[i]].empty();
        }
        paths_["junk"] = folder_.file("Notes.bin");
        std::ofstream junk(paths_["junk"], std::ios::binary);
        std::mt19937 rng(7);
        for (int i = 0; i < 200000; ++i) junk.put(static_cast<char>(rng() & 0xFF));
    }

    TempFolder folder_;
    std::map<std::string, std::string> paths_;
    bool ok_ = false;
};

inline std::string readText(const std::string& path) { return zorv::gen::fileBytes(path); }

// The log split at its CR LF line ends.
inline std::vector<std::string> logLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// Each file's block: the lines after "Processing file: PATH" up to the next blank line, by path.
inline std::map<std::string, std::vector<std::string>> fileBlocks(const std::vector<std::string>& lines) {
    std::map<std::string, std::vector<std::string>> blocks;
    const std::string prefix = "Processing file: ";
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) != 0) continue;
        auto& b = blocks[lines[i].substr(prefix.size())];
        for (size_t j = i + 1; j < lines.size() && !lines[j].empty(); ++j) b.push_back(lines[j]);
    }
    return blocks;
}

}  // namespace zorv::testing
