#include "tools/export_job.h"

#include <utility>

#include "media/recognize.h"
#include "tools/stream_csv_export.h"
#include "tools/stream_subtitle_export.h"

namespace zorv::tools {

ExportJob::ExportJob(std::string input, std::string output, const CsvExportSettings& settings, bool overwrite)
    : input_(std::move(input)), output_(std::move(output)), subtitles_(false), csv_(settings), overwrite_(overwrite) {}

ExportJob::ExportJob(std::string input, std::string output, const SubtitleSettings& settings, bool overwrite)
    : input_(std::move(input)),
      output_(std::move(output)),
      subtitles_(true),
      subtitleSettings_(settings),
      overwrite_(overwrite) {}

ExportJob::~ExportJob() {
    if (worker_.joinable()) {
        progress_.cancel();
        worker_.join();
    }
}

bool ExportJob::start() {
    if (worker_.joinable()) return false;
    finished_ = false;
    worker_ = std::thread([this] {
        const bool stream = isStreamExportType(media::recognize(input_).type);
        if (subtitles_ && stream) {
            // HDV and AVCHD streams: cues timed by the pictures' own times.
            result_ = exportStreamSubtitlesFile(input_, output_, subtitleSettings_, overwrite_, &progress_);
        } else if (subtitles_) {
            result_ = exportSubtitlesFile(input_, output_, subtitleSettings_, overwrite_, &progress_);
        } else if (stream) {
            // HDV and AVCHD streams: the DV columns from each picture's record, plus GPS.
            result_ = exportStreamMetadataCsvFile(input_, output_, csv_, overwrite_, &progress_);
        } else {
            result_ = exportMetadataCsvFile(input_, output_, csv_, overwrite_, &progress_);
        }
        finished_ = true;
    });
    return true;
}

core::Status ExportJob::wait() {
    if (worker_.joinable()) worker_.join();
    return result_;
}

}  // namespace zorv::tools
