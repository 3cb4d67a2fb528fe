#include "tools/dv_convert.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "media/formats/format_table.h"
#include "media/avi_writer.h"
#include "media/dv_audio.h"
#include "media/mapped_window.h"
#include "media/rawdv_writer.h"
#include "tools/stopped_early.h"

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

namespace {
std::string baseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }
}  // namespace

std::string convertOutputName(const std::string& input, ConvertTarget target) {
    std::filesystem::path p(input);
    p.replace_extension();
    return p.string() + (target == ConvertTarget::kRawDv ? "-conv.dv" : "-conv.avi");
}

DvConvertJob::DvConvertJob(std::string input, std::string output, ConvertTarget target, bool overwrite)
    : input_(std::move(input)), output_(std::move(output)), target_(target), overwrite_(overwrite) {}

DvConvertJob::~DvConvertJob() { stop(); }

Status DvConvertJob::build() {
    int t = static_cast<int>(target_);
    if (t < 1 || t > 3) return Status::failure(ErrorCode::kOpenFailed, "Illegal DV AVI file type");
    if (Status s = out_.begin(output_, {overwrite_, {input_}}); !s) return s;
    Status s = source_.open(input_, /*joinAudio=*/target_ != ConvertTarget::kAviType2);
    if (!s) {
        if (s.message.empty()) s.message = "Could not add source filter";
        return s;
    }
    inputType_ = source_.type();
    const bool aviIn = media::isAviType(inputType_);
    if (!aviIn && target_ == ConvertTarget::kRawDv)
        return Status::failure(ErrorCode::kOpenFailed, "Illegal DV AVI file type");
    if (source_.frameCount() <= 0) return Status::failure(ErrorCode::kReadFailed, "Failed to get duration of file");
    progress_.setTotal(source_.frameCount());
    progress_.setDone(0);

    if (aviIn) {
        inputChunks_.attach(source_.file().file().fd(), inputType_);
        if (target_ != ConvertTarget::kRawDv) editorBytes_ = inputChunks_.collectEditorChunks(true);
        if (auto reel = inputChunks_.reelName()) reelName_ = *reel;
    }
    for (int64_t n = 0; n < source_.frameCount(); ++n) {
        if (source_.file().frameDataPosition(n) < 0) continue;
        haveTimecode_ = source_.file().readTimecode(n, firstTimecode_);
        break;
    }
    source_.file().clearError();
    built_ = true;
    return Status::success();
}

bool DvConvertJob::rawDvIn() const { return media::isDvType(inputType_) && !media::isAviType(inputType_); }

std::string DvConvertJob::progressText() const {
    char buf[512];
    std::string name = baseName(output_);
    const int aviIn = media::formatOf(inputType_).aviType;
    if (target_ == ConvertTarget::kRawDv)
        std::snprintf(buf, sizeof buf, "Converting from AVI Type %d to Raw DV ...\n%s", aviIn, name.c_str());
    else if (rawDvIn())
        std::snprintf(buf, sizeof buf, "Converting from Raw DV to AVI Type %d ...\n%s", int(target_), name.c_str());
    else
        std::snprintf(buf, sizeof buf, "Converting from AVI Type %d to AVI Type %d ...\n%s", aviIn, int(target_),
                      name.c_str());
    return buf;
}

std::string DvConvertJob::failureText() const {
    if (target_ == ConvertTarget::kRawDv) return "Failed while converting AVI to Raw DV file";
    if (rawDvIn()) return "Failed while converting Raw DV to AVI file";
    return "Failed while converting AVI file";
}

Status DvConvertJob::work() { return out_.finish(run()); }

namespace {
template <class F>
bool guarded(F& f) {
    return media::guardedCall([](void* c) { (*static_cast<F*>(c))(); }, &f);
}
}  // namespace

