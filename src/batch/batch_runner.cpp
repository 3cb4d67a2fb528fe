#include "batch/batch_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "batch/batch_list.h"
#include "batch/batch_progress.h"
#include "batch/batch_results.h"
#include "media/formats/format_table.h"
#include "media/avchd_avc_reader.h"
#include "media/dv_media_file.h"
#include "media/recognize.h"
#include "tools/audio_extract_factory.h"
#include "tools/burn_job_factory.h"
#include "tools/dv_convert.h"
#include "tools/dv_file_splitter.h"
#include "tools/dv_metadata_modifier.h"
#include "tools/export_job.h"
#include "tools/file_dates.h"
#include "tools/premiere_timecode.h"
#include "tools/rename_by_date.h"
#include "tools/system_text.h"

namespace zorv::batch {

namespace fs = std::filesystem;
using core::ErrorCode;
using core::Status;
using media::FileType;

namespace {

constexpr const char* kFileMissing = "ERROR: File does not exist";
constexpr const char* kNotRecognised =
    "ERROR: Not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD file - file skipped";
constexpr const char* kFolderGone = "ERROR: Batch output folder does not exist";
constexpr const char* kNoDuration = "ERROR: Failed to get duration of file";
constexpr const char* kNoAudioAtBuild = "File skipped - file does not have an audio stream";
constexpr const char* kNoAudioInRun = "ERROR: Audio extraction failed - no audio found";

std::string withPath(const char* format, const std::string& path) {
    std::string out;
    const std::string f = format;
    const size_t at = f.find("%s");
    return f.substr(0, at) + path + f.substr(at + 2);
}

bool isDvSubtype(uint32_t fourcc) {
    char c[4];
    for (int i = 0; i < 4; ++i) c[i] = static_cast<char>(std::tolower(static_cast<int>((fourcc >> (8 * i)) & 0xFF)));
    return c[0] == 'd' && c[1] == 'v' && c[2] == 's' && c[3] == 'd';
}

}  // namespace

std::string checkOutputFolder(BatchOp op, const std::string& folder) {
    if (folder.empty()) return changesInputFiles(op) ? kNoOutputFolderInPlace : kNoOutputFolder;
    std::error_code ec;
    const auto st = fs::status(folder, ec);
    if (!fs::exists(st)) return kOutputFolderMissing;
    if (!fs::is_directory(st)) return kOutputFolderNotFolder;
    return {};
}

struct BatchRunner::Slot {
    tools::BurnJob* burnJob = nullptr;  // under the runner's mutex
    std::atomic<bool> running{false};
    std::atomic<int64_t> done{0};
    std::atomic<int64_t> total{0};
    std::atomic<int64_t> weight{0};
};

struct BatchRunner::FileContext {
    size_t index = 0;
    std::string path;
    FileType type{};
    Slot* slot = nullptr;
    BatchRunner* runner = nullptr;
    std::string lastLine;              // the file's result line once it has finished
    std::vector<std::string> outputs;  // what a successful run has written
    void log(const std::string& line) {
        lastLine = line;
        runner->logFileLine(index, line);
    }
    // The output name in the folder for this operation, made unique and reserved.
    std::string output() {
        outputs.push_back(runner->reserveOutput(outputStem(runner->settings_.outputFolder, path) +
                                                outputSuffix(runner->settings_.op, type)));
        return outputs.back();
    }
};

BatchRunner::BatchRunner(BatchSettings settings) : settings_(std::move(settings)) {
    settings_.jobs = std::clamp(settings_.jobs, 1, 16);
}

BatchRunner::~BatchRunner() {
    abort();
    wait();
}

std::time_t BatchRunner::now() const { return clock_ ? clock_() : std::time(nullptr); }

bool BatchRunner::start(std::vector<std::string> files) {
    if (running_.load()) return false;
    if (worker_.joinable()) worker_.join();  // the previous job has finished
    {
        std::lock_guard lock(mutex_);
        started_ = false;
    }
    abort_.store(false);
    abortedJob_.store(false);
    finished_.store(false);
    running_.store(true);
    worker_ = std::thread([this, f = std::move(files)]() mutable { jobThread(std::move(f)); });
    return true;
}

void BatchRunner::run(std::vector<std::string> files) {
    if (start(std::move(files))) wait();
}

void BatchRunner::wait() {
    if (worker_.joinable()) worker_.join();
}

void BatchRunner::jobThread(std::vector<std::string> files) {
    // The weights of the whole list come first: they scale the overall bar from the first file on.
    // The log names every file by its full path, and the outputs go to the folder's full path.
    files_ = std::move(files);
    for (auto& f : files_) f = fullPath(f);
    {
        std::error_code ec;
        const fs::path folder = fs::absolute(settings_.outputFolder, ec);
        if (!ec && !settings_.outputFolder.empty()) settings_.outputFolder = folder.lexically_normal().string();
    }
    weights_.assign(files_.size(), 0);
    frames_.assign(files_.size(), -1);
    earlier_.assign(files_.size(), std::nullopt);
    totalWeight_ = 0;
    slots_.clear();
    for (size_t i = 0; i < files_.size(); ++i) {
        slots_.push_back(std::make_unique<Slot>());
        if (abort_.load()) continue;
        if (settings_.doneEarlier && (earlier_[i] = settings_.doneEarlier(files_[i]))) continue;
        const media::Recognition r = media::recognize(files_[i]);
        if (!r.ok()) continue;
        int64_t frames = 0;
        if (media::isDvType(r.type) && !changesInputFiles(settings_.op)) {
            media::DvMediaFile dv;
            frames = dv.open(files_[i]) ? dv.frameCount() : -1;
            frames_[i] = frames;
        }
        weights_[i] = std::max<int64_t>(0, fileWeight(settings_.op, r.type, frames, r.fileSize));
        totalWeight_ += weights_[i];
    }
    {
        std::lock_guard lock(mutex_);
        blocks_.assign(files_.size(), {});
        blockDone_.assign(files_.size(), false);
        outcomes_.assign(files_.size(), FileOutcome::kPending);
        results_.assign(files_.size(), FileResult{});
        filesFinished_ = 0;
        flushHead_ = 0;
        finishedWeight_ = 0;
        reserved_.clear();
        status_.clear();
        started_ = true;
        logWarning_ = log_.open(settings_.outputFolder);
        start_ = now();
        lastRemaining_ = start_;
    }
    logJobLine(kLogTitleLine);
    logJobLine(kLogPathPrefix + logPath());
    logJobLine(stampLine("Started on ", std::time(nullptr)));
    if (changesInputFiles(settings_.op)) logJobLine(kLogInputNote);

    next_.store(0);
    const int workers = std::min<int>(settings_.jobs, static_cast<int>(std::max<size_t>(files_.size(), 1)));
    std::vector<std::thread> threads;
    for (int i = 1; i < workers; ++i) threads.emplace_back([this] { fileThread(); });
    fileThread();
    for (auto& t : threads) t.join();

    if (abort_.load()) {
        abortedJob_.store(true);
        logJobLine(kLogAborted);
    }
    logJobLine(stampLine("\r\nFinished on ", std::time(nullptr)));
    {
        std::lock_guard lock(mutex_);
        log_.close();
        status_.clear();
    }
    finished_.store(true);
    running_.store(false);
}

void BatchRunner::fileThread() {
    for (;;) {
        if (abort_.load()) return;
        const size_t i = next_.fetch_add(1);
        if (i >= files_.size()) return;
        processFile(i);
    }
}

void BatchRunner::processFile(size_t index) {
    Slot& slot = *slots_[index];
    FileContext f;
    f.index = index;
    f.path = files_[index];
    f.slot = &slot;
    f.runner = this;
    slot.weight.store(weights_[index]);
    slot.done.store(0);
    slot.total.store(0);
    slot.running.store(true);

    const auto began = std::chrono::steady_clock::now();
    FileOutcome outcome = FileOutcome::kFailed;
    f.log(kLogProcessingFile + f.path);
    std::error_code ec;
    const bool earlier = earlier_[index].has_value();
    const media::Recognition r = !earlier && fs::exists(f.path, ec) ? media::recognize(f.path) : media::Recognition{};
    if (earlier) {
        f.log(kDoneEarlierLine);
        outcome = FileOutcome::kSkipped;
    } else if (!fs::exists(f.path, ec)) {
        f.log(kFileMissing);
        slot.weight.store(0);
    } else if (!r.ok()) {
        f.log(kNotRecognised);
    } else {
        f.type = r.type;
        const char* skip = nullptr;
        std::string subtypeSkip;
        if (media::isDvType(r.type) && !isDvSubtype(r.fourcc)) {
            char line[96];
            const char code[4] = {static_cast<char>(r.fourcc & 0xFF), static_cast<char>((r.fourcc >> 8) & 0xFF),
                                  static_cast<char>((r.fourcc >> 16) & 0xFF), static_cast<char>(r.fourcc >> 24)};
            std::snprintf(line, sizeof line, "File skipped - processing of media subtype \"%.4s\" not supported", code);
            subtypeSkip = line;
        } else {
            skip = skipLine(settings_.op, r.type);
        }
        if (!subtypeSkip.empty() || skip) {
            f.log(subtypeSkip.empty() ? skip : subtypeSkip);
            outcome = FileOutcome::kSkipped;
        } else if (!fs::is_directory(settings_.outputFolder, ec)) {
            f.log(kFolderGone);
        } else {
            f.log(startLine(settings_.op, r.type));
            switch (settings_.op) {
            case BatchOp::kConvertAvi1:
            case BatchOp::kConvertAvi2:
            case BatchOp::kConvertRawDv: outcome = runConvert(f); break;
            case BatchOp::kExtractAudio: outcome = runExtractAudio(f); break;
            case BatchOp::kBurnIn: outcome = runBurnIn(f); break;
            case BatchOp::kModify: outcome = runModify(f); break;
            case BatchOp::kSplit: outcome = runSplit(f); break;
            case BatchOp::kExportMetadata:
            case BatchOp::kExportSubtitles: outcome = runExport(f); break;
            default: outcome = runInPlace(f); break;
            }
        }
    }

    FileResult result;
    if (earlier) {
        result = *earlier_[index];
        result.message = kDoneEarlierMessage;
        result.doneEarlier = true;
        result.seconds = 0;
    } else {
        result.message = f.lastLine;
        result.frames = frames_[index];
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (outcome == FileOutcome::kDone) {
            for (const auto& out : f.outputs) {
                std::error_code sizeError;
                const auto size = fs::file_size(out, sizeError);
                if (sizeError && !fs::exists(out, ec)) continue;
                result.outputs.push_back({out, sizeError ? -1 : static_cast<int64_t>(size)});
            }
        }
    }
    result.path = f.path;
    result.outcome = outcome;
    if (outcome != FileOutcome::kAborted && outcome != FileOutcome::kPending && resultCallback_) {
        std::lock_guard report(resultMutex_);
        resultCallback_(result);
    }

    std::lock_guard lock(mutex_);
    outcomes_[index] = outcome;
    results_[index] = std::move(result);
    if (outcome != FileOutcome::kAborted) ++filesFinished_;
    finishedWeight_ += static_cast<double>(slot.weight.load());
    slot.running.store(false);
    blockDone_[index] = true;
    while (flushHead_ < files_.size() && blockDone_[flushHead_]) {
        ++flushHead_;
        if (flushHead_ < files_.size()) {
            for (const auto& line : blocks_[flushHead_]) {
                log_.line(line);
                newLines_.push_back(line);
                if (lineCallback_) lineCallback_(line);
            }
            blocks_[flushHead_].clear();
        }
    }
}

void BatchRunner::logFileLine(size_t index, const std::string& line) {
    std::lock_guard lock(mutex_);
    if (index != flushHead_) {
        blocks_[index].push_back(line);
        return;
    }
    log_.line(line);
    newLines_.push_back(line);
    if (lineCallback_) lineCallback_(line);
}

void BatchRunner::logJobLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    log_.line(line);
    newLines_.push_back(line);
    if (lineCallback_) lineCallback_(line);
}

