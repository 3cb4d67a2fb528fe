#include "media/dv_media_file.h"

#include <new>

#include "core/dv_decode.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "media/avi_index.h"
#include "media/rawdv_index.h"

namespace zorv::media {

namespace {

using core::dv::aauxPackOffset;
using core::dv::kAauxPacksPerSequence;
using core::dv::kSequenceSize;
using core::dv::kSubcodePacksPerSequence;
using core::dv::kVauxPacksPerSequence;
using core::dv::subcodePackOffset;
using core::dv::vauxPackOffset;

int units(uint8_t b) { return b & 0x0F; }
int tens(uint8_t b, uint8_t mask) { return (b >> 4) & mask; }

// Field rate from the first VAUX source pack (0x60) of any sequence; 0 when none.
int findFieldRate(const uint8_t* frame, int sequences) {
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + kSequenceSize * static_cast<size_t>(s);
        for (int k = 0; k < kVauxPacksPerSequence; ++k) {
            const uint8_t* p = seq + vauxPackOffset(k);
            if (p[0] == core::pack::kVideoSource) return (p[3] & 0x20) ? 50 : 60;
        }
    }
    return 0;
}

bool validDatePack(const uint8_t* p) { return (p[4] >> 4) <= 9 && units(p[4]) <= 9 && units(p[3]) <= 9 && units(p[2]) <= 9; }
bool validTimePack(const uint8_t* p) { return units(p[4]) <= 9 && units(p[3]) <= 9 && units(p[2]) <= 9; }

}  // namespace

DvMediaFile::DvMediaFile() { scenes_.setMask(optionMask_); }

DvMediaFile::~DvMediaFile() = default;

void DvMediaFile::setError(core::ErrorCode code, int sys, std::string message) {
    error_ = code;
    sysError_ = sys;
    message_ = std::move(message);
}

Recognition DvMediaFile::recognise(const std::string& path) {
    Recognition r = media::recognize(path);
    setError(r.status.code, r.status.sysError);
    return r;
}

core::Status DvMediaFile::open(const std::string& path) {
    close();
    clearError();
    if (!file_.open(path, File::Mode::kRead)) {
        setError(core::ErrorCode::kOpenFailed, file_.sysError());
        return status();
    }
    const Recognition r = media::recognize(file_);
    if (!r.ok()) {
        setError(r.status.code, r.status.sysError);
        file_.close();
        return status();
    }
    path_ = path;
    type_ = r.type;
    fourcc_ = r.fourcc;
    tsPacketSize_ = r.tsPacketSize;
    tsStart_ = r.tsStart;
    fileSize_ = r.fileSize;
    if (isDvType(type_)) {
        if (core::Status built = buildIndex(); !built) {
            close();
            setError(built.code, built.sysError, built.message);
            return built;
        }
    }
    return core::Status::success();
}

void DvMediaFile::close() {
    file_.close();
    path_.clear();
    type_ = FileType::kUnknown;
    fourcc_ = 0;
    tsPacketSize_ = 0;
    tsStart_ = 0;
    fileSize_ = 0;
    index_.clear();
    index_.entries.shrink_to_fit();
    position_ = 0;
    frameBuf_.clear();
    frameBuf_.shrink_to_fit();
    record_.clear();
    current_ = core::DecodedValues{};
    previous_ = core::DecodedValues{};
    scenes_.clear();
    scanned_ = false;
}

core::Status DvMediaFile::buildIndex() {
    if (indexed()) return core::Status::success();
    if (!file_.isOpen() || !isDvType(type_)) {
        setError(core::ErrorCode::kReadFailed);
        return status();
    }
    const core::Status built = isAviType(type_) ? buildAviIndex(file_, index_) : buildRawDvIndex(file_, index_);
    if (!built) {
        setError(built.code, built.sysError, built.message);
        return built;
    }
    if (!ensureFrameBuffer()) return status();
    return core::Status::success();
}

bool DvMediaFile::ensureFrameBuffer() {
    if (frameBuf_.size() == index_.frameSize) return true;
    try {
        frameBuf_.assign(index_.frameSize, 0);
    } catch (const std::bad_alloc&) {
        setError(core::ErrorCode::kOutOfMemory);
        return false;
    }
    return true;
}

int64_t DvMediaFile::frameDataPosition(int64_t n) const {
    if (n < 0 || n >= frameCount()) return -1;
    const FrameEntry& e = index_.entries[static_cast<size_t>(n)];
    return e.empty() ? -1 : static_cast<int64_t>(e.offset);
}

double DvMediaFile::linePeriod() const { return core::linePeriod(index_.frameSize); }

bool DvMediaFile::seekToFrame(int64_t n, bool& empty) {
    empty = false;
    if (!indexed() && !buildIndex()) return false;
    if (n < 0 || n >= frameCount()) {
        setError(core::ErrorCode::kReadFailed);
        return false;
    }
    const FrameEntry& e = index_.entries[static_cast<size_t>(n)];
    if (e.empty()) {
        empty = true;
        clearError();
        return false;
    }
    position_ = static_cast<int64_t>(e.offset);
    return true;
}

bool DvMediaFile::readFrameInto(int64_t n, const File& from, uint8_t* buf) {
    bool empty = false;
    if (!seekToFrame(n, empty)) return false;
    const int64_t got = from.readAt(position_, buf, index_.frameSize);
    if (got != static_cast<int64_t>(index_.frameSize)) {
        setError(core::ErrorCode::kReadFailed, got < 0 ? from.sysError() : 0);
        return false;
    }
    return true;
}

bool DvMediaFile::readFrame(int64_t n, uint8_t* buf) { return readFrameInto(n, file_, buf); }

