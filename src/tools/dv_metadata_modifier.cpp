#include "tools/dv_metadata_modifier.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdint>
#include <cstring>

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>
#include <vector>
#include <thread>
#include <mutex>
#include <condition_variable>

#include "core/civil_time.h"
#include "core/dv_layout.h"
#include "core/timecode.h"
#include "media/frame_layout_check.h"
#include "media/mapped_window.h"
#include "media/write_all.h"
#include "media/write_behind.h"
#include "tools/premiere_timecode.h"
#include "tools/stopped_early.h"
#include "tools/system_text.h"

namespace zorv::tools {

namespace {

using core::ErrorCode;

// Room for the rewritten blocks and headers of the output-file stream between two gathered writes.
constexpr size_t kStreamBuffer = size_t{1} << 20;
// The part of the input mapped at a time.
constexpr size_t kMapWindow = size_t{8} << 20;

template <class F>
bool guarded(F& f) {
    return media::guardedCall([](void* c) { (*static_cast<F*>(c))(); }, &f);
}

// Error codes of the media file as passed on by the modifier.
ErrorCode mapMediaError(ErrorCode e) {
    switch (e) {
    case ErrorCode::kOpenFailed:
    case ErrorCode::kReadFailed:
    case ErrorCode::kWriteFailed:
    case ErrorCode::kOutOfMemory:
    case ErrorCode::kCancelled: return e;
    default: return ErrorCode::kReadFailed;
    }
}

int twoDigitYear(int yy) { return yy < 92 ? 2000 + yy : 1900 + yy; }

}  // namespace

DvMetadataModifier::DvMetadataModifier() = default;

DvMetadataModifier::~DvMetadataModifier() {
    stop();
    media_.close();
}

void DvMetadataModifier::setSettings(const ModifySettings& s) {
    s_ = s;
    for (int& v : s_.userBits) v = std::min(v, 0xFF);
}

core::Status DvMetadataModifier::fail(ErrorCode code, const char* message, int sys) {
    status_ = core::Status::failure(code, message, sys);
    return status_;
}

core::Status DvMetadataModifier::failFromMedia(const char* message) {
    return fail(mapMediaError(media_.lastError()), message, media_.sysError());
}

core::Status DvMetadataModifier::stoppedEarly(int64_t done) {
    status_ = tools::stoppedEarly(done, static_cast<int64_t>(positions_.size()));
    if (directMode()) status_.message += "; the frames before it carry the new metadata and the rest are as they were";
    return status_;
}

bool DvMetadataModifier::open() {
    opened_ = false;
    media_.close();
    status_ = {};
    if (!directMode()) {
        status_ = output_.begin(outputPath_, {overwrite_, {inputPath_}});
        if (!status_) return false;
    }
    const media::Recognition r = media_.recognise(inputPath_);
    if (r.status.code == ErrorCode::kNotRecognised) {
        fail(ErrorCode::kReadFailed, kModifyTypeNotSupported);
        return false;
    }
    if (!r.ok()) {
        fail(mapMediaError(r.status.code), kModifyOpenFailed, r.status.sysError);
        return false;
    }
    if (!media::isAviType(r.type)) {
        fail(ErrorCode::kReadFailed, kModifyTypeNotSupported);
        return false;
    }
    if (!media_.open(inputPath_)) {
        if (media_.lastError() == ErrorCode::kOpenFailed) {
            failFromMedia(kModifyOpenFailed);
        } else {
            failFromMedia(kModifyIndexFailed);
            if (!media_.lastMessage().empty()) status_.message += " - " + media_.lastMessage();
        }
        return false;
    }
    if (s_.dateTimeEnabled && s_.dateTimeMode == core::ModifyMode::kFromFileName) {
        const auto d = dateTimeFromFileName(inputPath_);
        if (!d) {
            status_ = core::Status::failure(ErrorCode::kReadFailed, kNoNameDateTimeMessage + inputPath_);
            media_.close();
            return false;
        }
        s_.years = d->year;
        s_.months = d->month;
        s_.days = d->day;
        s_.hours = d->hour;
        s_.minutes = d->minute;
        s_.seconds = d->second;
    }
    // Both modes write frames where the index says they are: a damaged index is refused before anything
    // is written, not found out halfway through the input.
    if (const core::Status layout = media::checkFrameLayout(media_.file(), media_.frameIndex()); !layout) {
        status_ = layout;
        media_.close();
        return false;
    }
    total_ = media_.frameCount();
    progress_.setTotal(total_);
    progress_.setDone(0);
    positions_.clear();
    positions_.reserve(static_cast<size_t>(media_.nonEmptyFrames()));
    for (const auto& e : media_.frameIndex().entries)
        if (!e.empty()) positions_.push_back(e.offset);
    opened_ = true;
    return true;
}

void DvMetadataModifier::workDone(const core::Status& result) {
    if (completion_ && !aborted()) completion_(!result.ok());
}

core::Status DvMetadataModifier::startFailed(int sysError) {
    std::string text = kModifyRunFailed;
    const std::string sys = systemText(sysError);
    if (!sys.empty()) text += " - " + sys;
    status_ = core::Status::failure(ErrorCode::kReadFailed, text, sysError);
    return status_;
}

void DvMetadataModifier::prepare() {
    frameSize_ = media_.frameSize();
    sequences_ = static_cast<int>(frameSize_ / core::dv::kSequenceSize);
    pal_ = sequences_ % 10 != 0;
    dropWanted_ = s_.dropFrameWanted;
    targetStyle_ = dropWanted_ ? 4 : 3;
    if (pal_) {
        sourceStyle_ = targetStyle_ = 2;
    } else {
        sourceStyle_ = 4;
        const int64_t count = media_.frameCount();
        for (int probe = 0; probe < 20 && probe * int64_t{5} < count; ++probe) {
            media::DvMediaFile::Timecode tc;
            if (media_.readTimecode(probe * int64_t{5}, tc)) {
                sourceStyle_ = tc.dropFrame ? 4 : 3;
                break;
            }
        }
        if (!s_.timecodeKindEnabled) {
            targetStyle_ = sourceStyle_;
            dropWanted_ = sourceStyle_ == 4;
        }
    }
    const core::Timecode entered{s_.tcHours, s_.tcMinutes, s_.tcSeconds, s_.tcFrames};
    timecodeCounter_ = core::timecodeToFrames(entered, targetStyle_);
    // Drop-frame counting never shows ;00 and ;01 at the start of a minute that is not a tenth
    // minute: "Start from" such a label starts at the next label that exists.
    if (targetStyle_ == 4 && s_.timecodeMode == core::ModifyMode::kStartFrom && s_.tcSeconds == 0 &&
        (s_.tcFrames == 0 || s_.tcFrames == 1) && s_.tcMinutes % 10 != 0)
        timecodeCounter_ += 2;
    clockStyle_ = pal_ ? 2 : 4;
    clockStart_ = clockCounter_ = core::timecodeToFrames({s_.hours, s_.minutes, s_.seconds, 0}, clockStyle_);
    daySetting_ = s_.days;
}

void DvMetadataModifier::processFrame(uint8_t* frame) {
    touched_.clear();
    FrameEditor ed(frame, frameSize_, touched_);
    const bool timecodeOn = s_.timecodeEnabled && (s_.timecodeMode == core::ModifyMode::kStartFrom ||
                                                   s_.timecodeMode == core::ModifyMode::kAdjustBy);
    if (s_.timecodeKindEnabled && !pal_ && !(timecodeOn && s_.timecodeMode == core::ModifyMode::kStartFrom))
        changeTimecodeKind(ed, dropWanted_);
    if (timecodeOn) rewriteTimecode(ed, TimecodeRewrite{s_.timecodeMode, timecodeCounter_, targetStyle_, pal_});
    if (s_.dateTimeEnabled && s_.dateTimeMode != core::ModifyMode::kNone) {
        int64_t utc;
        if (s_.dateTimeMode == core::ModifyMode::kAdjustBy) {
            const PackDateTime d = readPackDateTime(frame, ed.sequences());
            utc = core::normalizedUtcSeconds(twoDigitYear(d.year) + int64_t{s_.years}, d.month - 1 + int64_t{s_.months},
                                             d.day + int64_t{s_.days}, d.hour + int64_t{s_.hours},
                                             d.minute + int64_t{s_.minutes}, d.second + int64_t{s_.seconds});
        } else {
            const core::Timecode clock = core::framesToTimecode(clockCounter_, clockStyle_);
            if (clockCounter_ != clockStart_ && clock == core::Timecode{}) ++daySetting_;  // midnight crossed
            utc = core::normalizedUtcSeconds(twoDigitYear(s_.years), s_.months - 1, daySetting_, clock.hours, clock.minutes,
                                             clock.seconds);
        }
        const bool adjust = s_.dateTimeMode == core::ModifyMode::kAdjustBy;
        rewriteDateTime(ed, core::civilFromUtcSeconds(utc), adjust, !adjust);
    }
    if (s_.userBitsEnabled) {
        const std::array<uint8_t, 4> bytes{static_cast<uint8_t>(s_.userBits[0]), static_cast<uint8_t>(s_.userBits[1]),
                                           static_cast<uint8_t>(s_.userBits[2]), static_cast<uint8_t>(s_.userBits[3])};
        rewriteUserBits(ed, bytes);
    }
    if (s_.widescreenEnabled) rewriteWidescreen(ed, s_.widescreenValue, pal_);

    if (s_.timecodeEnabled && s_.timecodeMode == core::ModifyMode::kStartFrom) ++timecodeCounter_;
    if (s_.dateTimeEnabled &&
        (s_.dateTimeMode == core::ModifyMode::kStartFrom || s_.dateTimeMode == core::ModifyMode::kFromFileName))
        ++clockCounter_;
}

core::Status DvMetadataModifier::run() {
    status_ = {};
    inputChanged_ = false;
    if (!opened_) return fail(ErrorCode::kOpenFailed, kModifyOpenFailed);
    prepare();
    if (frameSize_ == 0 || sequences_ == 0 || sequences_ > 24 || media_.readBufferSize() <= 0)
        return failFromMedia(kModifyNoBufferSize);
    const core::Status st = directMode() ? runDirect() : (status_ = output_.finish(runOutputFile()));
    if (st.ok()) progress_.setDone(total_);
    return st;
}

namespace {

// Reads the blocks of a frame that can hold packs (header, subcode and VAUX blocks 0-5 and, when
// asked, the nine audio blocks of each sequence) through a sliding read-only mapping of the file, so that the video
// data is never copied and at most one window of the file is mapped at a time. The rewrites read and
// change nothing outside these blocks.
class PackBlockReader {
public:
    static constexpr size_t kWindow = size_t{8} << 20;

