// Runs the built command-line tools from tests and captures what they print.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "gen/file_bytes.h"
#include "gen/shell_quote.h"

namespace zorv::testing {

struct RunResult {
    int status = -1;  // exit status
    std::string out;  // stdout (and stderr when merged)
};

// Runs a shell command line; with mergeStderr, stderr is captured too.
inline RunResult runCommand(const std::string& cmd, bool mergeStderr = true) {
    RunResult r;
    std::string full = cmd + (mergeStderr ? " 2>&1" : " 2>/dev/null");
    FILE* p = popen(full.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline std::string quote(const std::string& s) { return gen::shellQuoted(s); }

// The whole content of a file ("" when it cannot be read).
inline std::string fileText(const std::string& path) { return gen::fileBytes(path); }

inline RunResult runZorv(const std::string& args) { return runCommand(std::string(ZORV_CLI_PATH) + " " + args); }
inline RunResult runGen(const std::string& args) { return runCommand(std::string(ZORV_GEN_PATH) + " " + args); }

// A fresh temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zorv-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace zorv::testing
