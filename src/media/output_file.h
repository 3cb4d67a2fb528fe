// The one way every tool writes a file the user asked for. An output is created under a temporary
// name in its destination folder and takes its final name only at commit(), after the run succeeded.
// Until then a file of that name is left as it was; an output that is destroyed uncommitted (a failed,
// cancelled or interrupted run) removes its temporary file. Before anything is created the output is
// checked against the run's inputs by device and inode, so no path, link or hard link to an input can
// ever be written, and an existing output is replaced only when the caller allows it.
#pragma once

#include <string>
#include <vector>

#include "core/error.h"

namespace zorv::media {

struct OutputRules {
    bool overwrite = false;           // an existing file (or a link to one) may be replaced at commit
    std::vector<std::string> inputs;  // files the run reads: the output may be none of them
};

// What an output path stands for before the run: refusals come with the system's message.
// kOutputIsInput: "The output file is the input file: OUT is INPUT"
// kOutputExists: "The output file already exists: OUT (use --overwrite)"
// kOpenFailed: dangling link, a folder, or a folder that does not exist.
core::Status checkOutput(const std::string& path, const OutputRules& rules);

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks path against the rules and creates an empty temporary file beside it (mode 0666 less
    // the umask, as a plain create would give). The writers open tempPath().
    core::Status begin(const std::string& path, const OutputRules& rules);

    bool active() const { return !temp_.empty(); }
    const std::string& tempPath() const { return temp_; }

    // Flushes the temporary file to disk and renames it to the final name (through a link to an
    // existing file, that file is replaced and the link kept). Checks once more that the final name
    // was not taken, or turned into an input, while the run went on.
    core::Status commit();
    // The end of a run: commits after a successful one (a failed commit becomes the result, else the
    // run's own result is kept), removes the temporary file after any other.
    core::Status finish(core::Status result);
    // Removes the temporary file; the final name is untouched. Safe to call twice.
    void discard();

private:
    std::string final_;   // as given
    std::string target_;  // where the rename goes: final_, or the file a link at final_ points to
    std::string temp_;
    OutputRules rules_;
    int slot_ = -1;  // place in the list a signal handler cleans up
};

// Removes every temporary output of this process that is still open. Only async-signal-safe calls:
// for a handler that ends the process at once on a second interrupt.
void removePendingOutputsFromSignal();

// The temporary name used for path: ".NAME.zorv-XXXXXX" in the same folder (XXXXXX filled by mkstemp).
std::string temporaryOutputPattern(const std::string& path);

}  // namespace zorv::media