    PackBlockReader(int fd, int64_t fileSize) : fd_(fd), size_(fileSize < 0 ? 0 : static_cast<uint64_t>(fileSize)) {}
    ~PackBlockReader() { unmap(); }
    PackBlockReader(const PackBlockReader&) = delete;
    PackBlockReader& operator=(const PackBlockReader&) = delete;

    // False when the frame lies outside the file or cannot be mapped: the caller reads it whole.
    bool read(uint64_t pos, size_t frameSize, int sequences, bool audioBlocks, uint8_t* dst) {
        if (pos > size_ || frameSize > size_ - pos) return false;
        if (!base_ || pos < start_ || pos + frameSize > start_ + len_) {
            if (!map(pos, frameSize)) return false;
        }
        const uint8_t* src = base_ + (pos - start_);
        for (int s = 0; s < sequences; ++s) {
            const size_t seq = core::dv::kSequenceSize * static_cast<size_t>(s);
            std::memcpy(dst + seq, src + seq, 6 * core::dv::kDifBlockSize);
            for (int k = 0; audioBlocks && k < 9; ++k) {
                const size_t at = seq + core::dv::audioBlockIndex(k) * core::dv::kDifBlockSize;
                std::memcpy(dst + at, src + at, core::dv::kDifBlockSize);
            }
        }
        return true;
    }

private:
    bool map(uint64_t pos, size_t need) {
        unmap();
        if (failed_) return false;
        const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
        const uint64_t start = pos - pos % page;
        uint64_t len = std::min<uint64_t>(std::max<uint64_t>(kWindow, pos + need - start), size_ - start);
        void* p = ::mmap(nullptr, static_cast<size_t>(len), PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(start));
        if (p == MAP_FAILED) {
            failed_ = true;
            return false;
        }
        ::madvise(p, static_cast<size_t>(len), MADV_SEQUENTIAL);
        base_ = static_cast<const uint8_t*>(p);
        start_ = start;
        len_ = static_cast<size_t>(len);
        return true;
    }
    void unmap() {
        if (base_) ::munmap(const_cast<uint8_t*>(base_), len_);
        base_ = nullptr;
    }