// The frames are seen through the source's memory map and queued to the writer, which hands many
// frames at a time to the kernel: each byte of video is copied once, from the input's page cache
// into the output's. Before the map moves, the writer writes what it holds.
Status DvConvertJob::run() {
    DvFrame f;
    int64_t done = 0;
    auto failed = [&](Status s) {
        // The writers copy the frames straight from the input's map: a fault there is the input
        // cut short under them.
        if (s.sysError == EFAULT) return stoppedEarly(done, source_.frameCount());
        if (s.code == ErrorCode::kCancelled) s.message = kOperationCancelled;
        else s.message = failureText();
        return s;
    };
    // The input ended, or failed to read, before its last frame.
    auto sourceFailed = [&] {
        const Status& st = source_.status();
        if (st.code == ErrorCode::kReadFailed && st.message.empty()) return stoppedEarly(done, source_.frameCount());
        return failed(st);
    };
    if (target_ == ConvertTarget::kRawDv) {
        media::RawDvWriter out;
        Status s = out.open(out_.tempPath(), /*writeBehind=*/true);
        if (!s) return Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", s.sysError);
        source_.setMapped(true, [&] { out.flush(); });
        while (source_.next(f)) {
            // "DV Grabber": whole frames, appended in order. A frame read into the source's buffer
            // (when the file cannot be mapped) is written before the buffer is reused.
            s = f.mapped ? out.queueFrame(f.bytes()) : out.writeFrame({f.data, f.size});
            if (!s) return failed(s);
            progress_.setDone(++done);
            if (progress_.cancelled()) return failed(Status::failure(ErrorCode::kCancelled));
        }
        if (!source_.status()) return sourceFailed();
        s = out.close();
        return s ? Status::success() : failed(s);
    }

    media::AviWriterOptions opt;
    opt.type = target_ == ConvertTarget::kAviType1 ? media::AviType::kType1 : media::AviType::kType2;
    opt.pal = source_.pal();
    opt.riffLimit = riffLimit_;
    if (editorBytes_ > 16) {
        // Room for the input's editor chunks, copied in when the file is complete.
        opt.reservedListSize = uint32_t(editorBytes_);
        opt.reservedText.assign(size_t(editorBytes_ - 20), '*');
    }
    // The Type 2 audio rate: the input's audio stream, else the first frame's audio pack.
    std::vector<uint8_t> firstFrame;
    int rate = 48000;
    if (media::formatOf(source_.type()).aviType == 2 && source_.audioFormat().streamNumber >= 0) {
        rate = source_.audioFormat().sampleRate;
    } else {
        int64_t n0 = 0;
        while (n0 < source_.frameCount() && source_.file().frameDataPosition(n0) < 0) ++n0;
        firstFrame.resize(source_.frameSize());
        if (n0 < source_.frameCount() && source_.file().readFrame(n0, firstFrame.data()))
            if (auto info = media::dvaudio::readAudioInfo(firstFrame.data(), firstFrame.size())) rate = info->sampleRate;
    }
    opt.audioSampleRate = uint32_t(rate);
    opt.writeBehind = true;
    media::AviWriter out;
    Status s = out.open(out_.tempPath(), opt);
    if (!s) return Status::failure(ErrorCode::kOpenFailed, "Could not set the output file name", s.sysError);
    source_.setMapped(true, [&] { out.flush(); });
    std::vector<int16_t> pcm(2 * media::dvaudio::kMaxSamplesPerFrame);
    std::vector<uint8_t> pcmBytes(4 * media::dvaudio::kMaxSamplesPerFrame);
    int64_t delivered = 0;
    const bool type2 = opt.type == media::AviType::kType2;
    const size_t frameSize = source_.frameSize();
    // One frame's work; its reads of mapped bytes run guarded against the file being truncated.
    auto one = [&] {
        std::span<const uint8_t> audio;
        if (type2) {
            int samples = 0;
            const int16_t* from = nullptr;
            std::optional<media::dvaudio::AudioInfo> info;
            if (f.pcm) {
                samples = f.pcmSamples;
                from = f.pcm;
            } else if (f.data && (info = media::dvaudio::readAudioInfo(f.data, frameSize)) && info->sampleRate == rate) {
                samples = media::dvaudio::extractPcm(f.data, frameSize, *info, 0, pcm.data());
                from = pcm.data();
            } else {
                // A frame without its audio: silence keeps the streams in step.
                samples = media::dvaudio::samplesForFrame(delivered, rate, source_.pal());
                std::fill(pcm.begin(), pcm.begin() + 2 * samples, 0);
                from = pcm.data();
            }
            if constexpr (std::endian::native == std::endian::little) {
                // The samples are already in the file's byte order; the writer copies them.
                audio = {reinterpret_cast<const uint8_t*>(from), size_t(4 * samples)};
            } else {
                for (int i = 0; i < 2 * samples; ++i) {
                    pcmBytes[2 * size_t(i)] = uint8_t(from[i]);
                    pcmBytes[2 * size_t(i) + 1] = uint8_t(uint16_t(from[i]) >> 8);
                }
                audio = {pcmBytes.data(), size_t(4 * samples)};
            }
        }
        // A frame read into the source's buffer (when the file cannot be mapped) is written before
        // the buffer is reused.
        s = f.mapped || !f.data ? out.queueFrame(f.bytes(), audio) : out.writeFrame({f.data, f.size}, audio);
    };
    while (source_.next(f)) {
        if (!guarded(one)) {
            out.close();
            return stoppedEarly(done, source_.frameCount());
        }
        if (!s) {
            out.close();
            return failed(s);
        }
        ++delivered;
        progress_.setDone(++done);
        if (progress_.cancelled()) {
            out.close();
            return failed(Status::failure(ErrorCode::kCancelled));
        }
    }
    if (!source_.status()) {
        out.close();
        return sourceFailed();
    }
    s = out.close();
    if (!s) return failed(s);
    return finishAvi();
}

Status DvConvertJob::finishAvi() {
    int fd = ::open(out_.tempPath().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Status::failure(ErrorCode::kWriteFailed, failureText(), errno);
    if (editorBytes_ > 16) inputChunks_.copyEditorChunks(fd);
    if (haveTimecode_) {
        media::writeTimecodeList(fd,
                                 media::timecodeText(firstTimecode_.hours, firstTimecode_.minutes, firstTimecode_.seconds,
                                                     firstTimecode_.frames, firstTimecode_.dropFrame),
                                 reelName_);
    }
    ::close(fd);
    return Status::success();
}

}  // namespace zorv::tools
