// The batch log: every line goes to whoever shows the on-screen log and, while the file is open, to
// "Batch-log.txt" in the output folder (made unique as "Batch-log (1).txt", ...). Lines end in CR LF
// in the file; a line may itself hold CR LF pairs (the leading blank line of "Processing file").
#pragma once

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

namespace zorv::batch {

inline constexpr const char* kLogFileName = "Batch-log.txt";
inline constexpr const char* kLogTitleLine = "ZORV Pro - Batch processing log file";
inline constexpr const char* kLogPathPrefix = "Log pathname: ";
inline constexpr const char* kLogProcessingFile = "\r\nProcessing file: ";  // + the input's full path
inline constexpr const char* kLogInputNote =
    "\r\nNote: This operation directly modifies the INPUT files, so there\r\nare no separate output files. The output "
    "folder will only contain\r\nthe log file.";
inline constexpr const char* kLogAborted = "Operation ABORTED by user!";
inline constexpr const char* kLogCreateFailed = "Failed to create batch log file - ";

// "Started on " / "\r\nFinished on " + date + " at " + time, in the locale's date and time forms.
std::string stampLine(const char* prefix, std::time_t when);

class BatchLog {
public:
    BatchLog() = default;
    ~BatchLog();
    BatchLog(const BatchLog&) = delete;
    BatchLog& operator=(const BatchLog&) = delete;

    // Creates the unique log file in the folder (a trailing '/' removed). On failure the log keeps
    // going on screen only; the returned text is kLogCreateFailed + the system's text, else empty.
    std::string open(const std::string& folder);
    const std::string& path() const { return path_; }
    bool fileOpen() const { return file_ != nullptr; }

    // Receives every line (without the CR LF) for the on-screen log; called on the writer's thread.
    void setScreen(std::function<void(const std::string&)> screen) { screen_ = std::move(screen); }
    void line(const std::string& text);
    void close();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::function<void(const std::string&)> screen_;
};

}  // namespace zorv::batch