    int fd_;
    uint64_t size_;
    const uint8_t* base_ = nullptr;
    uint64_t start_ = 0;
    size_t len_ = 0;
    bool failed_ = false;
};

// Direct mode's writes: a dozen small runs per frame, most of its time. A second thread writes the
// runs of one stretch of frames while the next stretch is read and rewritten; two batches take turns,
// so nothing is allocated once both have grown to a stretch's size.
class RunWriter {
public:
    struct Run {
        uint64_t offset;
        uint32_t size;
        int64_t frame;  // frames done before this one
    };
    struct Batch {
        std::vector<uint8_t> bytes;
        std::vector<Run> runs;
        void clear() { bytes.clear(), runs.clear(); }
    };
    static constexpr size_t kBatchBytes = size_t{256} << 10;

    explicit RunWriter(int fd) : fd_(fd), thread_([this] { run(); }) {
        for (Batch* b : {&filling_, &writing_}) {
            b->bytes.reserve(kBatchBytes + 2 * core::dv::kMaxFrameSize / 5);
            b->runs.reserve(kBatchBytes / 80);
        }
    }
    ~RunWriter() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    RunWriter(const RunWriter&) = delete;
    RunWriter& operator=(const RunWriter&) = delete;

    void add(uint64_t offset, const uint8_t* data, size_t size, int64_t frame) {
        filling_.runs.push_back({offset, static_cast<uint32_t>(size), frame});
        filling_.bytes.insert(filling_.bytes.end(), data, data + size);
    }
    bool full() const { return filling_.bytes.size() >= kBatchBytes; }
    // Hands the filled batch to the writer thread once it is done with the one before. False when a
    // write has failed: error() and framesWritten() tell which and where.
    bool submit() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
        if (error_ != 0) return false;
        if (filling_.runs.empty()) return true;
        std::swap(filling_, writing_);
        busy_ = true;
        wroteAny_ = true;
        lock.unlock();
        wake_.notify_one();
        return true;
    }
    // Writes what is left and waits for it; false when some write failed.
    bool finish() {
        if (!submit()) return false;
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
        return error_ == 0;
    }
    int error() const { return error_; }
    // Whether a write to the file was tried (once the batches in hand are written).
    bool wroteAny() const { return wroteAny_; }
    // With a failure: the frames before the one whose write failed, all written whole.
    int64_t framesWritten() const { return failedFrame_; }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return busy_ || stop_; });
            if (!busy_) return;
            lock.unlock();
            int err = 0;
            int64_t failedAt = 0;
            size_t at = 0;
            for (const Run& r : writing_.runs) {
                err = media::pwriteAll(fd_, writing_.bytes.data() + at, r.size, static_cast<int64_t>(r.offset));
                if (err != 0) {
                    failedAt = r.frame;
                    break;
                }
                at += r.size;
            }
            writing_.clear();
            lock.lock();
            if (err != 0 && error_ == 0) error_ = err, failedFrame_ = failedAt;
            busy_ = false;
            done_.notify_all();
        }
    }

    int fd_;
    Batch filling_, writing_;  // writing_ belongs to the thread while busy_
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    bool busy_ = false;
    bool stop_ = false;
    bool wroteAny_ = false;
    int error_ = 0;
    int64_t failedFrame_ = 0;
    std::thread thread_;
};

}  // namespace

