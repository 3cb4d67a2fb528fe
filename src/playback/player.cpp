#include "playback/player.h"

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "media/codec/codec_registry.h"
#include "media/dv_media_file.h"
#include "media/formats/format_table.h"
#include "media/recognize.h"
#include "playback/dv_picture_source.h"
#include "playback/picture_source.h"
#include "playback/player_clock.h"
#include "playback/ts_picture_source.h"

namespace zorv::playback {

namespace {

constexpr size_t kMaxErrorText = 128;

}  // namespace

class PlayerImpl {
public:
    ~PlayerImpl() { shutDown(); }

    core::Status fail(core::ErrorCode code, std::string text) {
        if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
        lastError = text;
        return core::Status::failure(code, std::move(text));
    }

    void shutDown() {
        {
            std::lock_guard<std::mutex> lk(mutex);
            quit = true;
            ++generation;
        }
        cv.notify_all();
        if (thread.joinable()) thread.join();
        quit = false;
        if (audio) audio->close();
        source.reset();
        state = PlayerState::kClosed;
        family = core::MediaFamily::kNone;
        type = media::FileType{};
        shownIndex = -1;
        {
            std::lock_guard<std::mutex> lk(shownMutex);
            shown = ShownPicture{};
        }
    }

    // Decodes index into work and makes it the shown picture, outside a run (open, seek, step, stop);
    // called with mutex held. Its sound is kept for the next run, which writes it first.
    bool showIndex(int64_t index) {
        shownSoundPending = false;
        if (!source->decode(index, work, audioOn ? &shownSound : nullptr)) return false;
        publish();
        shownSoundPending = audioOn && shownSound.frames > 0;
        return true;
    }

    void publish() {
        {
            std::lock_guard<std::mutex> lk(shownMutex);
            std::swap(shown, work);
            shown.serial = ++serial;
        }
        shownIndex = shown.index;
        shownTime = shown.time;
        ++shownCount;
        pictureReady = true;
    }

    void pushEvent(PlayerEvent ev) {
        std::lock_guard<std::mutex> lk(eventMutex);
        events.push_back(ev);
        pendingEvents.push_back(std::move(ev));
    }

    // Callbacks run on the player's thread without the player's lock held.
    void deliver() {
        std::function<void()> pictureCb;
        std::function<void(const PlayerEvent&)> eventCb;
        std::deque<PlayerEvent> toSend;
        {
            std::lock_guard<std::mutex> lk(eventMutex);
            pictureCb = pictureCallback;
            eventCb = eventCallback;
            toSend.swap(pendingEvents);
        }
        if (pictureReady.exchange(false) && pictureCb) pictureCb();
        if (eventCb)
            for (const auto& ev : toSend) eventCb(ev);
    }

    // With a device that plays in real time the sound is the master: the clock is moved to the time
    // being heard when the two drift apart by more than a few milliseconds.
    void followSound(const AudioBlock& block) {
        if (!audio->paced() || block.sampleRate <= 0) return;
        const int64_t written = block.startTime + static_cast<int64_t>(block.frames) * 10000000 / block.sampleRate;
        const int64_t heard = written - audio->latency();
        constexpr int64_t kTolerance = 400000;  // 40 ms
        if (heard >= 0 && std::llabs(clock.now() - heard) > kTolerance) clock.set(heard);
    }

    // Writes a picture's sound ahead of it, without the lock: the device may block while full. False
    // when a seek, pause or stop came meanwhile; its flush may have run before the write, so the
    // stale sound goes now.
    bool writeSound(std::unique_lock<std::mutex>& lk, const AudioBlock& block, uint64_t gen) {
        lk.unlock();
        const bool written =
            audio->open(block.sampleRate, block.channels) && audio->write(block.samples.data(), block.frames);
        lk.lock();
        if (gen != generation || quit) {
            audio->flush();
            return false;
        }
        if (written) followSound(block);
        return true;
    }