bool DvMediaFile::frameMetadata(int64_t n) {
    if (!indexed() && !buildIndex()) return false;
    if (!ensureFrameBuffer() || !readFrame(n, frameBuf_.data())) return false;
    core::fillRecord(record_, frameBuf_.data(), index_.frameSize);
    core::decodeRecord(record_, current_);
    return true;
}

bool DvMediaFile::readTimecode(int64_t n, Timecode& tc) { return readTimecode(n, file_, tc); }

bool DvMediaFile::readTimecode(int64_t n, const File& other, Timecode& tc) {
    if (!indexed() && !buildIndex()) return false;
    if (!ensureFrameBuffer() || !readFrameInto(n, other, frameBuf_.data())) return false;
    const uint8_t* frame = frameBuf_.data();
    const int sequences = core::dv::sequenceCount(index_.frameSize);
    if (current_.fieldRate == 0) {
        const int rate = findFieldRate(frame, sequences);
        if (rate == 0) return false;
        current_.fieldRate = rate;
        current_.frameRate = rate / 2;
    }
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + kSequenceSize * static_cast<size_t>(s);
        for (int j = 0; j < kSubcodePacksPerSequence; ++j) {
            const uint8_t* p = seq + subcodePackOffset(j);
            if (p[0] != core::pack::kTimecode || units(p[4]) > 9) continue;
            tc.frames = units(p[1]) + 10 * tens(p[1], 0x3);
            tc.seconds = units(p[2]) + 10 * tens(p[2], 0x7);
            tc.minutes = units(p[3]) + 10 * tens(p[3], 0x7);
            tc.hours = units(p[4]) + 10 * tens(p[4], 0x3);
            tc.dropFrame = current_.fieldRate == 60 && (p[1] & 0x40) != 0;
            return true;
        }
    }
    return false;
}

bool DvMediaFile::readRecordingDateTime(int64_t n, RecordingDateTime& dt) {
    if (!indexed() && !buildIndex()) return false;
    if (!ensureFrameBuffer() || !readFrame(n, frameBuf_.data())) return false;
    const uint8_t* frame = frameBuf_.data();
    const uint8_t* date = nullptr;
    const uint8_t* time = nullptr;
    const int sequences = core::dv::sequenceCount(index_.frameSize);
    auto visit = [&](const uint8_t* p) {
        if (!date && p[0] == core::pack::kRecDate && validDatePack(p)) date = p;
        if (!time && p[0] == core::pack::kRecTime && validTimePack(p)) time = p;
        return date && time;
    };
    for (int s = 0; s < sequences && !(date && time); ++s) {
        const uint8_t* seq = frame + kSequenceSize * static_cast<size_t>(s);
        bool done = false;
        for (int j = 0; j < kSubcodePacksPerSequence && !done; ++j) done = visit(seq + subcodePackOffset(j));
        for (int k = 0; k < kVauxPacksPerSequence && !done; ++k) done = visit(seq + vauxPackOffset(k));
    }
    if (!date || !time) return false;
    const int yy = units(date[4]) + 10 * (date[4] >> 4);
    dt.year = ((date[4] >> 4) == 9 ? 1900 : 2000) + yy;
    dt.month = units(date[3]) + 10 * tens(date[3], 0x1);
    dt.day = units(date[2]) + 10 * tens(date[2], 0x3);
    dt.hours = units(time[4]) + 10 * tens(time[4], 0x3);
    dt.minutes = units(time[3]) + 10 * tens(time[3], 0x7);
    dt.seconds = units(time[2]) + 10 * tens(time[2], 0x7);
    return true;
}

bool DvMediaFile::readStreamProperties(int64_t n, StreamProperties& props) {
    props.audioBits = -1;
    props.audioLocked = -1;
    if (!indexed() && !buildIndex()) return false;
    if (!ensureFrameBuffer() || !readFrame(n, frameBuf_.data())) return false;
    const uint8_t* frame = frameBuf_.data();
    const int sequences = core::dv::sequenceCount(index_.frameSize);
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + kSequenceSize * static_cast<size_t>(s);
        const uint8_t* control = nullptr;
        for (int j = 0; j < kSubcodePacksPerSequence && !control; ++j)
            if (seq[subcodePackOffset(j)] == core::pack::kVideoSourceControl) control = seq + subcodePackOffset(j);
        for (int k = 0; k < kVauxPacksPerSequence && !control; ++k)
            if (seq[vauxPackOffset(k)] == core::pack::kVideoSourceControl) control = seq + vauxPackOffset(k);
        if (control && (control[2] & 0x07) != 0) props.widescreen = 1;

        for (int a = 0; a < kAauxPacksPerSequence; ++a) {
            const uint8_t* p = seq + aauxPackOffset(a);
            if (p[0] != core::pack::kAudioSource) continue;
            props.audioLocked = (p[1] & 0x80) ? 0 : 1;
            switch ((p[4] >> 3) & 0x07) {
            case 0: props.sampleRate = 480; break;
            case 1: props.sampleRate = 441; break;
            case 2: props.sampleRate = 320; break;
            default: break;
            }
            switch (p[4] & 0x07) {
            case 0: props.audioBits = 16; break;
            case 2: props.audioBits = 12; break;
            case 3: props.audioBits = 20; break;
            default: break;
            }
            return true;
        }
    }
    return true;
}

void DvMediaFile::markScanned() {
    scanned_ = true;
    scenes_.rebuild();
}

void DvMediaFile::setOptionMask(uint32_t mask) {
    optionMask_ = mask;
    scenes_.setMask(mask);
}

int64_t DvMediaFile::nextScene(int64_t n) { return scenes_.nextScene(n, frameCount()); }

int64_t DvMediaFile::previousScene(int64_t n) { return scenes_.previousScene(n); }

}  // namespace zorv::media
