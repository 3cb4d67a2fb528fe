#include "tools/stream_picture_walk.h"

#include <cerrno>

#include "media/formats/format_table.h"
#include "media/avchd_avc_reader.h"
#include "media/recognize.h"
#include "media/ts_packet_stream.h"

namespace zorv::tools {

namespace {

core::Status cancelled() { return core::Status::failure(core::ErrorCode::kCancelled, "Operation Cancelled"); }

}  // namespace

core::Status openStreamWalk(const std::string& path, StreamWalk& walk, core::Progress* progress) {
    const media::Recognition rec = media::recognize(path);
    if (!rec.ok()) return core::Status::failure(core::ErrorCode::kOpenFailed, "Failed to open the input file");
    if (!isStreamExportType(rec.type)) {
        return core::Status::failure(core::ErrorCode::kOpenFailed, "The file is not an HDV or AVCHD file");
    }
    walk.path = path;
    const media::FormatDescriptor& format = media::formatOf(rec.type);
    walk.avchd = format.family == core::MediaFamily::kAvchd;
    walk.fileSize = rec.fileSize;
    if (walk.avchd) {
        media::AvcReader reader;
        if (core::Status opened = reader.open(path, false); !opened)
            return core::Status::failure(core::ErrorCode::kOpenFailed, opened.message);
        const double rate = reader.sps().frameRate();
        walk.avchdRate = rate;
        walk.timecodeStyle = (rate > 24.5 && rate < 25.5) || (rate > 49.5 && rate < 50.5) ? 2 : 4;
        return core::Status::success();
    }
    core::Status st = media::scanHdvStream(path, format.hdvLines == 720, walk.hdv, [progress](int64_t done, int64_t total) {
        if (!progress) return true;
        progress->setTotal(total);
        progress->setDone(done);
        return !progress->cancelled();
    });
    if (st.code == core::ErrorCode::kCancelled) return cancelled();
    return st;
}

namespace {

core::Status noPictures() { return core::Status::failure(core::ErrorCode::kNoOutput, kNoStreamPictures); }

}  // namespace

core::Status walkStreamPictures(const StreamWalk& walk, core::Progress* progress,
                                const std::function<bool(const StreamPicture&)>& take) {
    StreamPicture picture;
    if (!walk.avchd) {
        for (const media::HdvMetadataRecord& r : walk.hdv.records) {
            if (progress && progress->cancelled()) return cancelled();
            hdvStreamPicture(r, picture);
            if (!take(picture)) return core::Status::failure(core::ErrorCode::kWriteFailed);
            ++picture.index;
        }
        if (picture.index == 0) return noPictures();
        core::Status done;
        media::warnSkippedBytes(done, walk.hdv.skippedBytes);
        return done;
    }
    bool failed = false, stopped = false;
    int64_t skipped = 0;
    const int64_t total = walk.fileSize > 0 ? walk.fileSize : 1;
    if (progress) progress->setTotal(total);
    const core::Status read = media::readAvchdMetadata(
        walk.path,
        [&](const media::AvchdMetadataRecord& r, int64_t) {
            if (progress && progress->cancelled()) {
                stopped = true;
                return false;
            }
            avchdStreamPicture(r, walk.timecodeStyle, picture);
            if (!take(picture)) {
                failed = true;
                return false;
            }
            ++picture.index;
            return true;
        },
        &skipped);
    if (failed) return core::Status::failure(core::ErrorCode::kWriteFailed);
    if (stopped) return cancelled();
    if (!read && !read.message.empty()) return core::Status::failure(core::ErrorCode::kOpenFailed, read.message);
    if (!read) return core::Status::failure(core::ErrorCode::kReadFailed, "Failed to read the input file");
    if (picture.index == 0) return noPictures();
    if (progress) progress->setDone(total);
    core::Status done;
    media::warnSkippedBytes(done, skipped);
    return done;
}

}  // namespace zorv::tools