    void loop() {
        std::unique_lock<std::mutex> lk(mutex);
        while (!quit) {
            if (state != PlayerState::kRunning) {
                lk.unlock();
                deliver();
                lk.lock();
                if (quit) break;
                if (state != PlayerState::kRunning) cv.wait(lk);
                continue;
            }
            if (shownSoundPending) {
                // The picture on screen when the run started: its sound, then the pictures after it.
                shownSoundPending = false;
                const uint64_t gen = generation;
                if (!writeSound(lk, shownSound, gen)) continue;
            }
            const int64_t next = shownIndex + 1;
            if (next >= source->pictureCount()) {
                state = PlayerState::kPaused;
                clock.pause();
                pushEvent(PlayerEvent{PlayerEventKind::kComplete, 0, {}});
                continue;
            }
            const uint64_t gen = generation;
            AudioBlock* sound = audioOn ? &audioBlock : nullptr;
            if (!source->decode(next, work, sound)) {
                state = PlayerState::kPaused;
                clock.pause();
                lastError = source->error().substr(0, kMaxErrorText);
                pushEvent(PlayerEvent{PlayerEventKind::kErrorAbort, 0, errorAbortText(family)});
                continue;
            }
            if (sound && audioBlock.frames > 0 && !writeSound(lk, audioBlock, gen)) continue;
            const auto due = clock.when(work.time);
            cv.wait_until(lk, due, [&] { return quit || gen != generation; });
            if (quit || gen != generation) continue;
            // A picture decoded after its own time is over is skipped, not shown late.
            if (clock.now() >= work.time + work.duration && next + 1 < source->pictureCount()) {
                ++dropped;
                shownIndex = next;
                continue;
            }
            publish();
            lk.unlock();
            deliver();
            lk.lock();
        }
    }

    mutable std::mutex mutex;
    std::condition_variable cv;
    std::thread thread;
    bool quit = false;
    uint64_t generation = 0;

    std::unique_ptr<PictureSource> source;
    core::MediaFamily family = core::MediaFamily::kNone;
    media::FileType type = media::FileType{};
    std::string path;
    std::atomic<PlayerState> state{PlayerState::kClosed};
    Clock clock;
    std::atomic<int64_t> shownIndex{-1};
    std::atomic<int64_t> shownTime{0};
    ShownPicture work;
    AudioBlock audioBlock;
    AudioBlock shownSound;  // the sound of the picture shown outside a run
    bool shownSoundPending = false;
    bool audioOn = false;
    std::unique_ptr<AudioOutput> audio = makeNullAudioOutput();

    mutable std::mutex shownMutex;
    ShownPicture shown;
    int64_t serial = 0;
    std::atomic<bool> pictureReady{false};

    std::mutex eventMutex;
    std::deque<PlayerEvent> events;
    std::deque<PlayerEvent> pendingEvents;
    std::function<void()> pictureCallback;
    std::function<void(const PlayerEvent&)> eventCallback;

