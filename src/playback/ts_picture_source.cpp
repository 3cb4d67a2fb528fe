#include "playback/ts_picture_source.h"

namespace zorv::playback {

core::Status TsPictureSource::openHdv(const std::string&, const PlayerConfig&) {
    error_ = "Could not load M2T file (reason 0)";
    return core::Status::failure(core::ErrorCode::kOpenFailed, error_);
}

core::Status TsPictureSource::openAvchd(const std::string&, const PlayerConfig&) {
    error_ = "Could not load AVC file (reason 0)";
    return core::Status::failure(core::ErrorCode::kOpenFailed, error_);
}

bool TsPictureSource::decode(int64_t, ShownPicture&, AudioBlock*) { return false; }

int64_t TsPictureSource::keyPicture(int64_t, int) { return -1; }

}  // namespace zorv::playback
