// The damaged-file corpus, written once per build of the test program into a folder beside it and
// shared by every test process (a lock keeps parallel ctest runs from writing it twice).
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "gen/broken_corpus.h"
#include "limited_run.h"

namespace zorv::hardening {

inline const std::string& corpusDir() {
    static const std::string dir = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        const fs::path d = exe.parent_path() / "hardening-corpus";
        const std::string want = std::to_string(fs::last_write_time(exe, ec).time_since_epoch().count());
        const int lock = open((exe.parent_path() / "hardening-corpus.lock").c_str(), O_CREAT | O_RDWR, 0644);
        if (lock >= 0) flock(lock, LOCK_EX);
        if (fileBytes((d / ".stamp").string()) != want) {
            fs::remove_all(d, ec);
            if (gen::writeBrokenCorpus(d.string())) std::ofstream(d / ".stamp") << want;
        }
        if (lock >= 0) close(lock);
        return d.string();
    }();
    return dir;
}

inline std::string corpusFile(const std::string& name) { return (std::filesystem::path(corpusDir()) / name).string(); }

}  // namespace zorv::hardening
