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

ExportJob::~ExportJob() { stop(); }

core::Status ExportJob::work() {
    const bool stream = isStreamExportType(media::recognize(input_).type);
    // HDV and AVCHD streams: cues timed by the pictures' own times.
    if (subtitles_ && stream) return exportStreamSubtitlesFile(input_, output_, subtitleSettings_, overwrite_, &progress_);
    if (subtitles_) return exportSubtitlesFile(input_, output_, subtitleSettings_, overwrite_, &progress_);
    // HDV and AVCHD streams: the DV columns from each picture's record, plus GPS.
    if (stream) return exportStreamMetadataCsvFile(input_, output_, csv_, overwrite_, &progress_);
    return exportMetadataCsvFile(input_, output_, csv_, overwrite_, &progress_);
}

}  // namespace zorv::tools
