#include "batch/batch_merge.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "batch/batch_log.h"
#include "batch/batch_results.h"
#include "media/output_file.h"

namespace zorv::batch {

namespace {

using core::ErrorCode;
using core::Status;

Status writeResults(const std::string& path, const std::vector<ResultRecord>& records, const media::OutputRules& rules) {
    media::OutputFile out;
    if (Status s = out.begin(path, rules); !s) return s;
    std::FILE* f = std::fopen(out.tempPath().c_str(), "wb");
    if (!f) return Status::failure(ErrorCode::kOpenFailed, "Failed to open file - " + path, errno);
    bool ok = true;
    for (const auto& rec : records) {
        const std::string line = resultLine(rec) + "\n";
        ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    const int error = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) return Status::failure(ErrorCode::kWriteFailed, "Failed to write file - " + path, error);
    return out.commit();
}

}  // namespace

Status mergeResultsFiles(const MergeRequest& request, MergeReport& report) {
    std::vector<ResultRecord> all;
    for (const auto& source : request.sources) {
        ResultsRead read;
        if (Status s = readResults(source, read); !s) return s;
        report.unreadable += read.unreadable;
        for (auto& rec : read.records) all.push_back(std::move(rec));
    }
    std::vector<ResultRecord> merged = mergeResults(all);
    if (!request.list.empty()) {
        std::unordered_map<std::string, size_t> place;
        for (size_t i = 0; i < request.list.size(); ++i) place.emplace(request.list[i], i);
        std::vector<std::vector<ResultRecord>> byPlace(request.list.size());
        std::vector<ResultRecord> others;
        for (auto& rec : merged) {
            const auto it = place.find(rec.result.path);
            if (it == place.end()) others.push_back(std::move(rec));
            else byPlace[it->second].push_back(std::move(rec));
        }
        merged.clear();
        for (size_t i = 0; i < byPlace.size(); ++i) {
            if (byPlace[i].empty()) report.missing.push_back(request.list[i]);
            for (auto& rec : byPlace[i]) merged.push_back(std::move(rec));
        }
        for (auto& rec : others) merged.push_back(std::move(rec));
    }

    media::OutputRules rules;
    rules.overwrite = request.overwrite;
    rules.inputs = request.sources;
    if (Status s = writeResults(request.results, merged, rules); !s) return s;

    BatchLog log;
    report.logWarning = log.open(request.logFolder);
    report.logPath = log.path();
    log.line(kLogTitleLine);
    log.line(kLogPathPrefix + log.path());
    for (const auto& source : request.sources) log.line(kLogMergedFrom + source);
    log.line(stampLine("Started on ", std::time(nullptr)));
    for (const auto& rec : merged) {
        const FileResult& r = rec.result;
        log.line(kLogProcessingFile + r.path);
        for (const auto& out : r.outputs) log.line("Output file: " + out.path);
        log.line(r.doneEarlier ? std::string(kDoneEarlierLine) : r.message);
        (r.outcome == FileOutcome::kDone      ? report.done
         : r.outcome == FileOutcome::kSkipped ? report.skipped
                                              : report.failed)++;
    }
    for (const auto& path : report.missing) {
        log.line(kLogProcessingFile + path);
        log.line(kLogNoResult);
    }
    char summary[160];
    std::snprintf(summary, sizeof summary, "\r\n%lld done, %lld skipped, %lld failed, %lld without a result",
                  static_cast<long long>(report.done), static_cast<long long>(report.skipped),
                  static_cast<long long>(report.failed), static_cast<long long>(report.missing.size()));
    log.line(summary);
    log.line(stampLine("\r\nFinished on ", std::time(nullptr)));
    log.close();
    return Status::success();
}

}  // namespace zorv::batch