    std::atomic<int64_t> dropped{0};
    std::atomic<int64_t> shownCount{0};
    std::string lastError;
};

overlay::OverlayFrame ShownPicture::overlayFrame() const {
    overlay::OverlayFrame f;
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

const char* errorAbortText(core::MediaFamily family) {
    switch (family) {
    case core::MediaFamily::kHdv: return "Failed while attempting to play HDV file";
    case core::MediaFamily::kAvchd: return "Failed while attempting to play AVCHD file";
    default: return "Failed while attempting to play file";
    }
}

Player::Player() : impl_(std::make_unique<PlayerImpl>()) {}
Player::~Player() = default;

core::Status Player::open(const std::string& path, const PlayerConfig& config) {
    close();
    PlayerImpl& p = *impl_;
    p.lastError.clear();
    const media::Recognition rec = media::recognize(path);
    if (!rec.ok()) {
        if (rec.status.code == core::ErrorCode::kOpenFailed)
            return p.fail(core::ErrorCode::kOpenFailed, "Unable to open the requested file:\r\n\r\n" + path);
        if (rec.status.code != core::ErrorCode::kNotRecognised)
            return p.fail(core::ErrorCode::kReadFailed, "Unable to read the requested file:\r\n\r\n" + path);
        return p.fail(core::ErrorCode::kOpenFailed, media::playRefusalText(media::formatOf(media::FileType{}), path));
    }

    const media::FormatDescriptor& format = media::formatOf(rec.type);
    if (!format.has(media::format_tool::kPlay))
        return p.fail(core::ErrorCode::kOpenFailed, media::playRefusalText(format, path));
    std::unique_ptr<PictureSource> source;
    const core::MediaFamily family = format.family;
    if (family == core::MediaFamily::kDv) {
        auto file = std::make_unique<media::DvMediaFile>();
        if (!file->open(path)) return p.fail(core::ErrorCode::kOpenFailed, format.loadFailure);
        auto dv = std::make_unique<DvPictureSource>();
        core::Status st = dv->open(std::move(file));
        if (!st) return p.fail(st.code, st.message);
        source = std::move(dv);
    } else {
        auto ts = std::make_unique<TsPictureSource>();
        core::Status st = family == core::MediaFamily::kHdv ? ts->openHdv(path, config) : ts->openAvchd(path, config);
        if (!st) return p.fail(st.code, st.message);
        source = std::move(ts);
    }
    if (source->pictureCount() <= 0) return p.fail(core::ErrorCode::kReadFailed, "Failed to get duration of file");

    p.source = std::move(source);
    p.family = family;
    p.type = rec.type;
    p.path = path;
    p.audioOn = config.audio;
    const int volume = p.audio->volume();
    const bool muted = p.audio->muted();
    if (config.makeAudio) p.audio = config.makeAudio();
    if (!config.makeAudio || !p.audio) p.audio = config.audio ? makeAudioOutput(config.audioBackend) : makeNullAudioOutput();
    p.audio->setVolume(volume);
    p.audio->setMute(muted);
    p.dropped = 0;
    p.shownCount = 0;
    {
        std::lock_guard<std::mutex> lk(p.mutex);
        if (!p.showIndex(0)) {
            // Say which decoder gave no picture, by the name the options show.
            std::string text = "No picture of this file could be decoded by ";
            using media::codec::CodecRole;
            if (core::isStreamFamily(family)) {
                const bool hdv = family == core::MediaFamily::kHdv;
                const std::string& name = hdv ? config.mpeg2Decoder : config.h264Decoder;
                auto entry =
                    media::codec::findCodecByName(hdv ? CodecRole::kMpeg2VideoDecoder : CodecRole::kH264VideoDecoder, name);
                if (!entry)
                    entry = media::codec::findCodecByName(hdv ? CodecRole::kH264VideoDecoder : CodecRole::kMpeg2VideoDecoder,
                                                          name);
                text += entry ? entry->displayName : name;
            } else {
                text += "the DV decoder";
            }
            p.source.reset();
            p.family = core::MediaFamily::kNone;
            return p.fail(core::ErrorCode::kReadFailed, text);
        }
        p.clock.set(0);
        p.state = PlayerState::kPaused;
    }
    p.thread = std::thread([&p] { p.loop(); });
    return core::Status::success();
}

void Player::close() {
    impl_->shutDown();
    impl_->path.clear();
    std::lock_guard<std::mutex> lk(impl_->eventMutex);
    impl_->events.clear();
    impl_->pendingEvents.clear();
}

core::MediaFamily Player::family() const { return impl_->family; }
media::FileType Player::fileType() const { return impl_->type; }
const std::string& Player::path() const { return impl_->path; }
PlayerState Player::state() const { return impl_->state; }

core::Status Player::run() {
    PlayerImpl& p = *impl_;
    {
        std::lock_guard<std::mutex> lk(p.mutex);
        if (!p.source) return p.fail(core::ErrorCode::kReadFailed, "Could not run filter graph");
        if (p.state == PlayerState::kRunning) return core::Status::success();
        ++p.generation;
        p.clock.start(p.shownTime);
        p.state = PlayerState::kRunning;
    }
    p.cv.notify_all();
    return core::Status::success();
}

core::Status Player::pause() {
    PlayerImpl& p = *impl_;
    {
        std::lock_guard<std::mutex> lk(p.mutex);
        if (!p.source) return p.fail(core::ErrorCode::kReadFailed, "Could not pause filter graph");
        ++p.generation;
        p.clock.pause();
        p.clock.set(p.shownTime);
        if (p.state == PlayerState::kRunning) p.audio->flush();
        p.state = PlayerState::kPaused;
        p.pushEvent(PlayerEvent{PlayerEventKind::kPaused, 0, {}});
    }
    p.cv.notify_all();
    return core::Status::success();
}

core::Status Player::stop() {
    PlayerImpl& p = *impl_;
    {
        std::lock_guard<std::mutex> lk(p.mutex);
        if (!p.source) return p.fail(core::ErrorCode::kReadFailed, "Could not stop filter graph");
        ++p.generation;
        p.clock.pause();
        p.audio->flush();
        p.state = PlayerState::kStopped;
        // Picture 0 is shown again unless it is on screen with its sound still to come.
        if ((p.shownIndex != 0 || (p.audioOn && !p.shownSoundPending)) && !p.showIndex(0))
            return p.fail(core::ErrorCode::kReadFailed, "Could not stop filter graph");
        p.clock.set(0);
    }
    p.cv.notify_all();
    return core::Status::success();
}

int64_t Player::duration() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    return impl_->source ? impl_->source->duration() : 0;
}
int64_t Player::pictureDuration() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    return impl_->source ? impl_->source->pictureDuration() : 0;
}
int64_t Player::pictureCount() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    return impl_->source ? impl_->source->pictureCount() : 0;
}
int64_t Player::position() const { return impl_->shownTime; }
int64_t Player::pictureIndex() const { return impl_->shownIndex; }

