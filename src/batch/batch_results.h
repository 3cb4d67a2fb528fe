// The results file of a batch: one JSON line per file, written as the job finishes with the file,
// so another program can follow the run and a run that stops leaves every finished line whole.
//
//   {"path":"/in/Clip.avi","operation":"export","outcome":"done","message":"Metadata export complete",
//    "outputs":[{"path":"/out/Clip.csv","size":5120}],"frames":250,"seconds":0.042}
//
// outcome is "done", "skipped" or "failed"; frames is null when not known. A file skipped because an
// earlier run had done it has the message "done in an earlier run", the earlier outputs and
// "done_earlier":true. The file is opened for appending: every line goes out in one write, so several
// runs on one machine may share a file, and a line torn by a crash is ended before the next one
// starts. Readers skip lines that are not whole records.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "batch/file_result.h"
#include "core/error.h"

namespace zorv::batch {

inline constexpr const char* kDoneEarlierMessage = "done in an earlier run";
inline constexpr const char* kDoneEarlierLine = "File skipped - done in an earlier run";  // the log's line

// "done", "skipped", "failed" (others: "").
const char* outcomeName(FileOutcome outcome);

struct ResultRecord {
    std::string operation;  // the `zorv batch --op` word
    FileResult result;
};

// The line without its line end.
std::string resultLine(const ResultRecord& record);
// A whole record, or nullopt for anything else (torn line, other JSON).
std::optional<ResultRecord> parseResultLine(std::string_view line);

struct ResultsRead {
    std::vector<ResultRecord> records;  // in file order
    int64_t unreadable = 0;             // non-blank lines that are no record
};
core::Status readResults(const std::string& path, ResultsRead& out);

class ResultsWriter {
public:
    ResultsWriter() = default;
    ~ResultsWriter();
    ResultsWriter(const ResultsWriter&) = delete;
    ResultsWriter& operator=(const ResultsWriter&) = delete;

    // Opens (creating it when missing) the file for appending.
    core::Status open(const std::string& path);
    // Writes the record's line with one write; the line reaches the file before this returns.
    core::Status write(const ResultRecord& record);
    // Writes the file's data to the disk and closes it.
    core::Status close();

private:
    int fd_ = -1;
    std::string path_;
    bool endTornLine_ = false;  // the file ended in a partial line: start with a line end
};

// The files an earlier run finished, from its results: a file counts as done for an operation when
// its last line for that operation says "done" and every output it lists still exists with the
// recorded size (a line of a resumed run that skipped the file as done earlier counts as done).
class ResumeIndex {
public:
    ResumeIndex(const std::vector<ResultRecord>& records, const std::string& operation);
    // The earlier record of a file done and still intact, else nullopt.
    std::optional<FileResult> doneEarlier(const std::string& path) const;
    size_t size() const { return last_.size(); }

private:
    std::unordered_map<std::string, FileResult> last_;
};

// One record per file and operation from several results files: a "done" line over a "skipped" line
// over a "failed" one, and of equals the last one read. In the order of the paths (bytewise), then
// of the operations.
std::vector<ResultRecord> mergeResults(const std::vector<ResultRecord>& records);

}  // namespace zorv::batch
