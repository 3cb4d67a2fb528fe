#include "tools/dv_frame_source.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "media/formats/format_table.h"
#include "media/frame_layout_check.h"

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

namespace {
// Mapped mode: the part of the file mapped at a time.
constexpr size_t kMapWindow = size_t(8) << 20;

template <class F>
bool guarded(F& f) {
    return media::guardedCall([](void* c) { (*static_cast<F*>(c))(); }, &f);
}
}  // namespace

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
    if (Status s = file_.open(path); !s) {
        // The file is of no known type, or a DV file without a usable index.
        if (s.code == ErrorCode::kNotRecognised) return Status::failure(ErrorCode::kOpenFailed, kNotRecognisedFile);
        if (s.code == ErrorCode::kNoIndex) return Status::failure(ErrorCode::kOpenFailed, "Unable to index the AVI file");
        return s;
    }
    auto t = file_.fileType();
    if (!media::formatOf(t).isDv()) return Status::failure(ErrorCode::kOpenFailed, "Not a DV file");
    if (!file_.indexed() && !file_.buildIndex()) return file_.status();
    size_t fs = file_.frameSize();
    if (fs == 0 || fs > core::dv::kMaxFrameSize) return Status::failure(ErrorCode::kReadFailed);
    frame_.assign(fs, 0);
    patched_.assign(size_t(core::dv::sequenceCount(fs)) * core::dv::kAauxPacksPerSequence, 0);
    patchBytes_.assign(patched_.size() * core::dv::kDifBlockSize, 0);
    // Frames are read front to back: a larger kernel read-ahead keeps the reads off the disk's
    // latency while the writer runs.
    ::posix_fadvise(file_.file().fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    pcm_.assign(2 * dvaudioMax(), 0);
    if (media::formatOf(t).aviType == 2) {
        Status s = audio_.open(file_.file());
        if (!s) return s;
        audioUsable_ =
            audio_.format().isPcm16Stereo() && (audio_.format().sampleRate == 48000 || audio_.format().sampleRate == 44100 ||
                                                audio_.format().sampleRate == 32000);
    }
    join_ = joinAudio && audioUsable_;
    repeatEmpty_ = audioUsable_;
    ownPcm_.assign(2 * dvaudioMax(), 0);
    return Status::success();
}

int DvFrameSource::dvaudioMax() { return media::dvaudio::kMaxSamplesPerFrame; }

void DvFrameSource::close() {
    for (auto& w : windows_) w.reset();
    window_ = 0;
    file_.close();
    audio_ = {};
    join_ = audioUsable_ = repeatEmpty_ = false;
    lastPos_ = -1;
    own_.reset();
    pcmBytes_.clear();
    pcmOffset_ = 0;
    cursor_ = delivered_ = 0;
    fixer_ = {};
    status_ = {};
}

// The next `samples` samples of the stream into pcm_; returns how many the stream still had (the rest
// is silence).
int DvFrameSource::fillAudio(int samples) {
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
    have -= have % 4;
    const uint8_t* p = pcmBytes_.data() + pcmOffset_;
    for (size_t i = 0; i < have / 2; ++i) pcm_[i] = int16_t(p[2 * i] | p[2 * i + 1] << 8);
    std::fill(pcm_.begin() + long(have / 2), pcm_.begin() + long(want / 2), 0);
    pcmOffset_ += have;
    return int(have / 4);
}

const uint8_t* DvFrameSource::mappedFrame(int64_t pos) {
    for (auto& w : windows_)
        if (!w) w = std::make_unique<media::MappedWindow>(file_.file().fd(), file_.fileSize(), kMapWindow, populate_);
    if (windows_[window_]->contains(pos, frame_.size())) return windows_[window_]->view(pos, frame_.size());
    if (beforeRemap_) beforeRemap_();
    // The other window's bytes were queued before the previous move: their writes are done.
    window_ ^= 1;
    return windows_[window_]->view(pos, frame_.size());
}

int64_t DvFrameSource::firstFramePosition() const {
    for (int64_t n = 0; n < file_.frameCount(); ++n)
        if (int64_t pos = file_.frameDataPosition(n); pos >= 0) return pos;
    return -1;
}

// The stream's sound of this frame (pcm_) in the frame's own layout: a 12-bit frame keeps its second
// pair and its packs, a 16-bit one its lock flag; a frame without sound of the stream's rate gets
// 16-bit sound and fresh packs.
void DvFrameSource::writeStreamSound(uint8_t* frame, int samples, int rate) const {
    if (own_ && own_->bits == 12) media::dvaudio::replacePair12(frame, frame_.size(), *own_, 0, pcm_.data(), samples);
    else media::dvaudio::insertPcm(frame, frame_.size(), pcm_.data(), samples, rate, own_ ? own_->locked : rate != 44100);
}