core::Status Player::setPictureIndex(int64_t index) {
    PlayerImpl& p = *impl_;
    {
        std::lock_guard<std::mutex> lk(p.mutex);
        if (!p.source) return p.fail(core::ErrorCode::kReadFailed, "Could not set position");
        index = std::clamp<int64_t>(index, 0, p.source->pictureCount() - 1);
        ++p.generation;
        if (p.state == PlayerState::kRunning) p.audio->flush();
        if (!p.showIndex(index)) return p.fail(core::ErrorCode::kReadFailed, "Could not set position");
        if (p.state == PlayerState::kRunning) p.clock.start(p.shownTime);
        else p.clock.set(p.shownTime);
    }
    p.cv.notify_all();
    return core::Status::success();
}

core::Status Player::setPosition(int64_t time) {
    int64_t index = 0;
    {
        std::lock_guard<std::mutex> lk(impl_->mutex);
        if (!impl_->source) return impl_->fail(core::ErrorCode::kReadFailed, "Could not set position");
        const int64_t dur = impl_->source->pictureDuration();
        const int64_t count = impl_->source->pictureCount();
        if (time < 0) time = 0;
        index = time >= impl_->source->duration() ? count - 1 : time / dur;
    }
    return setPictureIndex(index);
}

core::Status Player::stepPictures(int64_t n) { return setPictureIndex(impl_->shownIndex + n); }

core::Status Player::stepTime(int64_t delta) { return setPosition(impl_->shownTime + delta); }

core::Status Player::stepIFrame(int direction) {
    PlayerImpl& p = *impl_;
    int64_t key = -1;
    {
        std::lock_guard<std::mutex> lk(p.mutex);
        if (!p.source) return p.fail(core::ErrorCode::kReadFailed, "Could not set position");
        if (p.family != core::MediaFamily::kDv) {
            key = p.source->keyPicture(p.shownIndex, direction);
            if (key < 0) return core::Status::success();
        }
    }
    if (key >= 0) return setPictureIndex(key);
    return stepTime(direction >= 0 ? 10000000 : -10000000);
}

core::Status Player::scanScenes(core::Progress* progress) {
    PlayerImpl& p = *impl_;
    std::lock_guard<std::mutex> lk(p.mutex);
    media::DvMediaFile* file = p.source ? p.source->dvFile() : nullptr;
    if (!file) return p.fail(core::ErrorCode::kReadFailed, "Unable to index the AVI file");
    if (!file->scan(progress)) {
        if (file->lastError() == core::ErrorCode::kCancelled)
            return core::Status::failure(core::ErrorCode::kCancelled, "Operation Cancelled");
        return p.fail(core::ErrorCode::kReadFailed, "Unable to index the AVI file");
    }
    return core::Status::success();
}

bool Player::scenesScanned() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    media::DvMediaFile* file = impl_->source ? impl_->source->dvFile() : nullptr;
    return file && file->scanned();
}

