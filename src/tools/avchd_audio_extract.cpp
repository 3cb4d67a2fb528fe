#include "tools/avchd_audio_extract.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "media/ac3_header.h"
#include "media/avchd_avc_reader.h"
#include "media/file_io.h"
#include "media/ts_packet.h"
#include "media/ts_packet_stream.h"
#include "tools/stopped_early.h"

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

namespace {

// The largest AC-3 frame is 3840 bytes (640 kbit/s at 32 kHz); the carry buffer holds two of them
// and a packet's payload.
constexpr size_t kCarryBytes = 8192;

std::string format1(const char* fmt, const std::string& arg) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt, arg.c_str());
    return buf;
}

}  // namespace

std::string ac3OutputName(const std::string& input) {
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? input.substr(0, dot) : input) + ".ac3";
}

Ac3ExtractJob::Ac3ExtractJob(std::string input, std::string output, bool overwrite)
    : input_(std::move(input)), output_(std::move(output)), overwrite_(overwrite) {}

Ac3ExtractJob::~Ac3ExtractJob() { stop(); }

std::string Ac3ExtractJob::progressText() const { return format1(kAc3ProgressFormat, input_); }

Status Ac3ExtractJob::build() {
    if (Status s = out_.begin(output_, {overwrite_, {input_}}); !s) return s;
    media::AvcReader reader;
    inputError_ = reader.open(input_, false).code;
    if (inputError_ != ErrorCode::kNone) {
        // A file the reader does not take reports a read failure, as the job always has.
        const ErrorCode code = inputError_ == ErrorCode::kNotRecognised ? ErrorCode::kReadFailed : inputError_;
        return Status::failure(code, format1(kAc3OpenInputFormat, input_));
    }
    fileSize_ = reader.fileSize();
    progress_.setTotal(fileSize_);
    built_ = true;
    return Status::success();
}

Status Ac3ExtractJob::work() { return out_.finish(run()); }

Status Ac3ExtractJob::run() {
    media::AvcReader reader;
    if (!reader.open(input_, false)) return Status::failure(ErrorCode::kReadFailed, kAc3RunFailed);
    media::File out;
    if (!out.open(out_.tempPath(), media::File::Mode::kCreate))
        return Status::failure(ErrorCode::kOpenFailed, kAc3CreateOutput, out.sysError());
    std::unique_ptr<uint8_t[]> sample(new (std::nothrow) uint8_t[reader.maxSampleBytes()]);
    std::unique_ptr<uint8_t[]> carry(new (std::nothrow) uint8_t[kCarryBytes]);
    if (!sample || !carry) return Status::failure(ErrorCode::kOutOfMemory, kAc3NoMemory);
    const int sync = reader.packetSize() - media::kTsPacketBytes;
    size_t held = 0;
    int64_t written = 0;
    bool inPes = false;

    // Writes every whole frame at the front of the carry buffer; bytes before a sync word are dropped.
    auto drain = [&]() -> bool {
        size_t pos = 0;
        while (held - pos >= media::kAc3HeaderBytes) {
            media::Ac3Header h;
            if (!media::parseAc3Header(carry.get() + pos, held - pos, h) || h.frameBytes == 0) {
                ++pos;
                continue;
            }
            if (held - pos < static_cast<size_t>(h.frameBytes)) break;
            if (!out.writeAt(written, carry.get() + pos, static_cast<size_t>(h.frameBytes))) return false;
            written += h.frameBytes;
            frames_.fetch_add(1);
            pos += static_cast<size_t>(h.frameBytes);
        }
        std::memmove(carry.get(), carry.get() + pos, held - pos);
        held -= pos;
        return true;
    };

    for (;;) {
        if (progress_.cancelled()) return Status::failure(ErrorCode::kCancelled, kAc3Failure);
        const int64_t n = reader.fillSample(sample.get(), reader.maxSampleBytes());
        if (n < 0) return stoppedEarly(frames_.load(), 0);
        if (n == 0) break;
        for (int64_t p = 0; p + reader.packetSize() <= n; p += reader.packetSize()) {
            media::TsPacket pkt;
            if (!media::parseTsPacket(sample.get() + p + sync, pkt) || pkt.pid != media::avchd_pid::kAudio ||
                !pkt.hasPayload || pkt.payloadSize() <= 0)
                continue;
            const uint8_t* data = pkt.payload();
            size_t len = static_cast<size_t>(pkt.payloadSize());
            if (pkt.payloadUnitStart) {
                media::PesHeader h;
                inPes = media::parsePesHeader(data, len, h) && static_cast<size_t>(h.payloadOffset) <= len;
                if (!inPes) continue;
                data += h.payloadOffset;
                len -= static_cast<size_t>(h.payloadOffset);
            } else if (!inPes) {
                continue;
            }
            if (len > kCarryBytes - held) held = 0;  // no frame fits: start over
            std::memcpy(carry.get() + held, data, len);
            held += len;
            if (!drain()) return Status::failure(ErrorCode::kWriteFailed, kAc3Failure, out.sysError());
        }
        progress_.setDone(std::min(reader.nextOffset(), fileSize_));
    }
    progress_.setDone(fileSize_);
    if (frames_.load() == 0) return Status::failure(ErrorCode::kReadFailed, kAc3Failure);
    Status done;
    media::warnSkippedBytes(done, reader.skippedBytes());
    return done;
}

}  // namespace zorv::tools
