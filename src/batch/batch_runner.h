// The batch job runner: one operation applied to a list of files, each handled by the same tools the
// main window uses, with per-file type rules, output names in one output folder, the batch log, the
// file and overall progress, the remaining time and abort. No user interface: the window and the
// command line start a job, poll it (bars, status line, new log lines) and may abort it.
//
// With jobs > 1, up to that many files are worked on at once, each with its own output and its own
// log block. Blocks are written whole and in file order: the lowest-numbered unfinished file writes
// its lines as they come, the others keep theirs until every earlier file has finished, so the log
// reads the same whatever the number of jobs.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_log.h"
#include "batch/batch_operation.h"
#include "batch/file_result.h"
#include "core/options.h"
#include "tools/burn_job_factory.h"

namespace zorv::batch {

// Checks before a job starts (the window shows them titled "Error!").
inline constexpr const char* kFileListEmpty = "File list is empty";
inline constexpr const char* kNoFileChecked = "No files marked with a check";
inline constexpr const char* kNoOutputFolder = "No output folder specified";
inline constexpr const char* kNoOutputFolderInPlace =
    "No output folder specified\r\n\r\nThis operation makes changes directly to the input files and therefore does "
    "not create any separate output files in the output folder. However an output folder is still required as this "
    "is where the batch log file will be created. The log file is the only file that will be created in the output "
    "folder.";
inline constexpr const char* kOutputFolderMissing = "Output folder does not exist";
inline constexpr const char* kOutputFolderNotFolder = "Output folder is not a folder";
inline constexpr const char* kAbortedText = "Operation Aborted";
inline constexpr const char* kAbortedTitle = "Aborted";

// The message for an unusable output folder, or empty when the folder will do.
std::string checkOutputFolder(BatchOp op, const std::string& folder);

struct BatchSettings {
    BatchOp op = BatchOp::kConvertAvi1;
    std::string outputFolder;
    core::Options options = core::Options::defaults();
    int jobs = 1;                    // files worked on at once (1..16)
    overlay::DrawerFactory drawers;  // burn-in drawing; empty: the overlay layer of the options
    tools::BurnJobMaker burnJobs;    // the burn-in jobs; empty: tools::makeBurnJob
    // HDV and AVCHD burn-ins time themselves out after 10 s without progress unless the watcher
    // does it with its own timer (poll() snapshots, BurnTimeoutWatch, timeOutBurnIn()).
    bool watcherTimesOutBurnIn = false;
    // Files an earlier run finished (resume): their earlier record, or nothing to run the file. A
    // file it names is logged as skipped, reported with the earlier outputs, and not opened.
    std::function<std::optional<FileResult>(const std::string& path)> doneEarlier;
};

// What a watcher shows, computed at each poll.
struct BatchSnapshot {
    bool running = false;
    bool finished = false;
    bool aborted = false;
    int filePercent = 0;
    int overallPercent = 0;
    std::string status;          // remaining time, or empty
    int64_t currentFile = -1;    // index of the (first) running file
    int64_t burnFile = -1;       // index of the file whose HDV/AVCHD burn-in runs, or -1
    int64_t burnPosition = -1;   // that burn-in's position (0 until a picture went through)
    int64_t filesFinished = 0;   // files the job has finished with (done, skipped or failed)
    double overallFraction = 0;  // the overall bar's share of the job (0..1), not rounded
};

class BatchRunner {
public:
    explicit BatchRunner(BatchSettings settings);
    // Aborts a running job and waits for it.
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Receives every log line as it is written (on a worker thread). Set before start().
    void setLineCallback(std::function<void(const std::string&)> callback) { lineCallback_ = std::move(callback); }
    // Receives each file's result as soon as the job has finished with it, in the order the files
    // finish (on a worker thread, one call at a time). Not called for a file the abort stopped.
    void setResultCallback(std::function<void(const FileResult&)> callback) { resultCallback_ = std::move(callback); }
    // Seconds since the epoch; replaceable for tests of the remaining time.
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

    // Starts the job on a worker thread over the (checked) files. The output folder must have passed
    // checkOutputFolder(). False when a job is already running.
    bool start(std::vector<std::string> files);
    // start() and wait().
    void run(std::vector<std::string> files);
    // Sets the abort flag: no further file is started and the running operations are cancelled.
    void abort() { abort_.store(true); }
    // Times out the running HDV/AVCHD burn-in: its partial output is deleted, the timed-out line
    // logged, and the job goes on with the next file.
    void timeOutBurnIn();
    bool running() const { return running_.load(); }
    void wait();

    // Bars, status line and state now. Also updates the remaining-time line by its rules (at most
    // every 2 seconds, from 5 seconds after the start and 1 % on).
    BatchSnapshot poll();
    // Log lines written since the last call, in order.
    std::vector<std::string> takeLines();

    // After the log has been started.
    std::string logPath() const;
    // "Failed to create batch log file - ..." when the log file could not be created (the job then
    // goes on with the on-screen log only), else empty.
    std::string logWarning() const;
    // Per file, in the order given; valid once the job has finished.
    std::vector<FileOutcome> outcomes() const;
    // Per file, in the order given; valid once the job has finished (outcome kPending: not reached).
    std::vector<FileResult> results() const;
    int failedCount() const;
    bool aborted() const { return abortedJob_.load(); }
    int64_t totalWeight() const { return totalWeight_; }

private:
    struct Slot;
    struct FileContext;

    void jobThread(std::vector<std::string> files);
    void fileThread();
    void processFile(size_t index);
    void logFileLine(size_t index, const std::string& line);
    void logJobLine(const std::string& line);
    std::string reserveOutput(const std::string& path);
    std::time_t now() const;

    // The operations, each logging into the file's block.
    FileOutcome runConvert(FileContext& f);
    FileOutcome runExtractAudio(FileContext& f);
    FileOutcome runBurnIn(FileContext& f);
    FileOutcome runModify(FileContext& f);
    FileOutcome runSplit(FileContext& f);
    FileOutcome runExport(FileContext& f);
    FileOutcome runInPlace(FileContext& f);
    // Polls a started job until it finishes, copying its progress into the file's slot and passing
    // an abort on as a cancel; returns the job's result.
    core::Status watch(core::Job& job, FileContext& f);

    BatchSettings settings_;
    std::function<void(const std::string&)> lineCallback_;
    std::function<void(const FileResult&)> resultCallback_;
    std::mutex resultMutex_;  // one result callback at a time
    std::function<std::time_t()> clock_;

    std::vector<std::string> files_;
    std::vector<int64_t> weights_;
    int64_t totalWeight_ = 0;
    std::vector<std::unique_ptr<Slot>> slots_;  // one per file
    std::atomic<size_t> next_{0};

    mutable std::mutex mutex_;  // guards everything below, the log and the blocks
    BatchLog log_;
    std::string logWarning_;
    std::vector<std::vector<std::string>> blocks_;
    std::vector<bool> blockDone_;
    size_t flushHead_ = 0;
    std::vector<std::string> newLines_;
    std::set<std::string> reserved_;
    std::vector<FileOutcome> outcomes_;
    std::vector<FileResult> results_;
    std::vector<std::optional<FileResult>> earlier_;  // by file: finished by an earlier run
    std::vector<int64_t> frames_;                     // by file: DV frame count, -1 when not known
    int64_t filesFinished_ = 0;
    bool started_ = false;  // the weights are known and the log is open
    std::time_t start_ = 0;
    std::time_t lastRemaining_ = 0;
    std::string status_;
    double finishedWeight_ = 0;

    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> abort_{false};
    std::atomic<bool> abortedJob_{false};
};

}  // namespace zorv::batch