core::Status Player::nextScene(bool& moved) {
    moved = false;
    int64_t target = -1;
    {
        std::lock_guard<std::mutex> lk(impl_->mutex);
        media::DvMediaFile* file = impl_->source ? impl_->source->dvFile() : nullptr;
        if (!file || !file->scanned()) return core::Status::success();
        target = file->nextScene(impl_->shownIndex);
    }
    if (target < 0 || target == impl_->shownIndex) return core::Status::success();
    moved = true;
    return setPictureIndex(target);
}

core::Status Player::previousScene(bool& moved) {
    moved = false;
    int64_t target = -1;
    {
        std::lock_guard<std::mutex> lk(impl_->mutex);
        media::DvMediaFile* file = impl_->source ? impl_->source->dvFile() : nullptr;
        if (!file || !file->scanned()) return core::Status::success();
        target = file->previousScene(impl_->shownIndex);
    }
    if (target < 0 || target == impl_->shownIndex) return core::Status::success();
    moved = true;
    return setPictureIndex(target);
}

std::vector<int64_t> Player::sceneStarts() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    media::DvMediaFile* file = impl_->source ? impl_->source->dvFile() : nullptr;
    if (!file || !file->scanned()) return {};
    const auto& list = file->sceneSets().sceneList();
    return std::vector<int64_t>(list.begin(), list.end());
}

bool Player::currentPicture(ShownPicture& out) const {
    std::lock_guard<std::mutex> lk(impl_->shownMutex);
    const ShownPicture& s = impl_->shown;
    if (s.serial == 0) return false;
    out.rgb.assign(s.rgb.begin(), s.rgb.end());  // keeps the caller's buffer when it is large enough
    out.serial = s.serial;
    out.index = s.index;
    out.time = s.time;
    out.duration = s.duration;
    out.width = s.width;
    out.height = s.height;
    out.stride = s.stride;
    out.displayNum = s.displayNum;
    out.displayDen = s.displayDen;
    out.wide = s.wide;
    out.hasMetadata = s.hasMetadata;
    out.record = s.record;
    out.windowKind = s.windowKind;
    out.timecodeStyle = s.timecodeStyle;
    out.linePeriod = s.linePeriod;
    out.hdvTimecodeFrames = s.hdvTimecodeFrames;
    out.pts = s.pts;
    out.pictureType = s.pictureType;
    out.frameType = s.frameType;
    out.keyFrame = s.keyFrame;
    return true;
}

int64_t Player::pictureSerial() const {
    std::lock_guard<std::mutex> lk(impl_->shownMutex);
    return impl_->shown.serial;
}

bool Player::currentMetadata(core::MetadataRecord& out) const {
    std::lock_guard<std::mutex> lk(impl_->shownMutex);
    if (impl_->shown.serial == 0 || !impl_->shown.hasMetadata) return false;
    out = impl_->shown.record;
    return true;
}

void Player::setPictureCallback(std::function<void()> callback) {
    std::lock_guard<std::mutex> lk(impl_->eventMutex);
    impl_->pictureCallback = std::move(callback);
}

void Player::setEventCallback(std::function<void(const PlayerEvent&)> callback) {
    std::lock_guard<std::mutex> lk(impl_->eventMutex);
    impl_->eventCallback = std::move(callback);
}

bool Player::pollEvent(PlayerEvent& out) {
    std::lock_guard<std::mutex> lk(impl_->eventMutex);
    if (impl_->events.empty()) return false;
    out = std::move(impl_->events.front());
    impl_->events.pop_front();
    return true;
}

std::string Player::lastError() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    return impl_->lastError;
}

AudioOutput& Player::audio() { return *impl_->audio; }
void Player::setVolume(int percent) { impl_->audio->setVolume(percent); }
void Player::setMute(bool mute) { impl_->audio->setMute(mute); }

bool Player::hasGeotagging() const {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    return impl_->source && impl_->source->hasGeotagging();
}

std::optional<std::string> Player::mapPosition() const {
    ShownPicture pic;
    if (!currentPicture(pic)) return std::nullopt;
    std::lock_guard<std::mutex> lk(impl_->mutex);
    if (!impl_->source) return std::nullopt;
    return impl_->source->mapPosition(pic);
}

int64_t Player::droppedPictures() const { return impl_->dropped; }
int64_t Player::shownPictures() const { return impl_->shownCount; }

}  // namespace zorv::playback
