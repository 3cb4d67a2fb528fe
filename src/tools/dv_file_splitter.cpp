#include "tools/dv_file_splitter.h"

#include <fcntl.h>
#include <sys/stat.h>

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
#include "tools/split_naming.h"

namespace zorv::tools {

using core::ErrorCode;
using core::FrameRingBuffer;
using core::Status;

namespace {

// Frames per gathered write: about 0.9 MB, under the frame buffer's 8 slots, so the source refills
// the buffer while the sink's write runs and the sink finds the next frames waiting when it returns.
constexpr int kFramesPerWrite = 6;

template <class F>
bool guarded(F& f) {
    return media::guardedCall([](void* c) { (*static_cast<F*>(c))(); }, &f);
}

// Item text of the reserved INFO list: "zorv" 28 times with single spaces (139 characters), which
// makes the list exactly 160 bytes, the size the timecode list replaces in place.
std::string reservedItemText() {
    std::string text = "zorv";
    for (int i = 1; i < 28; ++i) text += " zorv";
    return text;
}

std::string timecodeLine(int h, int m, int s, int f, bool drop) {
    if (h < 0) return "--:--:--:--";
    char buf[32];
    std::snprintf(buf, sizeof buf, drop ? "%02d;%02d;%02d;%02d" : "%02d:%02d:%02d:%02d", h, m, s, f);
    return buf;
}

std::string csvText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
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

// Replaces a reserved list of exactly 160 bytes with the timecode list; any other file is left as
// the writer made it.
bool writeTdat(const std::string& path, const SplitFrameInfo& first, const std::string& reel) {
    media::File file;
    if (!file.open(path, media::File::Mode::kReadWrite)) return false;
    auto list = media::findReservedList(file.fd());
    if (!list || list->size != media::kTimecodeListSize) return false;
    std::string tc;
    if (first.hasTimecode())
        tc = media::timecodeText(first.tcHours, first.tcMinutes, first.tcSeconds, first.tcFrames, first.tcDropFrame);
    std::vector<uint8_t> bytes = media::buildTimecodeList(tc, reel);
    if (bytes.size() != media::kTimecodeListSize) return false;
    return file.writeAt(static_cast<int64_t>(list->pos), bytes.data(), bytes.size());
}

}  // namespace

SplitSettings splitSettingsFrom(const core::Options& o) {
    SplitSettings s;
    s.trigger = core::clampSplitTrigger(o.splitTrigger);
    s.nameFormat = core::clampSplitFileNameFormat(o.splitFileNameFormat);
    s.timecodeThreshold = core::clampSplitThreshold(o.timecodeTriggerFrames);
    s.dateTimeThreshold = core::clampSplitThreshold(o.dateTimeTriggerSeconds);
    s.prerollSeconds = core::clampPrerollDelay(o.prerollDelaySeconds);
    return s;
}

DvFileSplitter::~DvFileSplitter() {
    progress_.cancel();
    buffer_.abort();
    if (sinkThread_.joinable()) sinkThread_.join();
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
        result_ = st;
        return st;
    };

    std::string base = pathWithoutExtension(inputPath);
    outputBase_ = settings_.outputFolder.empty()
                      ? base
                      : (std::filesystem::path(settings_.outputFolder) / fileNameOf(base)).string();

    Status st = buffer_.create(settings_.bufferSlots);
    if (!st) return fail(st);

    st = source_.open(inputPath, true);
    if (!st || (source_.typeNumber() != 1 && source_.typeNumber() != 2) ||
        source_.frameSize() > FrameRingBuffer::kSlotSize)
        return fail(Status::failure(ErrorCode::kOpenFailed, "Failed to create splitter source graph", st.sysError));
    outputType_ = source_.typeNumber();
    pal_ = source_.pal();
    totalFrames_ = source_.frameCount();
    progress_.setTotal(totalFrames_);

    logPath_ = uniqueFileName(outputBase_ + ".log");
    log_ = std::fopen(logPath_.c_str(), "wb");
    if (!log_) return fail(Status::failure(ErrorCode::kWriteFailed, "Failed to create log file", errno));
    batchPath_ = uniqueFileName(outputBase_ + ".csv");
    batch_ = std::fopen(batchPath_.c_str(), "wb");
    if (!batch_) return fail(Status::failure(ErrorCode::kWriteFailed, "Failed to create Premiere batch list file", errno));