// The output is the input seen through a moving memory map and handed to the kernel in large
// gathered writes: unchanged bytes go straight from the input's page cache to the output's, and
// only the DIF blocks whose packs changed come from a small buffer.
core::Status DvMetadataModifier::runOutputFile() {
    const int64_t fileSize = media_.fileSize();

    std::vector<uint8_t> frame;
    std::unique_ptr<media::GatherBatch> batch;
    try {
        frame.resize(frameSize_);
        batch = std::make_unique<media::GatherBatch>(kStreamBuffer);
    } catch (const std::bad_alloc&) {
        return fail(ErrorCode::kOutOfMemory, kModifyNoBuffer);
    }
    media::File out;
    if (!out.open(output_.tempPath(), media::File::Mode::kCreate))
        return fail(ErrorCode::kWriteFailed, kModifyCreateFailed, out.sysError());
    const media::File& in = media_.file();
    // Two map windows take turns while a writer thread writes the batches: a batch handed over
    // before one move of the map is written by the time the next move comes, so the window it
    // refers to can go then. Declared after `out`, the writer finishes before the file closes.
    media::MappedWindow windows[2] = {{in.fd(), fileSize, kMapWindow, true}, {in.fd(), fileSize, kMapWindow, true}};
    int current = 0;
    media::WriteBehind writer(kStreamBuffer);

    int writeError = 0;
    auto flush = [&] {
        if (writeError == 0) writeError = writer.submit(out.fd(), *batch);
        batch->clear();
        return writeError == 0;
    };
    auto settle = [&] {
        flush();
        if (const int err = writer.drain(); writeError == 0) writeError = err;
        return writeError == 0;
    };
    // The n bytes at offset through the map, moving it (after handing over what refers to the
    // window that will go) when they lie outside the current window.
    auto view = [&](int64_t offset, size_t n) -> const uint8_t* {
        if (!windows[current].contains(offset, n)) {
            if (!flush()) return nullptr;
            current ^= 1;
        }
        return windows[current].view(offset, n);
    };
    auto mapError = [&] { return windows[0].sysError() ? windows[0].sysError() : windows[1].sysError(); };
    // Unchanged bytes [from, to) of the input, a window at a time.
    auto copyRange = [&](int64_t from, int64_t to) {
        while (from < to) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(to - from, kMapWindow / 2));
            if (!batch->fits(1, 0) && !flush()) return false;
            const uint8_t* p = view(from, n);
            if (!p) return false;
            batch->ref(p, n);
            from += static_cast<int64_t>(n);
        }
        return true;
    };
    const int runs = sequences_ * 10;  // changed runs per frame at most: blocks 1-5 and 9 audio blocks
    int64_t cursor = 0;
    int64_t done = 0;
    for (uint64_t pos : positions_) {
        // A frame cut short by the end of the file ends the frames; its bytes are copied as they are.
        if (static_cast<int64_t>(pos + frameSize_) > fileSize) break;
        if (aborted()) {
            settle();  // what was done stays in the output
            return fail(ErrorCode::kCancelled, "");
        }
        if (!copyRange(cursor, static_cast<int64_t>(pos))) break;
        if (!batch->fits(2 * runs + 1, frameSize_ / 5) && !flush()) break;
        const uint8_t* src = view(static_cast<int64_t>(pos), frameSize_);
        if (!src) {
            if (writeError != 0) break;
            return stoppedEarly(done);
        }
        // The pack and audio blocks are all the rewrites read; the changed ones are written from frame.
        auto edit = [&] {
            for (int q = 0; q < sequences_; ++q) {
                const size_t seq = core::dv::kSequenceSize * static_cast<size_t>(q);
                std::memcpy(frame.data() + seq, src + seq, 6 * core::dv::kDifBlockSize);
                for (int k = 0; k < 9; ++k) {
                    const size_t at = seq + core::dv::audioBlockIndex(k) * core::dv::kDifBlockSize;
                    std::memcpy(frame.data() + at, src + at, core::dv::kDifBlockSize);
                }
            }
            processFrame(frame.data());
        };
        if (!guarded(edit)) return stoppedEarly(done);
        size_t at = 0;
        touched_.forEachRun(sequences_, [&](size_t off, size_t n) {
            batch->ref(src + at, off - at);
            batch->copy(frame.data() + off, n);
            at = off + n;
        });
        batch->ref(src + at, frameSize_ - at);
        cursor = static_cast<int64_t>(pos + frameSize_);
        progress_.setDone(++done);
    }
    if (writeError == 0 && mapError() == 0) copyRange(cursor, fileSize);
    settle();
    // The unchanged bytes are written straight from the input's map: a fault there is the input cut
    // short under the run.
    if (writeError == EFAULT || (writeError == 0 && (mapError() != 0 || cursor > fileSize))) return stoppedEarly(done);
    if (writeError != 0) return fail(ErrorCode::kWriteFailed, kModifyWriteFailed, writeError);
    if (aborted()) return fail(ErrorCode::kCancelled, "");
    if (done < static_cast<int64_t>(positions_.size())) return stoppedEarly(done);
    updatePremiereTimecode(out);
    if (aborted()) return fail(ErrorCode::kCancelled, "");
    return status_;
}

