#include "tools/hdv_audio_extract.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "media/formats/format_table.h"
#include "media/codec/mpeg_audio_decoder.h"
#include "media/file_io.h"
#include "media/hdv_m2t_reader.h"
#include "media/recognize.h"
#include "media/ts_packet.h"
#include "media/ts_packet_stream.h"
#include "media/wav_writer.h"
#include "tools/audio_extract.h"
#include "tools/stopped_early.h"

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

HdvAudioExtractJob::HdvAudioExtractJob(std::string input, std::string output, bool overwrite)
    : input_(std::move(input)), output_(std::move(output)), overwrite_(overwrite) {}

HdvAudioExtractJob::~HdvAudioExtractJob() { stop(); }

Status HdvAudioExtractJob::build() {
    if (Status s = out_.begin(output_, {overwrite_, {input_}}); !s) return s;
    const media::Recognition rec = media::recognize(input_);
    const media::FormatDescriptor& format = media::formatOf(rec.ok() ? rec.type : media::FileType{});
    if (format.family == core::MediaFamily::kHdv && !format.has(media::format_tool::kExtractAudio))
        return Status::failure(ErrorCode::kReadFailed, kHdv1AudioSkipped);
    media::M2tReader reader;
    // Audio is not waited for here: a stream without any gets to run and reports that none was found.
    if (Status opened = reader.open(input_, false, media::M2tReader::Flags{false, false}); !opened)
        return Status::failure(ErrorCode::kOpenFailed, opened.message);
    packetSize_ = reader.packetSize();
    firstPacket_ = reader.packetBase() + (packetSize_ == media::kTsTimestampedBytes ? 4 : 0);
    fileSize_ = reader.fileSize();
    progress_.setTotal(fileSize_);
    built_ = true;
    return Status::success();
}

std::string HdvAudioExtractJob::progressText() const {
    return "Extracting audio from M2T file ...\n" + std::filesystem::path(output_).filename().string();
}

Status HdvAudioExtractJob::work() { return out_.finish(run()); }

Status HdvAudioExtractJob::run() {
    media::File file;
    if (!file.open(input_, media::File::Mode::kRead))
        return Status::failure(ErrorCode::kOpenFailed, kExtractionFailed, file.sysError());
    media::codec::MpegAudioDecoder decoder;
    Status s = decoder.open();
    if (!s) return Status::failure(s.code, "MPEG decoder filter is not compatible with WAV output");
    media::WavWriter wav;
    auto sink = [&](std::span<const uint8_t> pcm, int rate, int channels) -> Status {
        if (!wav.isOpen()) {
            rate_ = rate;
            channels_ = channels;
            Status o = wav.open(out_.tempPath(), rate, channels, 16);
            if (!o) return Status::failure(o.code, "Could not connect audio stream to WAV", o.sysError);
        }
        if (rate != rate_ || channels != channels_) return Status::success();  // a format change is not carried
        Status w = wav.write(pcm);
        if (!w) return Status::failure(w.code, kExtractionFailed, w.sysError);
        return Status::success();
    };

    // Whole packets, found again after damage, without their arrival-time prefix.
    const int64_t blockPackets = 2048;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[static_cast<size_t>(blockPackets) * media::kTsPacketBytes]);
    media::TsPacketStream stream;
    stream.attach(&file, media::kTsPacketBytes, 0);
    stream.seek(firstPacket_);
    bool inPes = false;
    for (;;) {
        if (progress_.cancelled()) {
            wav.close();
            return Status::failure(ErrorCode::kCancelled, "Cancelled");
        }
        const int64_t got = stream.read(buf.get(), blockPackets);
        if (got < 0) return stoppedEarly(decoder.framesDecoded(), 0);
        if (got == 0) break;
        media::TsPacketWalker walker(buf.get(), static_cast<size_t>(got) * media::kTsPacketBytes, media::kTsPacketBytes, 0);
        media::TsPacket tp;
        bool ok = false;
        while (walker.next(tp, ok)) {
            if (!ok || tp.pid != media::hdv_pid::kAudio || tp.payloadSize() <= 0) continue;
            const uint8_t* data = tp.payload();
            size_t n = static_cast<size_t>(tp.payloadSize());
            if (tp.payloadUnitStart) {
                media::PesHeader pes;
                inPes = media::parsePacketPes(tp, pes) && pes.payloadOffset <= tp.payloadSize();
                if (!inPes) continue;
                data += pes.payloadOffset;
                n -= static_cast<size_t>(pes.payloadOffset);
            } else if (!inPes) {
                continue;
            }
            s = decoder.feed(data, n, sink);
            if (!s) return s;
        }
        progress_.setDone(std::min(stream.nextOffset(), fileSize_));
    }
    skippedBytes_ = stream.skippedBytes();
    s = decoder.flush(sink);
    if (!s) return s;
    frames_ = decoder.framesDecoded();
    if (!wav.isOpen()) return Status::failure(ErrorCode::kNoAudio, kNoAudioFound);
    s = wav.close();
    if (!s) return Status::failure(s.code, kExtractionFailed, s.sysError);
    progress_.setDone(fileSize_);
    Status done;
    media::warnSkippedBytes(done, skippedBytes_);
    return done;
}

}  // namespace zorv::tools
