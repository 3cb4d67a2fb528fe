#include "playback/player.h"

namespace zorv::playback {

class PlayerImpl {
public:
    std::string path;
    std::string lastError;
    std::unique_ptr<AudioOutput> audio = makeNullAudioOutput();
};

OverlayFrame ShownPicture::overlayFrame() const {
    OverlayFrame f;
    f.record = hasMetadata ? &record : nullptr;
    f.frameNumber = index;
    f.timecodeStyle = timecodeStyle;
    f.linePeriod = linePeriod;
    f.hdvTimecodeFrames = hdvTimecodeFrames;
    f.pts = pts;
    f.pictureType = pictureType;
    f.frameType = frameType;
    return f;
}

const char* errorAbortText(PlayerFamily family) {
    switch (family) {
        case PlayerFamily::kHdv: return "Failed while attempting to play HDV file";
        case PlayerFamily::kAvchd: return "Failed while attempting to play AVCHD file";
        default: return "Failed while attempting to play file";
    }
}

Player::Player() : impl_(std::make_unique<PlayerImpl>()) {}
Player::~Player() = default;

core::Status Player::open(const std::string& path, const PlayerConfig&) {
    impl_->lastError = "Could not open file";
    return core::Status::failure(core::ErrorCode::kOpenFailed, impl_->lastError);
}
void Player::close() {}
PlayerFamily Player::family() const { return PlayerFamily::kNone; }
media::FileType Player::fileType() const { return media::FileType::kUnknown; }
const std::string& Player::path() const { return impl_->path; }
PlayerState Player::state() const { return PlayerState::kClosed; }
core::Status Player::run() { return core::Status::failure(core::ErrorCode::kReadFailed, "Could not run filter graph"); }
core::Status Player::pause() { return core::Status::failure(core::ErrorCode::kReadFailed, "Could not pause filter graph"); }
core::Status Player::stop() { return core::Status::failure(core::ErrorCode::kReadFailed, "Could not stop filter graph"); }
int64_t Player::duration() const { return 0; }
int64_t Player::pictureDuration() const { return 0; }
int64_t Player::pictureCount() const { return 0; }
int64_t Player::position() const { return 0; }
int64_t Player::pictureIndex() const { return -1; }
bool Player::seekable() const { return false; }
core::Status Player::setPosition(int64_t) { return core::Status::failure(core::ErrorCode::kReadFailed, "Could not set position"); }
core::Status Player::setPictureIndex(int64_t) { return setPosition(0); }
core::Status Player::stepPictures(int64_t) { return setPosition(0); }
core::Status Player::stepTime(int64_t) { return setPosition(0); }
core::Status Player::stepIFrame(int) { return setPosition(0); }
core::Status Player::scanScenes(core::Progress*) { return core::Status::failure(core::ErrorCode::kReadFailed); }
bool Player::scenesScanned() const { return false; }
core::Status Player::nextScene(bool& moved) { moved = false; return {}; }
core::Status Player::previousScene(bool& moved) { moved = false; return {}; }
std::vector<int64_t> Player::sceneStarts() const { return {}; }
bool Player::currentPicture(ShownPicture&) const { return false; }
int64_t Player::pictureSerial() const { return 0; }
bool Player::currentMetadata(core::MetadataRecord&) const { return false; }
void Player::setPictureCallback(std::function<void()>) {}
void Player::setEventCallback(std::function<void(const PlayerEvent&)>) {}
bool Player::pollEvent(PlayerEvent&) { return false; }
std::string Player::lastError() const { return impl_->lastError; }
AudioOutput& Player::audio() { return *impl_->audio; }
void Player::setVolume(int percent) { impl_->audio->setVolume(percent); }
void Player::setMute(bool mute) { impl_->audio->setMute(mute); }
bool Player::hasGeotagging() const { return false; }
std::optional<std::string> Player::mapPosition() const { return std::nullopt; }
int64_t Player::droppedPictures() const { return 0; }
int64_t Player::shownPictures() const { return 0; }

}  // namespace zorv::playback
