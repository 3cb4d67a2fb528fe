// Generated media shared by every test process of a run. Each file is made once by zorv-gen, under a
// lock, in a folder of its own beside the generator, and takes its name only when complete; a new
// build of the generator clears the folder. ZORV_GEN_CACHE names another folder, which the test run
// gives both of its builds so that the sanitizer build's tests read what the optimised build's made
// (the run clears it first). Tests read these files and never change them: a test that changes an
// input works on a copy.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "gen/file_bytes.h"
#include "gen/shell_quote.h"

namespace zorv::gen {

// The file `zorv-gen ARGS` makes, where "{}" in ARGS stands for its path, named fileName; made by
// the first caller. "" when zorv-gen failed.
inline std::string cachedMedia(const std::string& fileName, const std::string& args) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const char* shared = std::getenv("ZORV_GEN_CACHE");
    const fs::path gen = ZORV_GEN_PATH;
    const fs::path root = shared && *shared ? fs::path(shared) : gen.parent_path() / "media-cache";
    fs::create_directories(root, ec);
    const int lock = open((root / ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) flock(lock, LOCK_EX);
    if (!(shared && *shared)) {
        const std::string stamp = std::to_string(fs::last_write_time(gen, ec).time_since_epoch().count());
        if (fileBytes(root / ".stamp") != stamp) {
            for (const auto& e : fs::directory_iterator(root, ec))
                if (e.path().filename() != ".lock") fs::remove_all(e.path(), ec);
            std::ofstream(root / ".stamp") << stamp;
        }
    }
    const fs::path dir = root / std::to_string(std::hash<std::string>{}(fileName + '\n' + args));
    const fs::path file = dir / fileName;
    if (!fs::exists(file)) {
        fs::create_directories(dir, ec);
        const fs::path part = dir / (".part-" + fileName);
        std::string cmd = args;
        for (size_t at; (at = cmd.find("{}")) != std::string::npos;) cmd.replace(at, 2, shellQuoted(part.string()));
        const int st = std::system((shellQuoted(gen.string()) + " " + cmd + " >/dev/null 2>&1").c_str());
        if (st == 0) fs::rename(part, file, ec);
        fs::remove(part, ec);
    }
    if (lock >= 0) close(lock);
    return fs::exists(file) ? file.string() : std::string();
}

}  // namespace zorv::gen