    SplitRules rules;
    rules.trigger = settings_.trigger;
    rules.timecodeThreshold = settings_.timecodeThreshold;
    rules.dateTimeThreshold = settings_.dateTimeThreshold;
    rules.prerollSeconds = settings_.prerollSeconds;
    decider_.reset(rules);
    pcm_.assign(2 * media::dvaudio::kMaxSamplesPerFrame, 0);
    const size_t maxBlocks = size_t(core::dv::sequenceCount(source_.frameSize())) * core::dv::kAauxPacksPerSequence;
    slotBytes_.assign(16 + maxBlocks * (2 + core::dv::kDifBlockSize), 0);
    scratch_.assign(source_.frameSize(), 0);
    firstFrame_.assign(source_.frameSize(), 0);
    // The source maps the input and reads the pack blocks (and, for Type 2, the audio blocks), which
    // maps every page on the way; the sink writes the frames from the same map. The map moves on
    // only when the sink has written what it delivered.
    source_.setMapped(true, [this] { waitForSink(); }, false);

    sourceThread_ = std::thread([this] { sourceLoop(); });

    bool ended = false;
    st = beginFile(fileNumber_, ended);
    if (!st) return fail(st);
    return Status::success();
}

// Entry layout: the frame's mapped address (8 bytes), changed block count (4), the block numbers (2
// each), then the blocks' bytes from offset 16 + 2 * maxBlocks.
std::span<const uint8_t> DvFileSplitter::describeFrame(const DvFrame& frame) {
    const uint8_t* const pos = frame.data;
    static_assert(sizeof pos <= 8);
    const uint32_t count = static_cast<uint32_t>(frame.patchedCount);
    const size_t maxBlocks = (slotBytes_.size() - 16) / (2 + core::dv::kDifBlockSize);
    uint8_t* p = slotBytes_.data();
    std::memcpy(p, &pos, sizeof pos);
    std::memcpy(p + 8, &count, 4);
    if (count > 0) {
        std::memcpy(p + 16, frame.patchedBlocks, 2 * size_t(count));
        std::memcpy(p + 16 + 2 * maxBlocks, frame.patch, core::dv::kDifBlockSize * count);
    }
    return {p, 16 + 2 * maxBlocks + core::dv::kDifBlockSize * count};
}

bool DvFileSplitter::resolveFrame(std::span<const uint8_t> entry, SlotFrame& out) {
    const size_t size = source_.frameSize();
    const size_t maxBlocks = (slotBytes_.size() - 16) / (2 + core::dv::kDifBlockSize);
    if (entry.size() < 16) return false;
    const uint8_t* pos = nullptr;
    uint32_t count = 0;
    std::memcpy(&pos, entry.data(), sizeof pos);
    std::memcpy(&count, entry.data() + 8, 4);
    out.data = pos;
    if (!out.data) return false;
    out.bytes = {{out.data, size},
                 entry.data() + 16 + 2 * maxBlocks,
                 reinterpret_cast<const uint16_t*>(entry.data() + 16),
                 static_cast<int>(count)};
    return true;
}

void DvFileSplitter::waitForSink() {
    {
        std::lock_guard<std::mutex> g(writtenMutex_);
        if (writtenFrames_ >= deliveredFrames_) return;
    }
    // The sink may be holding frames for a fuller write while it waits for more: an empty entry asks
    // it to write them now. (Nothing to ask after an abort: the sink then stops reading frames.)
    buffer_.putFrame({}, 0);
    std::unique_lock<std::mutex> lock(writtenMutex_);
    writtenWake_.wait(lock, [this] { return writtenFrames_ >= deliveredFrames_; });
}

void DvFileSplitter::publishWritten(int64_t frames) {
    {
        std::lock_guard<std::mutex> g(writtenMutex_);
        writtenFrames_ = frames;
    }
    writtenWake_.notify_all();
}

