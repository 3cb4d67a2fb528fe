#include "tools/dv_file_splitter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "media/avi_chunks.h"
#include "media/dv_audio.h"
#include "media/file_io.h"
#include "media/formats/format_table.h"
#include "tools/file_log_entry.h"
#include "tools/split_naming.h"
#include "tools/stopped_early.h"

namespace zorv::tools {

using core::ErrorCode;
using core::FrameRingBuffer;
using core::Status;

namespace {

// Frames per frame-buffer entry and per gathered write: about 0.9 MB per write, and one hand-over
// between the threads per six frames; the 8 entries of the buffer let the source run 48 frames ahead.
constexpr int kFramesPerEntry = 6;
// An entry: frame count (4 bytes), 4 spare, then per frame its mapped address (8), changed block
// count n (4), PCM bytes m (4), timecode hours, minutes, seconds, frames (1 each, hours -1 for none),
// drop-frame flag (1), 3 spare, the block numbers (2 n), the blocks' bytes (80 n) and the PCM (m).
constexpr size_t kEntryHeader = 8;
constexpr size_t kFrameHeader = 24;
constexpr size_t kMaxPcmBytes = 4 * size_t(media::dvaudio::kMaxSamplesPerFrame);

// The source reads one byte per page of each frame.
constexpr size_t kPageStep = 4096;

template <class F>
bool guarded(F& f) {
    return media::guardedCall([](void* c) { (*static_cast<F*>(c))(); }, &f);
}

std::string fileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file's last-write time from a recording date and time read as local time; creation and access
// times are kept. Failures are ignored.
void setDateModified(const std::string& path, const SplitFrameInfo& first) {
    if (!first.recValid) return;
    std::tm tm{};
    tm.tm_year = (first.recYear2 >= 90 ? 1900 + first.recYear2 : 2000 + first.recYear2) - 1900;
    tm.tm_mon = first.recMonth - 1;
    tm.tm_mday = first.recDay;
    tm.tm_hour = first.recHour;
    tm.tm_min = first.recMinute;
    tm.tm_sec = first.recSecond;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    times[1].tv_nsec = 0;
    (void)utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

SplitSettings splitSettingsFrom(const core::Options& o) {
    SplitSettings s;
    s.trigger = core::splitTriggerOf(o);
    s.nameFormat = core::splitNameFormatOf(o);
    s.timecodeThreshold = core::clampSplitThreshold(o.timecodeTriggerFrames);
    s.dateTimeThreshold = core::clampSplitThreshold(o.dateTimeTriggerSeconds);
    s.prerollSeconds = core::clampPrerollDelay(o.prerollDelaySeconds);
    return s;
}

DvFileSplitter::~DvFileSplitter() {
    progress_.cancel();
    buffer_.abort();
    if (started()) stop();
    else publishWritten(kAllWritten);  // no sink reads frames: the source may move on and stop
    if (sourceThread_.joinable()) sourceThread_.join();
    writer_.close();
    release();
}

void DvFileSplitter::setSettings(const SplitSettings& settings) {
    settings_ = settings;
    baseReel_ = currentReel_ = settings.reelName;
}

void DvFileSplitter::release() {
    if (log_) std::fclose(log_);
    if (batch_) std::fclose(batch_);
    log_ = batch_ = nullptr;
    source_.close();
}

Status DvFileSplitter::open(const std::string& inputPath) {
    if (opened_) return Status::failure(ErrorCode::kOpenFailed, "Failed to create splitter source graph");
    opened_ = true;
    auto fail = [this](Status st) {
        buffer_.abort();
        publishWritten(kAllWritten);
        if (sourceThread_.joinable()) sourceThread_.join();
        writer_.close();
        release();
        setResult(st);
        return st;
    };

    inputPath_ = inputPath;
    std::string base = pathWithoutExtension(inputPath);
    outputBase_ =
        settings_.outputFolder.empty() ? base : (std::filesystem::path(settings_.outputFolder) / fileNameOf(base)).string();

    Status st = buffer_.create(settings_.bufferSlots);
    if (!st) return fail(st);

    st = source_.open(inputPath, true);
    if (!st || !media::isAviType(source_.type()) || source_.frameSize() > FrameRingBuffer::kSlotSize)
        return fail(Status::failure(ErrorCode::kOpenFailed, "Failed to create splitter source graph", st.sysError));
    outputType_ = core::choiceOf<media::AviType>(media::formatOf(source_.type()).aviType);
    pal_ = source_.pal();
    totalFrames_ = source_.frameCount();
    progress_.setTotal(totalFrames_);

    logPath_ = uniqueFileName(outputBase_ + ".log");
    // The log and the batch list record each file as it is completed, under names nothing has taken.
    log_ = std::fopen(logPath_.c_str(), "wbx");
    if (!log_) return fail(Status::failure(ErrorCode::kWriteFailed, "Failed to create log file", errno));
    batchPath_ = uniqueFileName(outputBase_ + ".csv");
    batch_ = std::fopen(batchPath_.c_str(), "wbx");
    if (!batch_) return fail(Status::failure(ErrorCode::kWriteFailed, "Failed to create Premiere batch list file", errno));

    SplitRules rules;
    rules.trigger = settings_.trigger;
    rules.timecodeThreshold = settings_.timecodeThreshold;
    rules.dateTimeThreshold = settings_.dateTimeThreshold;
    rules.prerollSeconds = settings_.prerollSeconds;
    decider_.reset(rules);
    pcm_.assign(2 * media::dvaudio::kMaxSamplesPerFrame, 0);
    const size_t maxBlocks = size_t(core::dv::sequenceCount(source_.frameSize())) * core::dv::kAauxPacksPerSequence;
    entry_.assign(kEntryHeader + kFramesPerEntry * (kFrameHeader + maxBlocks * (2 + core::dv::kDifBlockSize) + kMaxPcmBytes),
                  0);
    static_assert(kEntryHeader + kFramesPerEntry * (kFrameHeader + 12 * 9 * 82 + kMaxPcmBytes) <=
                  FrameRingBuffer::kSlotSize);
    entryUsed_ = kEntryHeader;
    scratch_.assign(source_.frameSize(), 0);
    firstFrame_.assign(source_.frameSize(), 0);
    // The source maps the input, maps every page of each frame and reads the packs (and, for Type 2,
    // the audio blocks); the sink writes the frames from the same map. A window of the map is reused
    // only when the sink has written what was delivered from it.
    source_.setMapped(
        true, [this] { waitForSink(); }, false);

    sourceThread_ = std::thread([this] { sourceLoop(); });

    bool ended = false;
    st = beginFile(fileNumber_, ended);
    if (!st) return fail(st);
    return Status::success();
}

// The audio as joined: the pack and audio blocks of the frame, with the changed ones, de-shuffled.
// Runs on the source thread, which has just read those blocks.
int DvFileSplitter::joinedPcm(const DvFrame& frame) {
    namespace dv = core::dv;
    if (frame.pcm) {  // the input's audio stream goes on as it is
        const int n = std::clamp(frame.pcmSamples, 0, media::dvaudio::kMaxSamplesPerFrame);
        std::copy(frame.pcm, frame.pcm + 2 * n, pcm_.begin());
        return n;
    }
    const size_t size = source_.frameSize();
    const uint8_t* audio = frame.data;
    if (frame.patchedCount > 0) {
        for (size_t q = 0; q < size / dv::kSequenceSize; ++q) {
            const size_t seq = q * dv::kSequenceSize;
            std::memcpy(scratch_.data() + seq, frame.data + seq, 6 * dv::kDifBlockSize);
            for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
                const size_t at = seq + dv::audioBlockIndex(a) * dv::kDifBlockSize;
                std::memcpy(scratch_.data() + at, frame.data + at, dv::kDifBlockSize);
            }
        }
        for (int i = 0; i < frame.patchedCount; ++i)
            std::memcpy(scratch_.data() + dv::kDifBlockSize * frame.patchedBlocks[i],
                        frame.patch + dv::kDifBlockSize * size_t(i), dv::kDifBlockSize);
        audio = scratch_.data();
    }
    if (auto info = media::dvaudio::readAudioInfo(audio, size))
        return media::dvaudio::extractPcm(audio, size, *info, 0, pcm_.data());
    return 0;
}

void DvFileSplitter::addToEntry(const DvFrame& frame, uint32_t flags, const SplitFrameInfo& info, int pcmSamples) {
    const uint8_t* const data = frame.data;
    static_assert(sizeof data <= 8);
    const uint32_t count = static_cast<uint32_t>(frame.patchedCount);
    const uint32_t pcmBytes = static_cast<uint32_t>(std::clamp(pcmSamples, 0, media::dvaudio::kMaxSamplesPerFrame)) * 4;
    if (entryFrames_ == 0) entryFlags_ = flags;
    uint8_t* p = entry_.data() + entryUsed_;
    std::memcpy(p, &data, sizeof data);
    std::memcpy(p + 8, &count, 4);
    std::memcpy(p + 12, &pcmBytes, 4);
    p[16] = static_cast<uint8_t>(static_cast<int8_t>(info.tcHours));
    p[17] = static_cast<uint8_t>(static_cast<int8_t>(info.tcMinutes));
    p[18] = static_cast<uint8_t>(static_cast<int8_t>(info.tcSeconds));
    p[19] = static_cast<uint8_t>(static_cast<int8_t>(info.tcFrames));
    p[20] = info.tcDropFrame ? 1 : 0;
    p += kFrameHeader;
    if (count > 0) {
        std::memcpy(p, frame.patchedBlocks, 2 * size_t(count));
        std::memcpy(p + 2 * size_t(count), frame.patch, core::dv::kDifBlockSize * count);
        p += (2 + core::dv::kDifBlockSize) * size_t(count);
    }
    if (pcmBytes > 0) std::memcpy(p, pcm_.data(), pcmBytes);
    entryUsed_ += kFrameHeader + (2 + core::dv::kDifBlockSize) * size_t(count) + pcmBytes;
    ++entryFrames_;
}

bool DvFileSplitter::putEntry() {
    if (entryFrames_ == 0) return true;
    const uint32_t n = static_cast<uint32_t>(entryFrames_);
    std::memcpy(entry_.data(), &n, 4);
    const bool ok = buffer_.putFrame({entry_.data(), entryUsed_}, entryFlags_);
    if (ok) deliveredFrames_ += entryFrames_;
    entryUsed_ = kEntryHeader;
    entryFrames_ = 0;
    entryFlags_ = 0;
    return ok;
}

int DvFileSplitter::entryFrameCount(std::span<const uint8_t> entry) {
    uint32_t n = 0;
    if (entry.size() >= kEntryHeader) std::memcpy(&n, entry.data(), 4);
    return static_cast<int>(std::min<uint32_t>(n, kFramesPerEntry));
}

size_t DvFileSplitter::readEntryFrame(std::span<const uint8_t> entry, size_t at, size_t frameSize, SlotFrame& out) {
    if (at + kFrameHeader > entry.size()) return 0;
    const uint8_t* data = nullptr;
    uint32_t count = 0, pcmBytes = 0;
    const uint8_t* p = entry.data() + at;
    std::memcpy(&data, p, sizeof data);
    std::memcpy(&count, p + 8, 4);
    std::memcpy(&pcmBytes, p + 12, 4);
    const size_t blocks = (2 + core::dv::kDifBlockSize) * size_t(count);
    const size_t next = at + kFrameHeader + blocks + pcmBytes;
    if (!data || count > 12 * core::dv::kAauxPacksPerSequence || pcmBytes > kMaxPcmBytes || next > entry.size()) return 0;
    out.data = data;
    out.bytes = {{data, frameSize},
                 p + kFrameHeader + 2 * size_t(count),
                 reinterpret_cast<const uint16_t*>(p + kFrameHeader),
                 static_cast<int>(count)};
    out.pcm = {p + kFrameHeader + blocks, pcmBytes};
    out.timecode.hours = static_cast<int8_t>(p[16]);
    out.timecode.minutes = static_cast<int8_t>(p[17]);
    out.timecode.seconds = static_cast<int8_t>(p[18]);
    out.timecode.frames = static_cast<int8_t>(p[19]);
    out.timecode.dropFrame = p[20] != 0;
    return next;
}

// The source's map has two windows that take turns: a move unmaps the window before last, whose frames
// were all delivered before the previous move. Those must be written now; the sink writes every entry
// it takes, so once they are in the buffer they are written without waiting for more. (After an abort
// the sink stops reading frames and says so.)
void DvFileSplitter::waitForSink() {
    putEntry();
    const int64_t needed = deliveredAtLastMove_;
    deliveredAtLastMove_ = deliveredFrames_;
    std::unique_lock<std::mutex> lock(writtenMutex_);
    writtenWake_.wait(lock, [&] { return writtenFrames_ >= needed; });
}

void DvFileSplitter::publishWritten(int64_t frames) {
    {
        std::lock_guard<std::mutex> g(writtenMutex_);
        writtenFrames_ = frames;
    }
    writtenWake_.notify_all();
}

void DvFileSplitter::sourceLoop() {
    DvFrame frame;
    const size_t size = source_.frameSize();
    Status failure;
    while (source_.next(frame)) {
        if (progress_.cancelled()) {
            buffer_.abort();
            return;
        }
        SplitFrameInfo info;
        int pcmSamples = 0;
        auto read = [&] {
            // One read per page maps the whole frame here (the kernel maps its neighbours with it), so
            // that the sink's write finds every page mapped instead of faulting them in itself.
            uint8_t touched = 0;
            for (size_t at = 0; at < size; at += kPageStep) touched |= frame.data[at];
            pageTouch_ = touched;
            info = readSplitFrameInfo(frame.data, size, settings_.trigger);
            if (outputType_ == media::AviType::kType2) pcmSamples = joinedPcm(frame);
        };
        if (!guarded(read)) {
            failure = Status::failure(ErrorCode::kReadFailed, {}, EIO);
            break;
        }
        // A frame repeated over an empty index entry stays with the frame before it (or is dropped
        // with it by the pre-roll): it carries that frame's metadata, not a new scene.
        SplitDecider::Verdict v =
            frame.repeated ? SplitDecider::Verdict{false, lastDelivered_, false, false} : decider_.step(info);
        lastDelivered_ = v.deliver;
        if (v.split && (!putEntry() || !buffer_.putEndOfFile())) return;
        if (v.deliver) {
            uint32_t flags =
                (v.startsFile ? FrameRingBuffer::kStartNewFile : 0) | (v.newReel ? FrameRingBuffer::kNewReel : 0);
            if (flags != 0 && !putEntry()) return;  // a marked frame starts an entry
            addToEntry(frame, flags, info, pcmSamples);
            if (entryFrames_ == kFramesPerEntry && !putEntry()) return;
        }
        progress_.setDone(frame.index + 1);
    }
    if (!putEntry()) return;
    if (failure.ok()) failure = source_.status();
    if (!failure.ok()) {
        std::lock_guard<std::mutex> g(sourceMutex_);
        sourceStatus_ = failure;
    }
    buffer_.putEndOfInput();
}

// Waits for the first frame of file `fileNumber`, names the file and opens its writer.
Status DvFileSplitter::beginFile(int fileNumber, bool& ended) {
    ended = false;
    uint32_t flags = 0;
    std::span<const uint8_t> data;
    FrameRingBuffer::FirstFrame status = buffer_.firstFrameStatus(&flags, &data);
    if (status == FrameRingBuffer::FirstFrame::kNoFrame) {
        {
            std::lock_guard<std::mutex> g(sourceMutex_);
            if (!sourceStatus_.ok()) {
                char msg[64];
                std::snprintf(msg, sizeof msg, "Failed to get status of first frame (0x%x)",
                              static_cast<unsigned>(sourceStatus_.code));
                return Status::failure(sourceStatus_.code, msg, sourceStatus_.sysError);
            }
        }
        if (fileNumber == 1) {
            noFilesCreated_ = true;
            return Status::failure(ErrorCode::kReadFailed,
                                   settings_.prerollSeconds > 0
                                       ? "No frames were found in the input file after applying pre-roll delay."
                                       : "No frames were found in the input file.");
        }
        ended = true;  // the input has ended: no further file
        return Status::success();
    }
    if (status != FrameRingBuffer::FirstFrame::kPending) {
        if (progress_.cancelled()) return Status::failure(ErrorCode::kCancelled, "Operation Cancelled");
        char msg[64];
        std::snprintf(msg, sizeof msg, "Failed to get status of first frame (0x%x)", static_cast<unsigned>(status));
        return Status::failure(ErrorCode::kReadFailed, msg);
    }
    // The file's first frame, whole and joined, for its name and audio rate.
    SlotFrame first;
    bool whole = entryFrameCount(data) > 0 && readEntryFrame(data, kEntryHeader, firstFrame_.size(), first) != 0;
    auto copyFirst = [&] {
        std::memcpy(firstFrame_.data(), first.data, firstFrame_.size());
        for (int i = 0; i < first.bytes.blockCount; ++i)
            std::memcpy(firstFrame_.data() + core::dv::kDifBlockSize * first.bytes.blocks[i],
                        first.bytes.patch + core::dv::kDifBlockSize * size_t(i), core::dv::kDifBlockSize);
    };
    if (!whole || !guarded(copyFirst)) return Status::failure(ErrorCode::kReadFailed, "Error while splitting AVI");
    data = {firstFrame_.data(), firstFrame_.size()};
    if ((flags & FrameRingBuffer::kNewReel) && !baseReel_.empty()) currentReel_ = reelWithLetter(baseReel_, reelCounter_++);

    current_ = {};
    current_.first = readSplitFrameInfo(data.data(), data.size());
    current_.reel = currentReel_;
    current_.path = uniqueFileName(outputBase_ + splitNameSuffix(settings_.nameFormat, fileNumber, current_.first) + ".avi");

    media::AviWriterOptions opt;
    opt.type = outputType_;
    opt.pal = pal_;
    opt.reservedListSize = static_cast<uint32_t>(media::kTimecodeListSize);
    opt.reservedText = media::timecodeListReservedText();
    if (auto audio = media::dvaudio::readAudioInfo(data.data(), data.size())) opt.audioSampleRate = audio->sampleRate;
    Status st = currentOut_.begin(current_.path, {false, {inputPath_}});
    if (!st) return st;
    st = writer_.open(currentOut_.tempPath(), opt);
    if (!st) return Status::failure(ErrorCode::kWriteFailed, "Could not set the output file name", st.sysError);

    if (fileCallback_) {
        char buf[600];
        std::string name = fileNameOf(current_.path);
        if (currentReel_.empty())
            std::snprintf(buf, sizeof buf, "Splitting to output file #%d ...\n%s", fileNumber, name.c_str());
        else
            std::snprintf(buf, sizeof buf, "Splitting to output file #%d ...\n%s (%s)", fileNumber, name.c_str(),
                          currentReel_.c_str());
        fileCallback_(buf);
    }
    return Status::success();
}

void DvFileSplitter::writeLogEntry(const SplitOutputFile& out, int fileNumber) {
    // The log shows drop-frame timecode as the batch list and the file's timecode list do.
    const auto form = core::DropFrameDisplay::kEverywhere;
    const std::string start = timecodeText(out.first.tcHours, out.first.tcMinutes, out.first.tcSeconds, out.first.tcFrames,
                                           out.first.tcDropFrame, form);
    const std::string end = timecodeText(out.endHours, out.endMinutes, out.endSeconds, out.endFrames, out.dropFrame, form);
    const std::string name = fileNameOf(out.path);
    if (log_) {
        std::fprintf(log_, "Split file #%d created\r\nFile name: %s\r\n", fileNumber, name.c_str());
        if (!out.reel.empty()) std::fprintf(log_, "Reel: %s\r\n", out.reel.c_str());
        std::fprintf(log_, "Start TC: %s\r\nEnd TC: %s\r\nFrames: %lld\r\n\r\n", start.c_str(), end.c_str(),
                     static_cast<long long>(out.frames));
        std::fflush(log_);
    }
    if (batch_) writeBatchListEntry(batch_, out.path, start, end, out.frames, out.reel);
}

Status DvFileSplitter::finishFile() {
    Status st = writer_.close();
    if (!st && st.sysError == EFAULT) return stoppedEarly(framesWritten_, totalFrames_);
    if (!st) return Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file", st.sysError);
    publishWritten(queuedFrames_);
    current_.timecodeListWritten =
        media::writeTimecodeListTo(currentOut_.tempPath(), current_.first.timecodeText(), current_.reel);
    setDateModified(currentOut_.tempPath(), current_.first);
    st = currentOut_.commit();
    if (!st) return st;
    writeLogEntry(current_, fileNumber_);
    outputs_.push_back(current_);
    return Status::success();
}

// A file cut short by cancel or failure is removed.
void DvFileSplitter::discardFile() {
    writer_.close();
    currentOut_.discard();
}

Status DvFileSplitter::sinkFrame(const SlotFrame& f) {
    Status st;
    // The writer reads mapped bytes of the first frame: guarded against the input being truncated.
    auto one = [&] {
        st = writer_.queueFrame(f.bytes, outputType_ == media::AviType::kType2 ? f.pcm : std::span<const uint8_t>());
    };
    if (!guarded(one)) return Status::failure(ErrorCode::kReadFailed, {}, EIO);
    if (!st) return st;
    ++queuedFrames_;
    const core::FoundTimecode& tc = f.timecode;
    current_.endHours = tc.hours;
    current_.endMinutes = tc.minutes;
    current_.endSeconds = tc.seconds;
    current_.endFrames = tc.frames;
    current_.dropFrame = tc.hours >= 0 ? tc.dropFrame : current_.first.tcDropFrame;
    ++current_.frames;
    return Status::success();
}

Status DvFileSplitter::sinkLoop() {
    Status result;
    const size_t frameSize = source_.frameSize();
    for (;;) {
        FrameRingBuffer::Entry e;
        if (!buffer_.take(e)) {
            result = progress_.cancelled() ? Status::failure(ErrorCode::kCancelled, "Operation Cancelled")
                                           : Status::failure(ErrorCode::kReadFailed, "Error while splitting AVI");
            discardFile();
            break;
        }
        if (e.kind == FrameRingBuffer::EntryKind::kFrame) {
            Status st;
            bool cancelled = false;
            const int count = entryFrameCount(e.data);
            size_t at = kEntryHeader;
            for (int i = 0; i < count && st.ok() && !cancelled; ++i) {
                SlotFrame f;
                at = readEntryFrame(e.data, at, frameSize, f);
                st = at != 0 ? sinkFrame(f) : Status::failure(ErrorCode::kReadFailed, {}, EIO);
                if (!st) break;
                if (frameHook_) frameHook_(framesWritten_);
                ++framesWritten_;
                cancelled = progress_.cancelled();
            }
            buffer_.release();
            // The entry's frames in one write; the source may be waiting for them before its map moves.
            if (st.ok() && !cancelled) {
                st = writer_.flush();
                if (st) publishWritten(queuedFrames_);
            }
            if (!st) {
                // The frames are written straight from the input's map: a fault there is the input
                // cut short under the run.
                result = st.code == ErrorCode::kReadFailed || st.sysError == EFAULT
                             ? stoppedEarly(framesWritten_, totalFrames_)
                             : Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file", st.sysError);
                discardFile();
                buffer_.abort();
                break;
            }
            if (cancelled) {
                result = Status::failure(ErrorCode::kCancelled, "Operation Cancelled");
                discardFile();
                buffer_.abort();
                break;
            }
            continue;
        }
        const bool endOfInput = e.kind == FrameRingBuffer::EntryKind::kEndOfInput;
        buffer_.release();
        // The input failed before its end: the file it was in is cut short.
        if (endOfInput && !sourceFailure().ok()) {
            discardFile();
            break;
        }
        Status st = finishFile();
        if (!st) {
            result = st;
            discardFile();
            buffer_.abort();
            break;
        }
        if (endOfInput) break;
        ++fileNumber_;
        bool ended = false;
        st = beginFile(fileNumber_, ended);
        if (!st) {
            result = st;
            buffer_.abort();
            break;
        }
        if (ended) break;  // no further frame: the split is complete
    }
    publishWritten(kAllWritten);  // the sink reads no more frames
    if (const Status source = sourceFailure(); result.ok() && !source.ok()) {
        result = source.code == ErrorCode::kReadFailed && source.message.empty()
                     ? stoppedEarly(progress_.done(), totalFrames_)
                     : Status::failure(source.code, "Error while splitting AVI", source.sysError);
    }
    return result;
}

Status DvFileSplitter::sourceFailure() {
    std::lock_guard<std::mutex> g(sourceMutex_);
    return sourceStatus_;
}

Status DvFileSplitter::work() {
    const Status result = sinkLoop();
    if (sourceThread_.joinable()) sourceThread_.join();
    release();
    return result;
}

Status DvFileSplitter::run(const std::string& inputPath) {
    Status st = open(inputPath);
    if (!st) return st;
    if (!start()) return result();
    return wait();
}

}  // namespace zorv::tools
