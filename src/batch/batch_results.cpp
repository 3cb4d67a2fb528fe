#include "batch/batch_results.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/json_text.h"

namespace zorv::batch {

namespace {

using core::ErrorCode;
using core::JsonValue;
using core::Status;

constexpr FileOutcome kReported[] = {FileOutcome::kDone, FileOutcome::kSkipped, FileOutcome::kFailed};

// Higher is better when several lines speak of one file.
int rank(FileOutcome o) { return o == FileOutcome::kDone ? 2 : o == FileOutcome::kSkipped ? 1 : 0; }

std::optional<int64_t> wholeNumber(const JsonValue* v) {
    if (!v || v->kind != JsonValue::Kind::kNumber || !std::isfinite(v->number) || v->number != std::floor(v->number) ||
        std::fabs(v->number) > 9.0e15)
        return std::nullopt;
    return static_cast<int64_t>(v->number);
}

}  // namespace

const char* outcomeName(FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::kDone: return "done";
    case FileOutcome::kSkipped: return "skipped";
    case FileOutcome::kFailed: return "failed";
    default: return "";
    }
}

std::string resultLine(const ResultRecord& record) {
    const FileResult& r = record.result;
    std::string out = "{\"path\":";
    core::appendJsonString(out, r.path);
    out += ",\"operation\":";
    core::appendJsonString(out, record.operation);
    out += ",\"outcome\":";
    core::appendJsonString(out, outcomeName(r.outcome));
    out += ",\"message\":";
    core::appendJsonString(out, r.message);
    if (r.doneEarlier) out += ",\"done_earlier\":true";
    out += ",\"outputs\":[";
    for (size_t i = 0; i < r.outputs.size(); ++i) {
        out += i ? ",{\"path\":" : "{\"path\":";
        core::appendJsonString(out, r.outputs[i].path);
        out += ",\"size\":" + std::to_string(r.outputs[i].size) + "}";
    }
    out += "],\"frames\":";
    out += r.frames >= 0 ? std::to_string(r.frames) : "null";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", std::isfinite(r.seconds) ? std::clamp(r.seconds, 0.0, 1.0e12) : 0.0);
    out += ",\"seconds\":";
    out += seconds;
    out += "}";
    return out;
}

std::optional<ResultRecord> parseResultLine(std::string_view line) {
    const auto v = core::parseJson(line);
    if (!v || v->kind != JsonValue::Kind::kObject) return std::nullopt;
    ResultRecord rec;
    auto path = v->stringAt("path");
    auto operation = v->stringAt("operation");
    auto outcome = v->stringAt("outcome");
    auto message = v->stringAt("message");
    const JsonValue* outputs = v->find("outputs");
    if (!path || path->empty() || !operation || !outcome || !message || !outputs || outputs->kind != JsonValue::Kind::kArray)
        return std::nullopt;
    rec.operation = std::move(*operation);
    rec.result.path = std::move(*path);
    rec.result.message = std::move(*message);
    for (FileOutcome o : kReported)
        if (*outcome == outcomeName(o)) rec.result.outcome = o;
    if (rec.result.outcome == FileOutcome::kPending) return std::nullopt;
    if (const JsonValue* earlier = v->find("done_earlier"))
        rec.result.doneEarlier = earlier->kind == JsonValue::Kind::kBool && earlier->boolean;
    for (const JsonValue& item : outputs->items) {
        if (item.kind != JsonValue::Kind::kObject) return std::nullopt;
        auto outPath = item.stringAt("path");
        const auto size = wholeNumber(item.find("size"));
        if (!outPath || !size) return std::nullopt;
        rec.result.outputs.push_back({std::move(*outPath), *size});
    }
    if (const JsonValue* frames = v->find("frames"); frames && frames->kind != JsonValue::Kind::kNull) {
        const auto n = wholeNumber(frames);
        if (!n) return std::nullopt;
        rec.result.frames = *n;
    }
    if (const auto seconds = v->numberAt("seconds")) rec.result.seconds = *seconds;
    return rec;
}

Status readResults(const std::string& path, ResultsRead& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::failure(ErrorCode::kOpenFailed, "Failed to open file - " + path, errno);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (auto rec = parseResultLine(line)) out.records.push_back(std::move(*rec));
        else ++out.unreadable;
    }
    if (in.bad()) return Status::failure(ErrorCode::kReadFailed, "Failed to read file - " + path, errno);
    return Status::success();
}

ResultsWriter::~ResultsWriter() { close(); }

Status ResultsWriter::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return Status::failure(ErrorCode::kOpenFailed, "Failed to open file - " + path, errno);
    path_ = path;
    endTornLine_ = false;
    struct stat st {};
    if (fstat(fd_, &st) == 0 && st.st_size > 0) {
        const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        char last = '\n';
        if (reader >= 0) {
            if (pread(reader, &last, 1, st.st_size - 1) != 1) last = '\n';
            ::close(reader);
        }
        endTornLine_ = last != '\n';
    }
    return Status::success();
}

Status ResultsWriter::write(const ResultRecord& record) {
    if (fd_ < 0) return Status::failure(ErrorCode::kWriteFailed, "Failed to write file - " + path_);
    std::string line = (endTornLine_ ? "\n" : "") + resultLine(record) + "\n";
    size_t at = 0;
    while (at < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + at, line.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Status::failure(ErrorCode::kWriteFailed, "Failed to write file - " + path_, errno);
        at += static_cast<size_t>(n);
    }
    endTornLine_ = false;
    return Status::success();
}

Status ResultsWriter::close() {
    if (fd_ < 0) return Status::success();
    Status s;
    if (fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        s = Status::failure(ErrorCode::kWriteFailed, "Failed to write file - " + path_, errno);
    if (::close(fd_) != 0 && s.ok()) s = Status::failure(ErrorCode::kWriteFailed, "Failed to write file - " + path_, errno);
    fd_ = -1;
    return s;
}

ResumeIndex::ResumeIndex(const std::vector<ResultRecord>& records, const std::string& operation) {
    for (const auto& rec : records)
        if (rec.operation == operation) last_[rec.result.path] = rec.result;
}

std::optional<FileResult> ResumeIndex::doneEarlier(const std::string& path) const {
    const auto it = last_.find(path);
    // A file a resumed run skipped was done before that run: its line stands for the same outputs.
    if (it == last_.end()) return std::nullopt;
    const FileResult& r = it->second;
    if (r.outcome != FileOutcome::kDone && !r.doneEarlier) return std::nullopt;
    for (const auto& out : r.outputs) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(out.path, ec);
        if (ec || out.size < 0 || static_cast<int64_t>(size) != out.size) return std::nullopt;
    }
    return r;
}

std::vector<ResultRecord> mergeResults(const std::vector<ResultRecord>& records) {
    std::vector<ResultRecord> out;
    std::unordered_map<std::string, size_t> at;  // path + NUL + operation -> index in out
    for (const auto& rec : records) {
        const std::string key = rec.result.path + '\0' + rec.operation;
        const auto [it, fresh] = at.emplace(key, out.size());
        if (fresh) out.push_back(rec);
        else if (rank(rec.result.outcome) >= rank(out[it->second].result.outcome)) out[it->second] = rec;
    }
    std::stable_sort(out.begin(), out.end(), [](const ResultRecord& a, const ResultRecord& b) {
        return a.result.path != b.result.path ? a.result.path < b.result.path : a.operation < b.operation;
    });
    return out;
}

}  // namespace zorv::batch