Status DvFileSplitter::flushQueued() {
    unflushed_ = 0;
    Status st = writer_.flush();
    if (st) publishWritten(queuedFrames_);
    return st;
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
        auto read = [&] { info = readSplitFrameInfo(frame.data, size); };
        if (!guarded(read)) {
            failure = Status::failure(ErrorCode::kReadFailed, {}, EIO);
            break;
        }
        SplitDecider::Verdict v = decider_.step(info);
        if (v.split && !buffer_.putEndOfFile()) return;
        if (v.deliver) {
            uint32_t flags = (v.startsFile ? FrameRingBuffer::kStartNewFile : 0) |
                             (v.newReel ? FrameRingBuffer::kNewReel : 0);
            if (!buffer_.putFrame(describeFrame(frame), flags)) return;
            ++deliveredFrames_;
        }
        progress_.setDone(frame.index + 1);
    }
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
    FrameRingBuffer::FirstFrame status;
    while ((status = buffer_.firstFrameStatus(&flags, &data)) == FrameRingBuffer::FirstFrame::kPending &&
           data.empty()) {
        // A request to write out the queued frames: every frame before it is written already.
        FrameRingBuffer::Entry e;
        if (buffer_.take(e)) buffer_.release();
        publishWritten(queuedFrames_);
    }
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
    bool whole = resolveFrame(data, first);
    auto copyFirst = [&] {
        std::memcpy(firstFrame_.data(), first.data, firstFrame_.size());
        for (int i = 0; i < first.bytes.blockCount; ++i)
            std::memcpy(firstFrame_.data() + core::dv::kDifBlockSize * first.bytes.blocks[i],
                        first.bytes.patch + core::dv::kDifBlockSize * size_t(i), core::dv::kDifBlockSize);
    };
    if (!whole || !guarded(copyFirst)) return Status::failure(ErrorCode::kReadFailed, "Error while splitting AVI");
    data = {firstFrame_.data(), firstFrame_.size()};
    if ((flags & FrameRingBuffer::kNewReel) && !baseReel_.empty())
        currentReel_ = reelWithLetter(baseReel_, reelCounter_++);

    current_ = {};
    current_.first = readSplitFrameInfo(data.data(), data.size());
    current_.reel = currentReel_;
    current_.path = uniqueFileName(outputBase_ + splitNameSuffix(settings_.nameFormat, fileNumber, current_.first) + ".avi");

    media::AviWriterOptions opt;
    opt.type = outputType_ == 2 ? media::AviType::kType2 : media::AviType::kType1;
    opt.pal = pal_;
    opt.reservedListSize = static_cast<uint32_t>(media::kTimecodeListSize);
    opt.reservedText = reservedItemText();
    if (auto audio = media::dvaudio::readAudioInfo(data.data(), data.size())) opt.audioSampleRate = audio->sampleRate;
    Status st = writer_.open(current_.path, opt);
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
    std::string start = timecodeLine(out.first.tcHours, out.first.tcMinutes, out.first.tcSeconds, out.first.tcFrames,
                                     out.first.tcDropFrame);
    std::string end = timecodeLine(out.endHours, out.endMinutes, out.endSeconds, out.endFrames, out.dropFrame);
    std::string name = fileNameOf(out.path);
    if (log_) {
        std::fprintf(log_, "Split file #%d created\r\nFile name: %s\r\n", fileNumber, name.c_str());
        if (!out.reel.empty()) std::fprintf(log_, "Reel: %s\r\n", out.reel.c_str());
        std::fprintf(log_, "Start TC: %s\r\nEnd TC: %s\r\nFrames: %lld\r\n\r\n", start.c_str(), end.c_str(),
                     static_cast<long long>(out.frames));
        std::fflush(log_);
    }
    if (batch_) {
        std::fprintf(batch_, "%s,\"%s\",\"%s\",%lld,%s\r\n", csvText(name).c_str(), start.c_str(), end.c_str(),
                     static_cast<long long>(out.frames), csvText(out.reel).c_str());
        std::fflush(batch_);
    }
}

Status DvFileSplitter::finishFile() {
    unflushed_ = 0;
    Status st = writer_.close();
    if (!st) return Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file", st.sysError);
    publishWritten(queuedFrames_);
    current_.timecodeListWritten = writeTdat(current_.path, current_.first, current_.reel);
    setDateModified(current_.path, current_.first);
    writeLogEntry(current_, fileNumber_);
    outputs_.push_back(current_);
    return Status::success();
}

// A file cut short by cancel or failure is removed.
void DvFileSplitter::discardFile() {
    if (!writer_.isOpen()) return;
    writer_.close();
    std::error_code ec;
    std::filesystem::remove(current_.path, ec);
}

