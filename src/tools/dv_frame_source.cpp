#include "tools/dv_frame_source.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

void DvTimestampFixer::restamp(int64_t& start, int64_t& stop) {
    if (first_) {
        first_ = false;
        int64_t d = stop - start;
        on_ = d > 0 && 1000000000 / d == 2997;
    }
    if (on_) {
        start = next_;
        stop = next_ + 333667;
        next_ = stop;
    }
    ++count_;
}

Status DvFrameSource::open(const std::string& path, bool joinAudio) {
    close();
    if (!file_.open(path)) {
        Status s = file_.status();
        if (s.ok()) s.code = ErrorCode::kOpenFailed;
        return s;
    }
    auto t = file_.fileType();
    if (t != media::FileType::kAviType1 && t != media::FileType::kAviType2 && t != media::FileType::kRawDv)
        return Status::failure(ErrorCode::kOpenFailed, "Not a DV file");
    if (!file_.indexed() && !file_.buildIndex()) return file_.status();
    size_t fs = file_.frameSize();
    if (fs == 0 || fs > core::dv::kMaxFrameSize) return Status::failure(ErrorCode::kReadFailed);
    frame_.assign(fs, 0);
    // Frames are read front to back: a larger kernel read-ahead keeps the reads off the disk's
    // latency while the writer runs.
    ::posix_fadvise(file_.file().fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    pcm_.assign(2 * dvaudioMax(), 0);
    if (t == media::FileType::kAviType2) {
        Status s = audio_.open(file_.file());
        if (!s) return s;
        audioUsable_ = audio_.format().isPcm16Stereo() &&
                       (audio_.format().sampleRate == 48000 || audio_.format().sampleRate == 44100 ||
                        audio_.format().sampleRate == 32000);
    }
    join_ = joinAudio && audioUsable_;
    return Status::success();
}

int DvFrameSource::dvaudioMax() { return media::dvaudio::kMaxSamplesPerFrame; }

void DvFrameSource::close() {
    file_.close();
    audio_ = {};
    join_ = audioUsable_ = skipVideo_ = false;
    pcmBytes_.clear();
    pcmOffset_ = 0;
    cursor_ = delivered_ = 0;
    fixer_ = {};
    status_ = {};
}

bool DvFrameSource::fillAudio(int samples) {
    size_t want = size_t(samples) * 4;
    if (pcmBytes_.size() - pcmOffset_ < want) {
        // Compact, then read on; the buffer never holds more than a frame's audio plus one read.
        pcmBytes_.erase(pcmBytes_.begin(), pcmBytes_.begin() + long(pcmOffset_));
        pcmOffset_ = 0;
        while (pcmBytes_.size() < want) {
            if (audio_.read(pcmBytes_, want - pcmBytes_.size()) == 0) break;
        }
    }
    size_t have = std::min(want, pcmBytes_.size() - pcmOffset_);
    const uint8_t* p = pcmBytes_.data() + pcmOffset_;
    for (size_t i = 0; i < have / 2; ++i) pcm_[i] = int16_t(p[2 * i] | p[2 * i + 1] << 8);
    // Audio that ends before the video leaves silence.
    std::fill(pcm_.begin() + long(have / 2), pcm_.begin() + long(want / 2), 0);
    pcmOffset_ += have - have % 2;
    return true;
}

bool DvFrameSource::next(DvFrame& out) {
    if (!status_.ok()) return false;
    int64_t count = file_.frameCount();
    while (cursor_ < count && file_.frameDataPosition(cursor_) < 0) ++cursor_;  // dropped frames
    if (cursor_ >= count) return false;
    int64_t n = cursor_++;
    int64_t pos = file_.frameDataPosition(n);
    const bool readVideo = !(skipVideo_ && audioUsable_ && !join_);
    if (readVideo && !file_.file().readExact(pos, frame_.data(), frame_.size())) {
        status_ = Status::failure(ErrorCode::kReadFailed, {}, file_.file().sysError());
        return false;
    }
    out = {};
    out.data = readVideo ? frame_.data() : nullptr;
    out.index = n;
    out.start = delivered_ * frameDuration();
    out.stop = out.start + frameDuration();
    fixer_.restamp(out.start, out.stop);
    if (audioUsable_) {
        int rate = audio_.format().sampleRate;
        int samples = media::dvaudio::samplesForFrame(delivered_, rate, pal());
        fillAudio(samples);
        out.pcm = pcm_.data();
        out.pcmSamples = samples;
        if (join_) media::dvaudio::insertPcm(frame_.data(), frame_.size(), pcm_.data(), samples, rate, rate != 44100);
    }
    ++delivered_;
    return true;
}

}  // namespace zorv::tools
