#include "tools/audio_extract.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "media/formats/format_table.h"
#include "media/dv_audio.h"
#include "media/wav_writer.h"
#include "tools/stopped_early.h"

namespace zorv::tools {

namespace {
constexpr size_t kStreamPiece = size_t(1) << 20;
}  // namespace

using core::ErrorCode;
using core::Status;

std::string extractOutputName(const std::string& input) {
    std::filesystem::path p(input);
    p.replace_extension();
    return p.string() + ".wav";
}

AudioExtractJob::AudioExtractJob(std::string input, std::string output, bool overwrite)
    : input_(std::move(input)), output_(std::move(output)), overwrite_(overwrite) {}

AudioExtractJob::~AudioExtractJob() { stop(); }

Status AudioExtractJob::build() {
    if (Status s = out_.begin(output_, {overwrite_, {input_}}); !s) return s;
    Status s = source_.open(input_, false);
    if (!s) {
        if (s.message.empty()) s.message = "Could not add source filter";
        return s;
    }
    if (source_.frameCount() <= 0) return Status::failure(ErrorCode::kReadFailed, "Failed to get duration of file");
    if (media::formatOf(source_.type()).aviType == 2) {
        const auto& f = source_.audioFormat();
        if (f.streamNumber < 0) return Status::failure(ErrorCode::kNoAudio, kNoAudioStream);
        if (!f.isPcm16Stereo()) return Status::failure(ErrorCode::kReadFailed, "Could not connect AVI splitter to Wav dest");
        rate_ = f.sampleRate;
        fromStream_ = true;
        Status s = stream_.open(source_.file().file());
        if (!s) return s;
    } else {
        // The interleaved stream's audio is described by the first frame's AAUX source pack.
        std::vector<uint8_t> frame(source_.frameSize());
        for (int64_t n = 0; n < source_.frameCount(); ++n) {
            if (source_.file().frameDataPosition(n) < 0) continue;
            if (!source_.file().readFrame(n, frame.data())) return source_.file().status();
            if (auto info = media::dvaudio::readAudioInfo(frame.data(), frame.size())) rate_ = info->sampleRate;
            break;
        }
        if (rate_ == 0) return Status::failure(ErrorCode::kNoAudio, kNoAudioStream);
    }
    progress_.setTotal(source_.frameCount());
    built_ = true;
    return Status::success();
}

std::string AudioExtractJob::progressText() const {
    return "Extracting audio from AVI file ...\n" + std::filesystem::path(output_).filename().string();
}

Status AudioExtractJob::work() { return out_.finish(run()); }

Status AudioExtractJob::run() {
    auto failed = [&](Status s, const char* text) {
        // The input ended, or failed to read, before its last frame.
        if (s.code == ErrorCode::kReadFailed && s.message.empty())
            return stoppedEarly(progress_.done(), source_.frameCount());
        s.message = s.code == ErrorCode::kCancelled ? "Operation Cancelled" : text;
        return s;
    };
    media::WavWriter wav;
    Status s = wav.open(out_.tempPath(), rate_, 2);
    if (!s) return failed(s, kExtractionFailed);
    if (fromStream_) {
        s = copyStream(wav);
        if (!s) {
            wav.close();
            return failed(s, kExtractionFailed);
        }
    }
    std::vector<int16_t> pcm(2 * media::dvaudio::kMaxSamplesPerFrame);
    std::vector<uint8_t> bytes(4 * media::dvaudio::kMaxSamplesPerFrame);
    DvFrame f;
    int64_t done = 0, delivered = 0;
    while (!fromStream_ && source_.next(f)) {
        int samples = 0;
        const int16_t* from = pcm.data();
        if (auto info = media::dvaudio::readAudioInfo(f.data, source_.frameSize()); info && info->sampleRate == rate_) {
            samples = media::dvaudio::extractPcm(f.data, source_.frameSize(), *info, 0, pcm.data());
        } else {
            samples = media::dvaudio::samplesForFrame(delivered, rate_, source_.pal());
            std::fill(pcm.begin(), pcm.begin() + 2 * samples, 0);
        }
        for (int i = 0; i < 2 * samples; ++i) {
            bytes[2 * size_t(i)] = uint8_t(from[i]);
            bytes[2 * size_t(i) + 1] = uint8_t(uint16_t(from[i]) >> 8);
        }
        s = wav.write({bytes.data(), size_t(4 * samples)});
        if (!s) return failed(s, kExtractionFailed);
        ++delivered;
        progress_.setDone(++done);
        if (progress_.cancelled()) {
            wav.close();
            return failed(Status::failure(ErrorCode::kCancelled), kExtractionFailed);
        }
    }
    if (!source_.status()) return failed(source_.status(), kExtractionFailed);
    s = wav.close();
    if (!s) return failed(s, kExtractionFailed);
    if (wav.dataBytes() == 0) return Status::failure(ErrorCode::kNoAudio, kNoAudioFound);
    return Status::success();
}

// The audio stream as it is, chunk by chunk, in whole samples.
Status AudioExtractJob::copyStream(media::WavWriter& wav) {
    std::vector<uint8_t> piece;
    piece.reserve(kStreamPiece + 4);
    const int64_t fileSize = std::max<int64_t>(1, source_.file().fileSize());
    const int64_t frames = source_.frameCount();
    for (;;) {
        size_t got = stream_.read(piece, kStreamPiece - piece.size());
        if (stream_.failed()) return Status::failure(ErrorCode::kReadFailed, {}, EIO);
        const size_t whole = piece.size() - piece.size() % 4;
        if (whole > 0) {
            Status s = wav.write({piece.data(), whole});
            if (!s) return s;
            piece.erase(piece.begin(), piece.begin() + long(whole));
        }
        progress_.setDone(std::min(frames, stream_.position() * frames / fileSize));
        if (progress_.cancelled()) return Status::failure(ErrorCode::kCancelled);
        if (got == 0) return Status::success();
    }
}

}  // namespace zorv::tools