void DvFileSplitter::sinkLoop() {
    Status result;
    const bool type2 = outputType_ == 2;
    for (;;) {
        FrameRingBuffer::Entry e;
        if (!buffer_.take(e)) {
            result = progress_.cancelled() ? Status::failure(ErrorCode::kCancelled, "Operation Cancelled")
                                           : Status::failure(ErrorCode::kReadFailed, "Error while splitting AVI");
            discardFile();
            break;
        }
        if (e.kind == FrameRingBuffer::EntryKind::kFrame && e.data.empty()) {
            // The source waits for what it delivered to be written before its map moves on.
            buffer_.release();
            if (Status st = flushQueued(); !st) {
                result = Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file", st.sysError);
                discardFile();
                buffer_.abort();
                break;
            }
            continue;
        }
        if (e.kind == FrameRingBuffer::EntryKind::kFrame) {
            Status st;
            core::FoundTimecode tc;
            SlotFrame f;
            if (!resolveFrame(e.data, f)) st = Status::failure(ErrorCode::kReadFailed, {}, EIO);
            // The frame's reads of mapped bytes run guarded against the input being truncated.
            auto one = [&] {
                const size_t size = f.bytes.data.size();
                std::span<const uint8_t> pcm;
                if (type2) {
                    // The audio as joined: pack and audio blocks of the frame, with the changed ones.
                    namespace dv = core::dv;
                    for (size_t q = 0; q < size / dv::kSequenceSize; ++q) {
                        const size_t seq = q * dv::kSequenceSize;
                        std::memcpy(scratch_.data() + seq, f.data + seq, 6 * dv::kDifBlockSize);
                        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
                            const size_t at = seq + dv::audioBlockIndex(a) * dv::kDifBlockSize;
                            std::memcpy(scratch_.data() + at, f.data + at, dv::kDifBlockSize);
                        }
                    }
                    for (int i = 0; i < f.bytes.blockCount; ++i)
                        std::memcpy(scratch_.data() + dv::kDifBlockSize * f.bytes.blocks[i],
                                    f.bytes.patch + dv::kDifBlockSize * size_t(i), dv::kDifBlockSize);
                    if (auto info = media::dvaudio::readAudioInfo(scratch_.data(), size)) {
                        int n = media::dvaudio::extractPcm(scratch_.data(), size, *info, 0, pcm_.data());
                        pcm = {reinterpret_cast<const uint8_t*>(pcm_.data()), static_cast<size_t>(n) * 4};
                    }
                }
                st = writer_.queueFrame(f.bytes, pcm);
                tc = core::findTimecode(f.data, static_cast<int>(size / 12000));
            };
            if (st.ok() && !guarded(one)) st = Status::failure(ErrorCode::kReadFailed, {}, EIO);
            buffer_.release();
            if (st.ok()) {
                ++queuedFrames_;
                if (++unflushed_ >= kFramesPerWrite) st = flushQueued();
            }
            if (!st) {
                result = st.code == ErrorCode::kReadFailed
                             ? Status::failure(ErrorCode::kReadFailed, "Error while splitting AVI", st.sysError)
                             : Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file", st.sysError);
                discardFile();
                buffer_.abort();
                break;
            }
            current_.endHours = tc.hours;
            current_.endMinutes = tc.minutes;
            current_.endSeconds = tc.seconds;
            current_.endFrames = tc.frames;
            current_.dropFrame = tc.hours >= 0 ? tc.dropFrame : current_.first.tcDropFrame;
            ++current_.frames;
            if (frameHook_) frameHook_(framesWritten_);
            ++framesWritten_;
            if (progress_.cancelled()) {
                result = Status::failure(ErrorCode::kCancelled, "Operation Cancelled");
                discardFile();
                buffer_.abort();
                break;
            }
            continue;
        }
        const bool endOfInput = e.kind == FrameRingBuffer::EntryKind::kEndOfInput;
        buffer_.release();
        Status st = finishFile();
        if (!st) {
            result = st;
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
    if (result.ok()) {
        std::lock_guard<std::mutex> g(sourceMutex_);
        if (!sourceStatus_.ok()) result = Status::failure(sourceStatus_.code, "Error while splitting AVI", sourceStatus_.sysError);
    }
    result_ = result;
}

bool DvFileSplitter::start() {
    if (!opened_ || !result_.ok() || sinkThread_.joinable()) return false;
    sinkThread_ = std::thread([this] {
        sinkLoop();
        if (sourceThread_.joinable()) sourceThread_.join();
        release();
        finished_.store(true, std::memory_order_release);
    });
    return true;
}

Status DvFileSplitter::wait() {
    if (sinkThread_.joinable()) sinkThread_.join();
    return result_;
}

Status DvFileSplitter::run(const std::string& inputPath) {
    Status st = open(inputPath);
    if (!st) return st;
    if (!start()) return result_;
    return wait();
}

}  // namespace zorv::tools
