#include "tools/ts_burn_source.h"

#include <algorithm>
#include <array>
#include <deque>
#include <functional>

#include "media/avchd_avc_reader.h"
#include "media/codec/av_handles.h"
#include "media/hdv_m2t_reader.h"
#include "media/ts_packet.h"

extern "C" {
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace zorv::tools {

using core::ErrorCode;
using core::Status;
namespace codec = media::codec;

namespace {

// One elementary stream: PES payloads gathered and fed through a parser into a decoder.
struct EsDecoder {
    codec::CodecContextPtr ctx;
    AVCodecParserContext* parser = nullptr;
    codec::PacketPtr packet = codec::makePacket();
    std::vector<uint8_t> pes;
    int64_t pesPts = AV_NOPTS_VALUE;
    // Called when the decoder takes no more input until its output is taken.
    std::function<void()> onFull;

    void push(AVPacket* pkt) {
        for (int tries = 0; tries < 64; ++tries) {
            const int err = avcodec_send_packet(ctx.get(), pkt);
            if (err != AVERROR(EAGAIN) || !onFull) return;
            onFull();
        }
    }

    ~EsDecoder() {
        if (parser) av_parser_close(parser);
    }
    // wholeUnits: every PES payload is one coded picture (AVCHD), so no parser is needed.
    bool open(const AVCodec* c, int threads, bool wholeUnits = false) {
        if (!c) return false;
        ctx.reset(avcodec_alloc_context3(c));
        if (!ctx) return false;
        ctx->thread_count = threads;
        if (avcodec_open2(ctx.get(), c, nullptr) < 0) return false;
        if (!wholeUnits) parser = av_parser_init(c->id);
        pes.reserve(1 << 20);
        return true;
    }
    void send(const uint8_t* data, size_t n, int64_t pts) {
        if (!parser) {
            packet->data = const_cast<uint8_t*>(data);
            packet->size = static_cast<int>(n);
            packet->pts = pts;
            push(n ? packet.get() : nullptr);
            return;
        }
        do {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int used = av_parser_parse2(parser, ctx.get(), &out, &outSize, data, static_cast<int>(n), pts, pts, 0);
            if (used < 0) break;
            data += used;
            n -= static_cast<size_t>(used);
            pts = AV_NOPTS_VALUE;
            if (outSize > 0) {
                packet->data = out;
                packet->size = outSize;
                packet->pts = parser->pts;
                packet->flags = parser->key_frame == 1 ? AV_PKT_FLAG_KEY : 0;
                push(packet.get());
            }
        } while (n > 0);
    }
    // Hands the gathered PES payload on.
    void flushPes() {
        if (!pes.empty()) send(pes.data(), pes.size(), pesPts);
        pes.clear();
        pesPts = AV_NOPTS_VALUE;
    }
    void end() {
        flushPes();
        if (parser) send(nullptr, 0, AV_NOPTS_VALUE);
        // Pictures are taken out before the end is signalled: a packet the decoder has accepted but not
        // yet decoded is not decoded once it drains (the last B picture of a stream would be lost).
        if (onFull) onFull();
        push(nullptr);
    }
};

}  // namespace

struct TsBurnSource::Impl {
    core::MediaFamily family = core::MediaFamily::kAvchd;
    std::unique_ptr<media::AvcReader> avc;
    std::unique_ptr<media::M2tReader> m2t;
    media::TsStreamReader* stream = nullptr;  // the open one of the two
    uint16_t videoPid = 0, audioPid = 0, auxPid = 0;
    int packetSize = 188;
    int64_t startPts = 0, durationTime = 0;
    std::vector<uint8_t> sample;
    EsDecoder video, audio;
    bool wantAudio = false, ended = false;
    std::vector<uint8_t> auxPes;
    int64_t auxPts = -1;
    // Metadata by start time.
    std::map<int64_t, media::AvchdMetadataRecord> avchdRecords;
    media::HdvMetadataCache hdvCache;
    core::MetadataRecord record;
    codec::FramePtr frame = codec::makeFrame();
    std::deque<codec::FramePtr> ready;  // decoded pictures taken out early to make room
    std::vector<codec::FramePtr> spare;

    bool decoderDone = false;  // the decoder gave its last picture
    bool decoderFailed = false;

    // Takes every picture the decoder has ready.
    void takeReady() {
        for (;;) {
            codec::FramePtr f;
            if (!spare.empty()) {
                f = std::move(spare.back());
                spare.pop_back();
            } else {
                f = codec::makeFrame();
            }
            const int err = avcodec_receive_frame(video.ctx.get(), f.get());
            if (err < 0) {
                spare.push_back(std::move(f));
                if (err == AVERROR_EOF) decoderDone = true;
                else if (err != AVERROR(EAGAIN)) decoderFailed = true;
                return;
            }
            ready.push_back(std::move(f));
        }
    }
    // Whether the oldest decoded picture waits for the decoder to let go of it: a picture the decoder
    // still refers to would have to be copied before it is drawn on, so frames are handed out once
    // they are the job's alone, decoding a few pictures ahead for that.
    bool holdFront() const {
        return frames && !ready.empty() && !decoderDone && !ended && ready.size() < kHeldPictures &&
               !av_frame_is_writable(ready.front().get());
    }
    static constexpr size_t kHeldPictures = 6;
    codec::FramePtr audioFrame = codec::makeFrame();
    SwsContext* sws = nullptr;
    bool frames = false;  // hand out the decoder's frames instead of RGB
    SwrContext* swr = nullptr;
    std::vector<uint8_t> rgb;
    std::vector<int16_t> pcm;
    int pcmRate = 0, pcmChannels = 0;
    int64_t rateNum = 25, rateDen = 1;

    ~Impl() {
        sws_freeContext(sws);
        swr_free(&swr);
    }

    int64_t fill() { return stream->fillSample(sample.data(), sample.size()); }
    int64_t toTime(int64_t pts) const { return (pts - startPts) * 1000 / 9; }

    void onAux() {
        if (auxPes.empty() || auxPts < 0) return;
        if (family == core::MediaFamily::kHdv)
            media::addHdvAuxSample(hdvCache, auxPes.data(), auxPes.size(), toTime(auxPts));
        auxPes.clear();
    }

    void onPacket(const uint8_t* pkt) {
        media::TsPacket ts;
        if (!media::parseTsPacket(pkt, ts) || !ts.hasPayload) return;
        if (family == core::MediaFamily::kAvchd && ts.pid == auxPid) {
            const int64_t pts = media::avchdAuxPacketPts(pkt);
            media::AvchdMetadataRecord rec;
            if (pts >= 0 && media::avchdRecordFromAuxPacket(pkt, toTime(pts), rec)) avchdRecords.insert_or_assign(pts, rec);
            return;
        }
        EsDecoder* es = ts.pid == videoPid ? &video : (wantAudio && ts.pid == audioPid) ? &audio : nullptr;
        const bool aux = ts.pid == auxPid;
        if (!es && !aux) return;
        const uint8_t* p = ts.payload();
        size_t n = static_cast<size_t>(ts.payloadSize());
        if (ts.payloadUnitStart) {
            if (es) es->flushPes();
            else onAux();
            media::PesHeader h;
            if (!media::parsePesHeader(p, n, h) || static_cast<size_t>(h.payloadOffset) > n) return;
            if (es) es->pesPts = h.hasPts ? h.pts : AV_NOPTS_VALUE;
            else auxPts = h.hasPts ? h.pts : -1;
            p += h.payloadOffset;
            n -= static_cast<size_t>(h.payloadOffset);
        }
        if (es) es->pes.insert(es->pes.end(), p, p + n);
        else auxPes.insert(auxPes.end(), p, p + n);
    }

    void drainAudio() {
        if (!audio.ctx) return;
        while (avcodec_receive_frame(audio.ctx.get(), audioFrame.get()) >= 0) {
            AVFrame* f = audioFrame.get();
            const int channels = f->ch_layout.nb_channels;
            if (!swr || channels != pcmChannels || f->sample_rate != pcmRate) {
                if (pcmRate && (channels != pcmChannels || f->sample_rate != pcmRate)) {
                    av_frame_unref(f);
                    continue;  // the output keeps the first format
                }
                swr_free(&swr);
                if (swr_alloc_set_opts2(&swr, &f->ch_layout, AV_SAMPLE_FMT_S16, f->sample_rate, &f->ch_layout,
                                        static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
                    swr_init(swr) < 0) {
                    av_frame_unref(f);
                    continue;
                }
                pcmChannels = channels;
                pcmRate = f->sample_rate;
            }
            const size_t at = pcm.size();
            pcm.resize(at + static_cast<size_t>(f->nb_samples * channels));
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pcm.data() + at)};
            const int got =
                swr_convert(swr, out, f->nb_samples, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
            pcm.resize(at + static_cast<size_t>(std::max(0, got) * channels));
            av_frame_unref(f);
        }
    }

    // Fills the record and frame info of a picture that starts at start.
    void describe(int64_t pts, int64_t start, DecodedPicture& out) {
        out.info = overlay::BurnFrameInfo{};
        out.info.pts = start;
        out.info.frameNumber = start * rateNum / (rateDen * 10000000);
        record.clear();
        if (family == core::MediaFamily::kAvchd) {
            auto it = avchdRecords.find(pts);
            if (it == avchdRecords.end()) it = avchdRecords.lower_bound(pts);
            if (it != avchdRecords.end() && it->first - pts < 1500) {
                it->second.toMetadataRecord(record);
                out.info.record = &record;
                out.info.pictureType = it->second.pictureType;
                ++it;
            }
            avchdRecords.erase(avchdRecords.begin(), it);
        } else {
            if (auto rec = hdvCache.lookUp(start)) {
                record = rec->toPackTable();
                out.info.record = &record;
                out.info.hdvTimecodeFrames = rec->timecode;
                out.info.timecodeStyle = rec->timecodeStyle > 0 ? rec->timecodeStyle : 2;
                static const char kCodes[] = {0, 'I', 'B', 'P', 0, 'E'};
                if (rec->pictureCode < sizeof kCodes) out.info.frameType = kCodes[rec->pictureCode];
            }
        }
    }
};

TsBurnSource::TsBurnSource() : impl_(std::make_unique<Impl>()) {}
TsBurnSource::~TsBurnSource() = default;

Status TsBurnSource::open(const std::string& path, core::MediaFamily family, const std::string& decoder, bool audio,
                          int decoderThreads) {
    Impl& im = *impl_;
    im.family = family;
    im.wantAudio = audio;
    const AVCodec* audioCodec = nullptr;
    if (family == core::MediaFamily::kAvchd) {
        im.avc = std::make_unique<media::AvcReader>();
        if (Status opened = im.avc->open(path, true); !opened)
            return Status::failure(ErrorCode::kOpenFailed, opened.message);
        im.videoPid = media::avchd_pid::kVideo;
        im.audioPid = media::avchd_pid::kAudio;
        im.auxPid = media::avchd_pid::kAux;
        im.stream = im.avc.get();
        const media::H264Sps& sps = im.avc->sps();
        if (sps.rateNum > 0 && sps.rateDen > 0) im.rateNum = sps.rateNum, im.rateDen = sps.rateDen;
        audioCodec = avcodec_find_decoder(AV_CODEC_ID_AC3);
    } else {
        im.m2t = std::make_unique<media::M2tReader>();
        if (Status opened = im.m2t->open(path, true); !opened)
            return Status::failure(ErrorCode::kOpenFailed, opened.message);
        im.videoPid = im.m2t->videoPid() ? im.m2t->videoPid() : media::hdv_pid::kVideo;
        im.audioPid = media::hdv_pid::kAudio;
        im.auxPid = media::hdv_pid::kAux;
        im.stream = im.m2t.get();
        im.hdvCache.setActive(true);
        static const int64_t kRates[][2] = {{0, 1},  {24000, 1001}, {24, 1},       {25, 1}, {30000, 1001},
                                            {30, 1}, {50, 1},       {60000, 1001}, {60, 1}};
        const int code = im.m2t->frameRateCode();
        if (code >= 1 && code <= 8) im.rateNum = kRates[code][0], im.rateDen = kRates[code][1];
        audioCodec = avcodec_find_decoder(AV_CODEC_ID_MP2);
    }
    im.packetSize = im.stream->packetSize();
    im.startPts = im.stream->startPts();
    im.durationTime = im.stream->duration();
    im.sample.resize(im.stream->maxSampleBytes());
    im.video.onFull = [&im] { im.takeReady(); };
    im.audio.onFull = [&im] { im.drainAudio(); };
    if (!im.video.open(avcodec_find_decoder_by_name(decoder.c_str()), std::max(1, decoderThreads),
                       family == core::MediaFamily::kAvchd))
        return Status::failure(ErrorCode::kOpenFailed, "Could not open the video decoder " + decoder);
    if (audio && !im.audio.open(audioCodec, 1)) im.wantAudio = false;
    return Status::success();
}

int64_t TsBurnSource::duration() const { return impl_->durationTime; }

void TsBurnSource::pictureRate(int64_t& num, int64_t& den) const {
    num = impl_->rateNum;
    den = impl_->rateDen;
}

bool TsBurnSource::takeAudio(std::vector<int16_t>& samples, int& rate, int& channels) {
    Impl& im = *impl_;
    if (im.pcm.empty()) return false;
    samples.swap(im.pcm);
    im.pcm.clear();
    rate = im.pcmRate;
    channels = im.pcmChannels;
    return true;
}

bool TsBurnSource::deliverFrames() {
    impl_->frames = true;
    return true;
}

int64_t TsBurnSource::skippedBytes() const {
    const Impl& im = *impl_;
    return im.stream ? im.stream->skippedBytes() : 0;
}

PictureSource::Result TsBurnSource::next(DecodedPicture& out) {
    Impl& im = *impl_;
    av_frame_unref(im.frame.get());  // the frame handed out last time
    for (;;) {
        im.decoderFailed = false;  // only a failure with nothing to show for it ends the run
        im.takeReady();
        if (!im.ready.empty() && !im.holdFront()) {
            av_frame_move_ref(im.frame.get(), im.ready.front().get());
            im.spare.push_back(std::move(im.ready.front()));
            im.ready.pop_front();
            AVFrame* f = im.frame.get();
            const int w = f->width, h = f->height;
            int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
            if (pts == AV_NOPTS_VALUE) pts = im.startPts;
            out.start = im.toTime(pts);
            out.displayNum = 16;
            out.displayDen = 9;
            if (im.frames) {
                out.picture = core::RgbPicture{nullptr, w, h, 0, 0, 0};
                out.frame = f;
                im.describe(pts, out.start, out);
                im.drainAudio();
                return Result::kPicture;
            }
            out.frame = nullptr;
            im.sws = sws_getCachedContext(im.sws, w, h, static_cast<AVPixelFormat>(f->format), w, h, AV_PIX_FMT_RGB24,
                                          SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (!im.sws) return Result::kFailed;
            const int stride = core::RgbPicture::strideFor(w);
            im.rgb.resize(static_cast<size_t>(stride) * h);
            uint8_t* dst[4] = {im.rgb.data(), nullptr, nullptr, nullptr};
            int dstStride[4] = {stride, 0, 0, 0};
            sws_scale(im.sws, f->data, f->linesize, 0, h, dst, dstStride);
            out.picture = core::RgbPicture{im.rgb.data(), w, h, stride, 0, h};
            im.describe(pts, out.start, out);
            av_frame_unref(f);
            im.drainAudio();
            return Result::kPicture;
        }
        if (im.ready.empty()) {
            if (im.decoderDone || im.ended) {
                im.drainAudio();
                return Result::kEnd;
            }
            if (im.decoderFailed) return Result::kFailed;
        }
        // Feed one read unit.
        const int64_t got = im.fill();
        if (got < 0) return Result::kCut;
        if (got == 0) {
            // The end: what the decoders still hold comes out, then the end of stream.
            im.ended = true;
            im.onAux();
            im.video.end();
            if (im.wantAudio) {
                im.audio.end();
                im.drainAudio();
            }
            continue;
        }
        const int size = im.packetSize;
        const int sync = size - media::kTsPacketBytes;
        for (int64_t at = 0; at + size <= got; at += size) {
            const uint8_t* pkt = im.sample.data() + at + sync;
            if (pkt[0] == media::kTsSyncByte) im.onPacket(pkt);
        }
        if (im.wantAudio) im.drainAudio();
    }
}

}  // namespace zorv::tools