// The frame's audio blocks are copied to frame_, joined there, and compared with the mapped ones:
// only the blocks that differ are delivered from frame_.
bool DvFrameSource::joinMapped(const uint8_t* mapped, int samples, int rate) {
    namespace dv = core::dv;
    const int seqs = dv::sequenceCount(frame_.size());
    int changed = 0;
    for (int s = 0; s < seqs; ++s)
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            const size_t at = s * dv::kSequenceSize + dv::audioBlockIndex(a) * dv::kDifBlockSize;
            std::memcpy(frame_.data() + at, mapped + at, dv::kDifBlockSize);
        }
    writeStreamSound(frame_.data(), samples, rate);
    for (int s = 0; s < seqs; ++s)
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            const size_t block = s * dv::kBlocksPerSequence + dv::audioBlockIndex(a);
            const size_t at = block * dv::kDifBlockSize;
            if (std::memcmp(frame_.data() + at, mapped + at, dv::kDifBlockSize) != 0) {
                std::memcpy(patchBytes_.data() + dv::kDifBlockSize * size_t(changed), frame_.data() + at, dv::kDifBlockSize);
                patched_[size_t(changed++)] = uint16_t(block);
            }
        }
    patchedCount_ = changed;
    return true;
}

// Takes the frame's share of the audio stream and, when joining, writes it into the frame where the
// frame's own sound differs. data: the frame's bytes (mapped or in frame_). Reads mapped
// bytes: call guarded.
bool DvFrameSource::joinAudio(const uint8_t* data, DvFrame& out) {
    const int rate = audio_.format().sampleRate;
    own_.reset();
    own_ = media::dvaudio::readAudioInfo(data, frame_.size());
    if (own_ && own_->sampleRate != rate) own_.reset();
    // A repeated frame stands where the stream holds the nominal share of its own time.
    const int samples = own_ && !out.repeated ? own_->samples : media::dvaudio::samplesForFrame(delivered_, rate, pal());
    const int have = fillAudio(samples);
    out.pcm = pcm_.data();
    out.pcmSamples = samples;
    // Past the end of the stream the frame keeps its own sound.
    if (!join_ || have == 0) return true;
    if (own_) {
        const int got = media::dvaudio::extractPcm(data, frame_.size(), *own_, 0, ownPcm_.data());
        if (got == samples && std::equal(pcm_.begin(), pcm_.begin() + 2 * have, ownPcm_.begin())) return true;
    }
    if (data == frame_.data()) {
        writeStreamSound(frame_.data(), samples, rate);
        return true;
    }
    if (!joinMapped(data, samples, rate)) return false;
    out.patch = patchBytes_.data();
    out.patchedBlocks = patched_.data();
    out.patchedCount = patchedCount_;
    return true;
}

bool DvFrameSource::next(DvFrame& out) {
    if (!status_.ok()) return false;
    int64_t count = file_.frameCount();
    if (!repeatEmpty_)
        while (cursor_ < count && file_.frameDataPosition(cursor_) < 0) ++cursor_;  // dropped frames
    if (cursor_ >= count) return false;
    int64_t n = cursor_++;
    int64_t pos = file_.frameDataPosition(n);
    const bool repeated = pos < 0;
    if (repeated) pos = lastPos_ >= 0 ? lastPos_ : firstFramePosition();
    if (pos < 0) {
        cursor_ = count;  // not one frame in the file
        return false;
    }
    lastPos_ = pos;
    const uint8_t* data = nullptr;
    if (mapped_) data = mappedFrame(pos);
    if (!data) {
        if (!file_.file().readExact(pos, frame_.data(), frame_.size())) {
            status_ = Status::failure(ErrorCode::kReadFailed, {}, file_.file().sysError());
            return false;
        }
        data = frame_.data();
    }
    // An index entry that points beside its frame would hand on bytes of no frame (or of two). Mapped
    // bytes are looked at under the guard: the file may have been cut short since it was mapped.
    if (data) {
        bool frameStart = false;
        auto look = [&] { frameStart = core::dv::isFrameHeaderBlock(data); };
        if (data == frame_.data()) {
            look();
        } else if (!guarded(look)) {
            status_ = Status::failure(ErrorCode::kReadFailed, {}, EIO);
            return false;
        }
        if (!frameStart) {
            status_ = media::damagedIndex(n, media::kNoFrameHeader);
            return false;
        }
    }
    out = {};
    out.data = data;
    out.mapped = data && data != frame_.data();
    out.size = frame_.size();
    out.index = n;
    out.repeated = repeated;
    out.start = delivered_ * frameDuration();
    out.stop = out.start + frameDuration();
    fixer_.restamp(out.start, out.stop);
    if (audioUsable_) {
        bool joined = false;
        auto step = [&] { joined = joinAudio(data, out); };
        if (!guarded(step) || !joined || audio_.failed()) {
            status_ = Status::failure(ErrorCode::kReadFailed, {}, EIO);
            return false;
        }
    }
    ++delivered_;
    return true;
}

}  // namespace zorv::tools
