// zorv batch --op OPERATION --out DIR [--jobs N] [--yes] FILE...: one operation over a list of files
// with the batch log in the output folder, the log lines on stdout and the progress on stderr; the list
// may come from a file, the results go to a JSON lines file, a stopped run resumes from it, a run may
// take one slice of the list, and --merge-results joins the results of several runs.
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch/batch_list.h"
#include "batch/batch_merge.h"
#include "batch/batch_progress.h"
#include "batch/batch_results.h"
#include "batch/batch_runner.h"
#include "batch/burn_checks.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/interrupt.h"
#include "core/options.h"

namespace zorv::cli {

namespace {

void batchUsage(FILE* out) {
    std::fputs(
        "usage: zorv batch --op OPERATION --out DIR [--jobs N] [--yes] [--from LIST] [--results FILE]\n"
        "                  [--resume FILE] [--slice K/N] [--] FILE...\n"
        "       zorv batch --merge-results --out DIR --results FILE [--from LIST] [--overwrite] RESULTS...\n\n"
        "Applies one operation to every FILE, writing the outputs and \"Batch-log.txt\" (or\n"
        "\"Batch-log (N).txt\") into DIR. Files of a type the operation does not take are skipped\n"
        "and logged; no failure stops the job. Exit status 1 when any file failed.\n\n"
        "operations:\n",
        out);
    for (const auto& e : batch::operationList())
        std::fprintf(out, "  %-14s %s%s\n", e.cliName, e.text,
                     batch::changesInputFiles(e.code) ? " (changes the input files)" : "");
    std::fputs(
        "\n  --jobs N        work on up to N files at once (default 1); the log stays in file order\n"
        "  --yes           do not ask before an operation that changes the input files\n"
        "  --from LIST     also take the files listed in LIST, one path per line (\"-\": standard\n"
        "                  input); blank lines and lines starting with # are ignored\n"
        "  --results FILE  append one JSON line per file to FILE as each file finishes\n"
        "  --resume FILE   skip the files FILE records as done whose outputs are still there with\n"
        "                  the recorded sizes, and run the others (FILE may also be --results)\n"
        "  --slice K/N     take only every N-th file of the list, starting with the K-th (1..N)\n"
        "  --merge-results join the results files of several runs into the --results file and\n"
        "                  one log in DIR; with --from, in the list's order, naming files without\n"
        "                  a result (exit status 1 when any file failed or has no result)\n"
        "Ctrl+C aborts the job after cancelling the running operation.\n",
        out);
}

const char* warningFor(batch::BatchOp op) {
    switch (op) {
    case batch::BatchOp::kFixPremiere:
        return "WARNING: This operation will make direct changes to the INPUT files.\r\n\r\nAre you SURE you want the "
               "operation to proceed?";
    case batch::BatchOp::kAppendDateToName:
        return "WARNING: This operation will change the file name of the INPUT files.\r\n\r\nAre you SURE you want "
               "the operation to proceed?";
    default:
        return "WARNING: This operation will change the Date Modified property of the INPUT files.\r\n\r\nAre you "
               "SURE you want the operation to proceed?";
    }
}

std::string plainLines(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string statusText(const core::Status& s) {
    std::string text = s.message;
    if (s.sysError != 0) text += std::string(" - ") + std::strerror(s.sysError);
    return text;
}

int terminalColumns() {
    struct winsize w {};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 ? w.ws_col : 80;
}

// The batch's progress on stderr: one line redrawn in place on a terminal, else a plain line when the
// count of finished files changed (at most one a second, and the last one).
class ProgressLines {
public:
    explicit ProgressLines(size_t total) : total_(total), terminal_(isatty(STDERR_FILENO) != 0) {}

    void show(const batch::BatchSnapshot& snap, const std::string& current, bool last) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double fraction = snap.overallFraction > 0 || total_ == 0
                                    ? snap.overallFraction
                                    : static_cast<double>(snap.filesFinished) / static_cast<double>(total_);
        std::string line =
            batch::batchProgressLine(snap.filesFinished, static_cast<int64_t>(total_), elapsed, fraction, current);
        if (terminal_) {
            const size_t columns = static_cast<size_t>(std::max(20, terminalColumns() - 1));
            if (line.size() > columns) line = line.substr(0, columns - 3) + "...";
            std::fprintf(stderr, "\r\033[K%s", line.c_str());
            drawn_ = true;
        } else {
            if (snap.filesFinished == shownCount_ || (!last && elapsed - shownAt_ < 1.0)) return;
            std::fprintf(stderr, "%s\n", line.c_str());
            shownCount_ = snap.filesFinished;
            shownAt_ = elapsed;
        }
        std::fflush(stderr);
    }
    // Before other text goes to the terminal.
    void clear() {
        if (drawn_) std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

private:
    size_t total_;
    bool terminal_;
    bool drawn_ = false;
    int64_t shownCount_ = -1;
    double shownAt_ = -1e9;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

int mergeResults(const std::string& folder, const std::string& results, const std::vector<std::string>& lists,
                 bool overwrite, const std::vector<std::string>& sources) {
    if (results.empty() || sources.empty()) {
        printError("--merge-results needs --results FILE and the results files to join");
        return 2;
    }
    if (const std::string problem = batch::checkOutputFolder(batch::BatchOp::kConvertAvi1, folder); !problem.empty()) {
        printError(problem);
        return 2;
    }
    batch::MergeRequest request;
    request.sources = sources;
    request.results = results;
    request.logFolder = folder;
    request.overwrite = overwrite;
    for (const auto& list : lists) {
        if (const core::Status s = batch::readFileList(list, request.list); !s) {
            printError(statusText(s));
            return 2;
        }
    }
    for (auto& path : request.list) path = batch::fullPath(path);
    batch::MergeReport report;
    if (const core::Status s = batch::mergeResultsFiles(request, report); !s) {
        printError(statusText(s));
        return 1;
    }
    if (!report.logWarning.empty()) printError(report.logWarning);
    std::fprintf(stderr, "%lld done, %lld skipped, %lld failed, %zu without a result; log: %s\n",
                 static_cast<long long>(report.done), static_cast<long long>(report.skipped),
                 static_cast<long long>(report.failed), report.missing.size(), report.logPath.c_str());
    if (report.unreadable > 0)
        std::fprintf(stderr, "%lld lines of the results files were not whole records and were left out\n",
                     static_cast<long long>(report.unreadable));
    return report.failed > 0 || !report.missing.empty() ? 1 : 0;
}

}  // namespace

int cmdBatch(int argc, char** argv) {
    std::string opName, folder, resultsPath;
    int jobs = 1;
    bool yes = false, merge = false, overwrite = false;
    std::optional<batch::Slice> slice;
    std::vector<std::string> files, lists, resumes;
    auto addTo = [](std::vector<std::string>& list) {
        return [&list](const char* v) {
            list.emplace_back(v);
            return 0;
        };
    };
    const CliOption options[] = {
        {"--op", {}, true, storeIn(opName)},
        {"--out", "-o", true, storeIn(folder)},
        {"--jobs",
         {},
         true,
         [&](const char* v) {
             auto n = parseInt(v);
             if (!n || *n < 1 || *n > 16) {
                 printError("--jobs takes a number from 1 to 16");
                 return 2;
             }
             jobs = static_cast<int>(*n);
             return 0;
         }},
        {"--yes", "-y", false, setFlag(yes)},
        {"--from", {}, true, addTo(lists)},
        {"--results", {}, true, storeIn(resultsPath)},
        {"--resume", {}, true, addTo(resumes)},
        {"--slice",
         {},
         true,
         [&](const char* v) {
             slice = batch::parseSlice(v);
             if (!slice) {
                 printError("--slice takes K/N with 1 <= K <= N");
                 return 2;
             }
             return 0;
         }},
        {"--merge-results", {}, false, setFlag(merge)},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
    CommandLine line{batchUsage, options, OperandForm::kDashOrNoLeadingDash};
    line.operand = addTo(files);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (merge) return mergeResults(folder, resultsPath, lists, overwrite, files);

    const batch::OperationEntry* op = batch::operationByCliName(opName);
    if (!op) op = batch::operationByText(opName);
    if (!op) {
        if (!opName.empty()) printError("Unknown operation: " + opName);
        batchUsage(stderr);
        return 2;
    }
    for (const auto& list : lists) {
        if (const core::Status s = batch::readFileList(list, files); !s) {
            printError(statusText(s));
            return 2;
        }
    }
    if (!lists.empty() && std::count(lists.begin(), lists.end(), std::string(batch::kListFromStdin)) > 1) {
        printError("Only one list can come from standard input");
        return 2;
    }
    files = batch::withoutRepeats(std::move(files));
    if (slice) files = batch::takeSlice(files, *slice);
    if (files.empty() && !slice) {
        printError(batch::kFileListEmpty);
        return 2;
    }
    if (const std::string problem = batch::checkOutputFolder(op->code, folder); !problem.empty()) {
        printError(problem);
        return 2;
    }
    if (batch::changesInputFiles(op->code) && !yes) {
        if (!isatty(STDIN_FILENO) || std::count(lists.begin(), lists.end(), std::string(batch::kListFromStdin))) {
            printError(std::string(warningFor(op->code)) + "\r\n(give --yes to proceed without a terminal)");
            return 1;
        }
        std::fprintf(stderr, "%s [y/N] ", plainLines(warningFor(op->code)).c_str());
        std::fflush(stderr);
        char answer[16] = {0};
        if (!std::fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y')) return 1;
    }

    // The earlier runs' records, read before this run appends to a results file that may be one of them.
    std::vector<batch::ResultRecord> earlier;
    for (const auto& resume : resumes) {
        batch::ResultsRead read;
        const core::Status s = batch::readResults(resume, read);
        if (!s) {
            // A job array task resumes from its own results file, which its first run creates.
            std::error_code ec;
            if (resume == resultsPath && !std::filesystem::exists(resume, ec)) continue;
            printError(statusText(s));
            return 2;
        }
        for (auto& rec : read.records) earlier.push_back(std::move(rec));
    }
    batch::ResultsWriter resultsFile;
    if (!resultsPath.empty()) {
        if (const core::Status s = resultsFile.open(resultsPath); !s) {
            printError(statusText(s));
            return 2;
        }
    }

    if (op->code == batch::BatchOp::kBurnIn) {
        // HDV and AVCHD files take the first decoder available for them.
        if (auto problem = batch::checkBurnDecoders(batch::fileTypes(files), core::Options::defaults(), false)) {
            printError(problem->title + "\n" + plainLines(problem->text));
            return 1;
        }
    }

    batch::BatchSettings settings;
    settings.op = op->code;
    settings.outputFolder = folder;
    settings.options = core::Options::defaults();
    settings.jobs = jobs;
    if (!resumes.empty()) {
        auto index = std::make_shared<const batch::ResumeIndex>(earlier, op->cliName);
        settings.doneEarlier = [index](const std::string& path) { return index->doneEarlier(path); };
    }
    batch::BatchRunner runner(std::move(settings));

    // Each file's line goes out as the file finishes; a results file that cannot be written stops the
    // job, as its lines are what a resumed run relies on.
    std::string resultsError;
    if (!resultsPath.empty()) {
        runner.setResultCallback([&](const batch::FileResult& result) {
            if (!resultsError.empty()) return;
            if (const core::Status s = resultsFile.write({op->cliName, result}); !s) {
                resultsError = statusText(s);
                runner.abort();
            }
        });
    }

    watchInterrupts(true);

    ProgressLines progress(files.size());
    runner.start(files);
    for (;;) {
        const bool done = !runner.running();
        if (interruptRequested()) runner.abort();
        const auto lines = runner.takeLines();
        if (!lines.empty()) {
            progress.clear();
            for (const auto& l : lines) std::printf("%s\n", plainLines(l).c_str());
            std::fflush(stdout);
        }
        const batch::BatchSnapshot snap = runner.poll();
        const std::string current =
            snap.currentFile >= 0 && static_cast<size_t>(snap.currentFile) < files.size() ? files[snap.currentFile] : "";
        progress.show(snap, done ? "" : current, done);
        if (done) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    runner.wait();
    progress.clear();
    for (const auto& l : runner.takeLines()) std::printf("%s\n", plainLines(l).c_str());
    std::fflush(stdout);
    watchInterrupts(false);

    if (const std::string w = runner.logWarning(); !w.empty()) printError(w);
    if (!resultsPath.empty()) {
        if (const core::Status s = resultsFile.close(); !s && resultsError.empty()) resultsError = statusText(s);
    }
    if (!resultsError.empty()) {
        printError(resultsError);
        return 1;
    }
    if (runner.aborted()) {
        printError(batch::kAbortedText);
        return 1;
    }
    return runner.failedCount() > 0 ? 1 : 0;
}

}  // namespace zorv::cli
