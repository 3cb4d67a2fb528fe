#include "playback/dv_picture_source.h"

#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "media/dv_audio.h"
#include "media/formats/format_table.h"

namespace zorv::playback {

core::Status DvPictureSource::open(std::unique_ptr<media::DvMediaFile> file) {
    file_ = std::move(file);
    if (!file_ || !file_->isOpen() || file_->frameCount() <= 0 || file_->nonEmptyFrames() <= 0) {
        const char* failure = file_ ? media::formatOf(file_->fileType()).loadFailure : nullptr;
        error_ = failure ? failure : media::kAviLoadFailure;
        return core::Status::failure(core::ErrorCode::kReadFailed, error_);
    }
    if (!decoder_.open("dvvideo")) {
        error_ = "Could not connect DV splitter to DV decoder";
        return core::Status::failure(core::ErrorCode::kOpenFailed, error_);
    }
    frame_.resize(file_->frameSize());
    return core::Status::success();
}

int64_t DvPictureSource::pictureDuration() const { return core::dv::systemOfFrame(file_->frameSize()).frameDuration; }

// An empty index entry (a frame the recorder dropped) shows the nearest earlier frame that has data,
// else the nearest later one.
bool DvPictureSource::readNonEmpty(int64_t index) {
    int64_t n = index;
    while (n >= 0 && file_->frameDataPosition(n) < 0) --n;
    if (n < 0) {
        n = index;
        while (n < file_->frameCount() && file_->frameDataPosition(n) < 0) ++n;
        if (n >= file_->frameCount()) return false;
    }
    return file_->readFrame(n, frame_.data());
}

bool DvPictureSource::decode(int64_t index, ShownPicture& out, AudioBlock* audio) {
    if (index < 0 || index >= file_->frameCount()) return false;
    if (!readNonEmpty(index)) {
        error_ = "Could not read DV frame";
        return false;
    }
    const size_t size = file_->frameSize();
    RgbOut rgb;
    rgb.pixels = &out.rgb;
    if (!decoder_.send(frame_.data(), size) || !decoder_.receive(rgb)) {
        error_ = "Could not decode DV frame";
        return false;
    }
    out.index = index;
    out.duration = pictureDuration();
    out.time = index * out.duration;
    out.width = rgb.width;
    out.height = rgb.height;
    out.stride = rgb.stride;
    out.keyFrame = true;
    out.pictureType = 0;

    core::fillRecord(out.record, frame_.data(), size);
    core::updateDisplayValues(out.record, display_);
    out.hasMetadata = true;
    out.windowKind = core::BurnGrid::kDv;
    out.timecodeStyle = display_.timecodeStyle;
    out.linePeriod = core::linePeriod(size);
    out.hdvTimecodeFrames = -1;
    out.pts = 0;
    out.frameType = 0;
    out.wide = display_.widescreen;
    out.displayNum = out.wide ? 16 : 4;
    out.displayDen = out.wide ? 9 : 3;

    if (audio) {
        readAudio(*audio);
        audio->startTime = out.time;
    }
    return true;
}

void DvPictureSource::readAudio(AudioBlock& audio) {
    audio.frames = 0;
    const size_t size = file_->frameSize();
    auto info = media::dvaudio::readAudioInfo(frame_.data(), size);
    if (!info || info->samples <= 0) return;
    audio.samples.resize(2 * media::dvaudio::kMaxSamplesPerFrame);
    audio.frames = media::dvaudio::extractPcm(frame_.data(), size, *info, 0, audio.samples.data());
    audio.sampleRate = info->sampleRate;
    audio.channels = 2;
}

int64_t DvPictureSource::keyPicture(int64_t index, int direction) {
    int64_t n = index + (direction > 0 ? 1 : -1);
    if (n < 0 || n >= file_->frameCount()) return -1;
    return n;
}

}  // namespace zorv::playback