std::string BatchRunner::reserveOutput(const std::string& path) {
    std::lock_guard lock(mutex_);
    const std::string unique = uniquePath(
        path, [](const std::string& p, void* ctx) { return static_cast<std::set<std::string>*>(ctx)->count(p) > 0; },
        &reserved_);
    reserved_.insert(unique);
    return unique;
}

Status BatchRunner::watch(core::Job& job, FileContext& f) {
    bool cancelled = false;
    // Short files finish in a few milliseconds: the first looks come soon, then every 20 ms.
    auto pause = std::chrono::microseconds(500);
    while (!job.finished()) {
        f.slot->total.store(job.progress().total());
        f.slot->done.store(job.progress().done());
        if (abort_.load() && !cancelled) {
            job.progress().cancel();
            cancelled = true;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
    Status s = job.wait();
    f.slot->total.store(job.progress().total());
    f.slot->done.store(job.progress().done());
    for (const core::Warning& w : s.warnings) f.log("WARNING: " + w.text);
    return s;
}

namespace {

// The completion of a watched job: the success line, the abort, or "ERROR: " with the failure.
FileOutcome complete(const Status& s, bool abortRequested, const std::function<void(const std::string&)>& log,
                     const char* successLine, const std::string& failureLine) {
    if (s.ok()) {
        log(successLine);
        return FileOutcome::kDone;
    }
    if (s.code == ErrorCode::kCancelled && abortRequested) return FileOutcome::kAborted;
    log(failureLine);
    return FileOutcome::kFailed;
}

}  // namespace

FileOutcome BatchRunner::runConvert(FileContext& f) {
    const tools::ConvertTarget target = settings_.op == BatchOp::kConvertAvi1   ? tools::ConvertTarget::kAviType1
                                        : settings_.op == BatchOp::kConvertAvi2 ? tools::ConvertTarget::kAviType2
                                                                                : tools::ConvertTarget::kRawDv;
    const std::string output = f.output();
    tools::DvConvertJob job(f.path, output, target);
    const Status built = job.build();
    if (!built) {
        f.log("ERROR: Build failed - " + tools::failureText(built));
        return FileOutcome::kFailed;
    }
    if (job.progress().total() <= 0) {
        f.log(kNoDuration);
        return FileOutcome::kFailed;
    }
    f.log(withPath("Output file: %s", output));
    if (!job.start()) {
        f.log("ERROR: Run failed - " + tools::failureText(job.wait()));
        return FileOutcome::kFailed;
    }
    const Status s = watch(job, f);
    return complete(
        s, abort_.load(), [&](const std::string& l) { f.log(l); }, "Conversion Complete", "ERROR: " + tools::failureText(s));
}

FileOutcome BatchRunner::runExtractAudio(FileContext& f) {
    const std::string output = f.output();
    tools::AudioExtraction x = tools::makeAudioExtraction(media::formatOf(f.type).family, f.path, output, false);
    const std::unique_ptr<core::Job> job = std::move(x.job);
    const Status& built = x.built;
    const std::optional<tools::ExtractionLogLines>& own = x.ownLog;
    if (!built) {
        if (own) {
            f.log(own->buildFailed);
            return FileOutcome::kFailed;
        }
        if (built.code == ErrorCode::kNoAudio) {
            f.log(kNoAudioAtBuild);
            return FileOutcome::kSkipped;
        }
        f.log("ERROR: Build failed - " + tools::failureText(built));
        return FileOutcome::kFailed;
    }
    // The AC-3 copy counts bytes, known once the input opened.
    if (!own && job->progress().total() <= 0) {
        f.log(kNoDuration);
        return FileOutcome::kFailed;
    }
    f.log(withPath("Output file: %s", output));
    if (!job->start()) {
        f.log(own ? std::string(own->startFailed) : "ERROR: Run failed - " + tools::failureText(job->wait()));
        return FileOutcome::kFailed;
    }
    const Status s = watch(*job, f);
    const std::string failed = own                               ? std::string(own->runFailed)
                               : s.code == ErrorCode::kNoAudio ? std::string(kNoAudioInRun)
                                                               : "ERROR: " + tools::failureText(s);
    return complete(s, abort_.load(), [&](const std::string& l) { f.log(l); }, "Audio Extraction Complete", failed);
}

FileOutcome BatchRunner::runBurnIn(FileContext& f) {
    tools::BurnRequest request;
    request.input = f.path;
    request.family = media::formatOf(f.type).family;
    request.options = settings_.options;
    request.output = f.output();
    request.drawers = settings_.drawers;
    const std::unique_ptr<tools::BurnJob> job =
        settings_.burnJobs ? settings_.burnJobs(request) : tools::makeBurnJob(request);
    if (!job->built()) {
        f.log("ERROR: Build failed - " + tools::failureText(job->built()));
        return FileOutcome::kFailed;
    }
    // A burn-in that counts its frames when it starts: the index gave the file's count already.
    if (job->countsFrames() && f.slot->weight.load() <= 0) {
        f.log(kNoDuration);
        return FileOutcome::kFailed;
    }
    f.log(withPath("Output file: %s", request.output));
    if (settings_.watcherTimesOutBurnIn) job->leaveTimeoutToWatcher();
    if (!job->start()) {
        f.log("ERROR: Run failed - " + tools::failureText(job->wait()));
        return FileOutcome::kFailed;
    }
    const bool watched = job->watchesProgress();
    if (watched) {
        std::lock_guard lock(mutex_);
        f.slot->burnJob = job.get();
    }
    const Status s = watch(*job, f);
    if (watched) {
        std::lock_guard lock(mutex_);
        f.slot->burnJob = nullptr;
    }
    if (s.code == ErrorCode::kCancelled && abort_.load()) return FileOutcome::kAborted;
    if (!s) {
        f.log(job->message(true));
        return FileOutcome::kFailed;
    }
    f.log(tools::kBatchBurnInComplete);
    if (job->lostPictures() > 0) {
        char line[160];
        std::snprintf(line, sizeof line, tools::kBatchBurnInLostFrames, static_cast<long long>(job->lostPictures()));
        f.log(line);
    }
    return FileOutcome::kDone;
}

FileOutcome BatchRunner::runModify(FileContext& f) {
    const std::string output = f.output();
    tools::DvMetadataModifier modifier;
    modifier.setSettings(tools::modifySettingsFromOptions(settings_.options));
    modifier.setInputPath(f.path);
    modifier.setOutputPath(output);
    if (!modifier.open()) {
        f.log("ERROR: " + tools::failureText(modifier.status()));
        return FileOutcome::kFailed;
    }
    f.log(withPath("Output file: %s", output));
    if (!modifier.start()) {
        f.log("ERROR: " + tools::failureText(modifier.wait()));
        return FileOutcome::kFailed;
    }
    const Status s = watch(modifier, f);
    return complete(
        s, abort_.load(), [&](const std::string& l) { f.log(l); }, "Metadata modification complete",
        "ERROR: " + tools::failureText(s));
}

FileOutcome BatchRunner::runSplit(FileContext& f) {
    tools::SplitSettings ss = tools::splitSettingsFrom(settings_.options);
    ss.outputFolder = settings_.outputFolder;
    f.log(withPath("Output stem: %s", outputStem(settings_.outputFolder, f.path)));
    tools::DvFileSplitter splitter;
    splitter.setSettings(ss);
    const Status opened = splitter.open(f.path);
    if (!opened) {
        f.log(splitter.noFilesCreated() ? "ERROR: Build failed, no split files created - " + tools::failureText(opened)
                                        : std::string("ERROR: Build failed"));
        return FileOutcome::kFailed;
    }
    if (!splitter.start()) {
        f.log("ERROR: Run failed - " + tools::failureText(splitter.wait()));
        return FileOutcome::kFailed;
    }
    const Status s = watch(splitter, f);
    for (const auto& out : splitter.outputs()) f.outputs.push_back(out.path);
    for (const auto& extra : {splitter.logPath(), splitter.batchListPath()})
        if (!extra.empty()) f.outputs.push_back(extra);
    return complete(
        s, abort_.load(), [&](const std::string& l) { f.log(l); }, "Split Complete", "ERROR: " + tools::failureText(s));
}

FileOutcome BatchRunner::runExport(FileContext& f) {
    const bool subtitles = settings_.op == BatchOp::kExportSubtitles;
    const std::string output = f.output();
    std::unique_ptr<tools::ExportJob> job;
    if (subtitles)
        job = std::make_unique<tools::ExportJob>(f.path, output, tools::SubtitleSettings::fromOptions(settings_.options),
                                                 false);
    else
        job = std::make_unique<tools::ExportJob>(f.path, output, tools::CsvExportSettings::fromOptions(settings_.options),
                                                 false);
    f.log(withPath("Output file: %s", output));
    if (!job->start()) {
        f.log(std::string("ERROR: ") + (subtitles ? tools::kSubtitleExportFailed : tools::kMetadataExportFailed));
        return FileOutcome::kFailed;
    }
    const Status s = watch(*job, f);
    return complete(
        s, abort_.load(), [&](const std::string& l) { f.log(l); },
        subtitles ? tools::kSubtitleExportComplete : tools::kMetadataExportComplete,
        std::string("ERROR: ") + (subtitles ? tools::kSubtitleExportFailed : tools::kMetadataExportFailed));
}

FileOutcome BatchRunner::runInPlace(FileContext& f) {
    FileOutcome outcome = FileOutcome::kFailed;
    f.slot->total.store(1);
    if (settings_.op == BatchOp::kFixPremiere) {
        const tools::PremiereFixOutcome o = tools::fixPremiereStartTimecode(f.path);
        f.outputs.push_back(f.path);
        f.log(tools::premiereFixLogLine(o));
        outcome = o.result == tools::PremiereFixResult::kFixed        ? FileOutcome::kDone
                  : o.result == tools::PremiereFixResult::kNoTimecode ? FileOutcome::kSkipped
                                                                      : FileOutcome::kFailed;
    } else if (settings_.op == BatchOp::kSetDateModified) {
        const Status s = tools::setDateModifiedFromRecording(f.path);
        f.outputs.push_back(f.path);
        f.log(s ? std::string("Date Modified set") : "ERROR: " + tools::failureText(s));
        outcome = s ? FileOutcome::kDone : FileOutcome::kFailed;
    } else {
        std::string renamed;
        const Status s = tools::renameWithStartDateTime(f.path, renamed);
        f.outputs.push_back(s ? renamed : f.path);
        if (!s) f.log("ERROR: " + tools::failureText(s));
        else if (renamed == f.path) f.log("File name already ends with its start date/time - not renamed");
        else f.log(withPath("Renamed to: %s", renamed));
        outcome = s ? FileOutcome::kDone : FileOutcome::kFailed;
    }
    f.slot->done.store(1);
    return outcome;
}

BatchSnapshot BatchRunner::poll() {
    BatchSnapshot snap;
    snap.running = running_.load();
    snap.finished = finished_.load();
    snap.aborted = abortedJob_.load();
    std::lock_guard lock(mutex_);
    snap.filesFinished = filesFinished_;
    if (snap.finished) {
        snap.overallPercent = 100;
        snap.overallFraction = 1;
        return snap;
    }
    if (!snap.running || !started_) return snap;
    double runningPart = 0;
    for (size_t i = 0; i < slots_.size(); ++i) {
        const Slot& s = *slots_[i];
        if (!s.running.load()) continue;
        const int64_t total = s.total.load();
        const int64_t done = std::min(s.done.load(), total);
        if (snap.currentFile < 0) {
            snap.currentFile = static_cast<int64_t>(i);
            snap.filePercent = filePercent(done, total);
        }
        if (s.burnJob && snap.burnFile < 0) {
            snap.burnFile = static_cast<int64_t>(i);
            snap.burnPosition = s.burnJob->position();
        }
        if (total > 0) runningPart += static_cast<double>(done) * static_cast<double>(s.weight.load()) / total;
    }
    snap.overallPercent = overallPercent(finishedWeight_, runningPart, static_cast<double>(totalWeight_));
    snap.overallFraction =
        totalWeight_ > 0 ? std::min(1.0, (finishedWeight_ + runningPart) / static_cast<double>(totalWeight_)) : 0.0;
    const std::time_t t = now();
    const int64_t elapsed = static_cast<int64_t>(t - start_);
    if (elapsed >= 5 && snap.overallPercent >= 1 && t - lastRemaining_ >= 2) {
        status_ = remainingTimeText(elapsed, snap.overallPercent);
        lastRemaining_ = t;
    }
    snap.status = status_;
    return snap;
}

void BatchRunner::timeOutBurnIn() {
    std::lock_guard lock(mutex_);
    if (!started_) return;
    for (const auto& slot : slots_)
        if (slot->burnJob) slot->burnJob->timeOut();
}

std::vector<std::string> BatchRunner::takeLines() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    out.swap(newLines_);
    return out;
}

std::string BatchRunner::logPath() const {
    std::lock_guard lock(mutex_);
    return log_.path();
}

std::string BatchRunner::logWarning() const {
    std::lock_guard lock(mutex_);
    return logWarning_;
}

std::vector<FileOutcome> BatchRunner::outcomes() const {
    std::lock_guard lock(mutex_);
    return outcomes_;
}

std::vector<FileResult> BatchRunner::results() const {
    std::lock_guard lock(mutex_);
    return results_;
}

int BatchRunner::failedCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(outcomes_.begin(), outcomes_.end(), FileOutcome::kFailed));
}

}  // namespace zorv::batch
