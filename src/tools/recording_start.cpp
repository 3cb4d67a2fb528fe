#include "tools/recording_start.h"

#include "media/dv_media_file.h"

namespace zorv::tools {

core::Status readRecordingStart(const std::string& path, StartDateTime& out) {
    media::DvMediaFile media;
    const media::Recognition r = media.recognise(path);
    if (r.status.code == core::ErrorCode::kNotRecognised)
        return core::Status::failure(core::ErrorCode::kReadFailed, kStartTypeNotSupported);
    if (!r.ok()) return core::Status::failure(core::ErrorCode::kOpenFailed, kStartOpenFailed, r.status.sysError);
    if (!media::isDvType(r.type)) return core::Status::failure(core::ErrorCode::kReadFailed, kStartTypeNotSupported);
    if (!media.open(path))
        return core::Status::failure(core::callFaultOr(media.lastError(), core::ErrorCode::kReadFailed), kStartOpenFailed,
                                     media.sysError());
    int64_t first = 0;
    while (first < media.frameCount() && media.frameDataPosition(first) < 0) ++first;
    media::DvMediaFile::RecordingDateTime dt;
    if (first >= media.frameCount() || !media.readRecordingDateTime(first, dt))
        return core::Status::failure(core::ErrorCode::kReadFailed, kStartNotFound);
    out = StartDateTime{dt.year, dt.month, dt.day, dt.hours, dt.minutes, dt.seconds};
    return core::Status::success();
}

}  // namespace zorv::tools