core::Status DvMetadataModifier::runDirect() {
    media::File rw;
    if (!rw.open(inputPath_, media::File::Mode::kReadWrite))
        return fail(ErrorCode::kOpenFailed, kModifyOpenFailed, rw.sysError());
    std::vector<uint8_t> frame;
    try {
        frame.resize(frameSize_);
    } catch (const std::bad_alloc&) {
        return fail(ErrorCode::kOutOfMemory, kModifyNoBuffer);
    }
    PackBlockReader packs(rw.fd(), rw.size());
    // Only the timecode and date/time rewrites look at the audio auxiliary packs.
    const bool audioBlocks = (s_.timecodeEnabled && s_.timecodeMode != core::ModifyMode::kNone) ||
                             (s_.dateTimeEnabled && s_.dateTimeMode != core::ModifyMode::kNone);
    int64_t done = 0;
    RunWriter writer(rw.fd());  // after `rw`: its writes end before the file closes
    // A failed write stops the frames; the count shown is of the frames written whole.
    auto writeFailed = [&] {
        inputChanged_ = writer.wroteAny();
        progress_.setDone(writer.framesWritten());
        return fail(ErrorCode::kWriteFailed, kModifyWriteFailed, writer.error());
    };
    for (uint64_t pos : positions_) {
        if (aborted()) {
            if (!writer.finish()) return writeFailed();
            inputChanged_ = writer.wroteAny();
            return fail(ErrorCode::kCancelled, "");
        }
        // A frame that cannot be read whole ends the frames, as the end of the file does.
        bool read = false;
        auto readPacks = [&] { read = packs.read(pos, frameSize_, sequences_, audioBlocks, frame.data()); };
        if (!guarded(readPacks)) {
            writer.finish();
            inputChanged_ = writer.wroteAny();
            return stoppedEarly(done);
        }
        if (!read && !rw.readExact(static_cast<int64_t>(pos), frame.data(), frameSize_)) break;
        processFrame(frame.data());
        touched_.forEachRun(sequences_, [&](size_t off, size_t n) { writer.add(pos + off, frame.data() + off, n, done); });
        if (writer.full() && !writer.submit()) return writeFailed();
        progress_.setDone(++done);
    }
    if (!writer.finish()) return writeFailed();
    inputChanged_ = writer.wroteAny();
    if (done < static_cast<int64_t>(positions_.size())) return stoppedEarly(done);
    updatePremiereTimecode(rw);
    if (aborted()) return fail(ErrorCode::kCancelled, "");
    return status_;
}

void DvMetadataModifier::updatePremiereTimecode(media::File& target) {
    const bool timecodeOn = s_.timecodeEnabled && (s_.timecodeMode == core::ModifyMode::kStartFrom ||
                                                   s_.timecodeMode == core::ModifyMode::kAdjustBy);
    if (!(timecodeOn || s_.timecodeKindEnabled) || aborted()) return;
    media::DvMediaFile::Timecode tc;
    // A first frame without timecode leaves the list as it is.
    if (!media_.readTimecode(0, target, tc)) return;
    const auto where = findTdatList(media_.file());
    if (!where) return;
    writeTdatTimecode(target, *where, timecodeField(tc.hours, tc.minutes, tc.seconds, tc.frames, tc.dropFrame),
                      [this] { return aborted(); });
}

}  // namespace zorv::tools
