// The metadata exports as jobs: the CSV rows or the subtitles of one DV file written on a worker
// thread, with progress and cancel through the job's Progress, for the batch runner and the window.
#pragma once

#include <string>

#include "core/threaded_job.h"
#include "tools/csv_export.h"
#include "tools/subtitle_export.h"

namespace zorv::tools {

inline constexpr const char* kMetadataExportComplete = "Metadata export complete";
inline constexpr const char* kMetadataExportFailed = "Failed to export metadata";
inline constexpr const char* kSubtitleExportComplete = "Subtitle export complete";
inline constexpr const char* kSubtitleExportFailed = "Failed to export subtitles";

class ExportJob : public core::ThreadedJob {
public:
    // CSV rows of input into output.
    ExportJob(std::string input, std::string output, const CsvExportSettings& settings, bool overwrite);
    // Subtitles of input into output.
    ExportJob(std::string input, std::string output, const SubtitleSettings& settings, bool overwrite);
    ~ExportJob() override;
    ExportJob(const ExportJob&) = delete;
    ExportJob& operator=(const ExportJob&) = delete;

    bool subtitles() const { return subtitles_; }
    const std::string& output() const { return output_; }

    // wait(): success, or the failure with its message and errno ("Operation Cancelled" on cancel).

private:
    core::Status work() override;

    std::string input_, output_;
    bool subtitles_;
    CsvExportSettings csv_;
    SubtitleSettings subtitleSettings_;
    bool overwrite_;
};

}  // namespace zorv::tools
