#include "media/codec/codec_registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "media/codec/av_handles.h"
#include "media/codec/codec_test_cache.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace zorv::media::codec {

namespace {

constexpr uint32_t fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// Compressors whose streams AVI files carry, by encoder name.
struct AviTag {
    const char* encoder;
    uint32_t tag;
};
static const AviTag kAviTags[] = {
    {"ffv1", fourcc('F', 'F', 'V', '1')},        {"huffyuv", fourcc('H', 'F', 'Y', 'U')},
    {"ffvhuff", fourcc('F', 'F', 'V', 'H')},     {"mjpeg", fourcc('M', 'J', 'P', 'G')},
    {"mpeg4", fourcc('F', 'M', 'P', '4')},       {"libxvid", fourcc('X', 'V', 'I', 'D')},
    {"msmpeg4", fourcc('D', 'I', 'V', '3')},     {"msmpeg4v2", fourcc('M', 'P', '4', '2')},
    {"mpeg2video", fourcc('M', 'P', 'G', '2')},  {"libx264", fourcc('H', '2', '6', '4')},
    {"libopenh264", fourcc('H', '2', '6', '4')}, {"png", fourcc('M', 'P', 'N', 'G')},
    {"zmbv", fourcc('Z', 'M', 'B', 'V')},        {"jpegls", fourcc('M', 'J', 'L', 'S')},
};

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Encodes one picture (or audio frame) and collects the packets, flushing the encoder.
bool encodeAll(AVCodecContext* ctx, AVFrame* frame, std::vector<std::vector<uint8_t>>& packets) {
    PacketPtr pkt = makePacket();
    if (!pkt) return false;
    for (AVFrame* f : {frame, static_cast<AVFrame*>(nullptr)}) {
        if (avcodec_send_frame(ctx, f) < 0) return false;
        while (avcodec_receive_packet(ctx, pkt.get()) == 0) {
            packets.emplace_back(pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt.get());
        }
    }
    return !packets.empty();
}

// A grey-ramp picture in the given format.
FramePtr testPicture(int width, int height, AVPixelFormat format) {
    FramePtr rgb = makePicture(width, height, AV_PIX_FMT_RGB24);
    FramePtr out = makePicture(width, height, format);
    if (!rgb || !out) return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            rgb->data[0][y * rgb->linesize[0] + x] = static_cast<uint8_t>((x / 3 + y) & 0xFF);
    SwsContext* sws =
        sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, format, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws) return nullptr;
    sws_scale(sws, rgb->data, rgb->linesize, 0, height, out->data, out->linesize);
    sws_freeContext(sws);
    return out;
}

// An encoded video sample for a decoder test: the first available encoder of the list.
std::vector<std::vector<uint8_t>> videoSample(std::initializer_list<const char*> encoders, bool& encoded) {
    std::vector<std::vector<uint8_t>> packets;
    encoded = false;
    for (const char* name : encoders) {
        const AVCodec* enc = avcodec_find_encoder_by_name(name);
        if (!enc) continue;
        CodecContextPtr ctx(avcodec_alloc_context3(enc));
        if (!ctx) continue;
        ctx->width = 320;
        ctx->height = 240;
        ctx->pix_fmt = AV_PIX_FMT_YUV420P;
        ctx->time_base = AVRational{1, 25};
        ctx->framerate = AVRational{25, 1};
        ctx->gop_size = 1;
        if (avcodec_open2(ctx.get(), enc, nullptr) < 0) continue;
        FramePtr pic = testPicture(320, 240, AV_PIX_FMT_YUV420P);
        if (!pic) continue;
        pic->pts = 0;
        packets.clear();
        if (encodeAll(ctx.get(), pic.get(), packets)) {
            encoded = true;
            return packets;
        }
    }
    return {};
}

std::vector<std::vector<uint8_t>> ac3Sample() {
    std::vector<std::vector<uint8_t>> packets;
    const AVCodec* enc = avcodec_find_encoder_by_name("ac3");
    if (!enc) return packets;
    CodecContextPtr ctx(avcodec_alloc_context3(enc));
    if (!ctx) return packets;
    ctx->sample_rate = 48000;
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->bit_rate = 192000;
    if (avcodec_open2(ctx.get(), enc, nullptr) < 0) return packets;
    FramePtr f = makeFrame();
    f->nb_samples = ctx->frame_size;
    f->format = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_copy(&f->ch_layout, &ctx->ch_layout);
    f->sample_rate = 48000;
    if (av_frame_get_buffer(f.get(), 0) < 0) return packets;
    for (int c = 0; c < 2; ++c) std::fill_n(reinterpret_cast<float*>(f->data[c]), f->nb_samples, 0.0f);
    f->pts = 0;
    encodeAll(ctx.get(), f.get(), packets);
    return packets;
}

// Opens a decoder and decodes the sample into at least one frame (with an output format the
// program's converters take).
bool decodes(const AVCodec* dec, const std::vector<std::vector<uint8_t>>& sample, bool video) {
    CodecContextPtr ctx(avcodec_alloc_context3(dec));
    if (!ctx || avcodec_open2(ctx.get(), dec, nullptr) < 0) return false;
    if (sample.empty()) return true;  // nothing to decode here: opening is the whole test
    PacketPtr pkt = makePacket();
    FramePtr frame = makeFrame();
    int frames = 0;
    bool usable = false;
    auto drain = [&] {
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            ++frames;
            if (!video) usable = true;
            else usable = usable || sws_isSupportedInput(static_cast<AVPixelFormat>(frame->format)) > 0;
            av_frame_unref(frame.get());
        }
    };
    for (const auto& p : sample) {
        if (av_new_packet(pkt.get(), static_cast<int>(p.size())) < 0) return false;
        std::copy(p.begin(), p.end(), pkt->data);
        const int err = avcodec_send_packet(ctx.get(), pkt.get());
        av_packet_unref(pkt.get());
        if (err < 0 && err != AVERROR(EAGAIN)) return false;
        drain();
    }
    avcodec_send_packet(ctx.get(), nullptr);
    drain();
    return frames > 0 && usable;
}

bool compresses(const AVCodec* enc) {
    if (aviFourcc(enc->name) == 0) return false;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    for (const AVPixelFormat* p = enc->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p) {
        if (sws_isSupportedOutput(*p) > 0) {
            format = *p;
            break;
        }
    }
    if (format == AV_PIX_FMT_NONE) return false;
    CodecContextPtr ctx(avcodec_alloc_context3(enc));
    if (!ctx) return false;
    ctx->width = 1440;
    ctx->height = 1080;
    ctx->pix_fmt = format;
    ctx->time_base = AVRational{1, 25};
    ctx->framerate = AVRational{25, 1};
    ctx->sample_aspect_ratio = AVRational{4, 3};
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), enc, nullptr) < 0) return false;
    FramePtr pic = testPicture(1440, 1080, format);
    if (!pic) return false;
    pic->pts = 0;
    std::vector<std::vector<uint8_t>> packets;
    return encodeAll(ctx.get(), pic.get(), packets) && !packets.front().empty();
}

AVCodecID roleCodecId(CodecRole role) {
    switch (role) {
    case CodecRole::kMpeg2VideoDecoder: return AV_CODEC_ID_MPEG2VIDEO;
    case CodecRole::kH264VideoDecoder: return AV_CODEC_ID_H264;
    case CodecRole::kAc3AudioDecoder: return AV_CODEC_ID_AC3;
    case CodecRole::kVideoCompressor: return AV_CODEC_ID_NONE;
    }
    return AV_CODEC_ID_NONE;
}

CodecEntry entryOf(const AVCodec* c) { return CodecEntry{codecId(c->name), c->name, c->long_name ? c->long_name : c->name}; }

}  // namespace

core::Guid codecId(std::string_view codecName) { return core::Guid::fromName("libavcodec:" + std::string(codecName)); }

CodecEntry uncompressedEntry() { return CodecEntry{core::Guid{}, {}, std::string(core::kUncompressed)}; }

uint32_t aviFourcc(std::string_view encoderName) {
    for (const AviTag& t : kAviTags)
        if (encoderName == t.encoder) return t.tag;
    return 0;
}

bool testCodec(CodecRole role, std::string_view codecName) {
    const std::string name(codecName);
    if (role == CodecRole::kVideoCompressor) {
        const AVCodec* enc = avcodec_find_encoder_by_name(name.c_str());
        return enc && enc->type == AVMEDIA_TYPE_VIDEO && compresses(enc);
    }
    const AVCodec* dec = avcodec_find_decoder_by_name(name.c_str());
    if (!dec || dec->id != roleCodecId(role)) return false;
    bool encoded = false;
    switch (role) {
    case CodecRole::kMpeg2VideoDecoder: return decodes(dec, videoSample({"mpeg2video"}, encoded), true);
    case CodecRole::kH264VideoDecoder: return decodes(dec, videoSample({"libx264", "libopenh264"}, encoded), true);
    case CodecRole::kAc3AudioDecoder: return decodes(dec, ac3Sample(), false);
    default: return false;
    }
}

namespace {

// The candidates of a role that are worth a test: software codecs that are not experimental.
bool candidate(CodecRole role, const AVCodec* c) {
    if ((c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) || (c->capabilities & AV_CODEC_CAP_HARDWARE)) return false;
    if (role == CodecRole::kVideoCompressor) return av_codec_is_encoder(c) && c->type == AVMEDIA_TYPE_VIDEO;
    return av_codec_is_decoder(c) && c->id == roleCodecId(role);
}

std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}

// The full lists, per role, once each has been built.
std::map<CodecRole, std::vector<CodecEntry>>& fullLists() {
    static std::map<CodecRole, std::vector<CodecEntry>> lists;
    return lists;
}

// The outcome of each single test run so far, by role and codec name.
std::map<std::pair<CodecRole, std::string>, bool>& testedOnce() {
    static std::map<std::pair<CodecRole, std::string>, bool> tested;
    return tested;
}

// The outcomes recorded by earlier runs with the same libraries; the caller holds the registry lock.
CodecTestCache& earlierOutcomes() {
    static CodecTestCache cache = CodecTestCache::forThisProcess();
    return cache;
}

// Runs (or recalls) the test of one codec; the caller holds the registry lock. The candidates that
// cannot work here (hardware decoders without a device) complain loudly, so the log stays quiet.
bool passes(CodecRole role, const AVCodec* c) {
    auto key = std::make_pair(role, std::string(c->name));
    auto& tested = testedOnce();
    if (auto it = tested.find(key); it != tested.end()) return it->second;
    if (auto earlier = earlierOutcomes().lookup(static_cast<int>(role), c->name)) {
        tested.emplace(std::move(key), *earlier);
        return *earlier;
    }
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET);
    const bool ok = testCodec(role, c->name);
    av_log_set_level(logLevel);
    earlierOutcomes().store(static_cast<int>(role), c->name, ok);
    tested.emplace(std::move(key), ok);
    return ok;
}

// The first candidate of the role for which match holds and that passes its test; only those
// candidates are tested (the full list is used when it is already known).
template <class Match>
std::optional<CodecEntry> firstPassing(CodecRole role, Match match) {
    std::lock_guard<std::mutex> guard(registryLock());
    if (auto it = fullLists().find(role); it != fullLists().end()) {
        for (const CodecEntry& e : it->second)
            if (!e.uncompressed() && match(e)) return e;
        return std::nullopt;
    }
    void* iter = nullptr;
    while (const AVCodec* c = av_codec_iterate(&iter)) {
        if (!candidate(role, c)) continue;
        const CodecEntry e = entryOf(c);
        if (match(e) && passes(role, c)) return e;
    }
    return std::nullopt;
}

}  // namespace

const std::vector<CodecEntry>& availableCodecs(CodecRole role) {
    std::lock_guard<std::mutex> guard(registryLock());
    auto& lists = fullLists();
    auto it = lists.find(role);
    if (it != lists.end()) return it->second;
    std::vector<CodecEntry> list;
    if (role == CodecRole::kVideoCompressor) list.push_back(uncompressedEntry());
    void* iter = nullptr;
    while (const AVCodec* c = av_codec_iterate(&iter))
        if (candidate(role, c) && passes(role, c)) list.push_back(entryOf(c));
    return lists.emplace(role, std::move(list)).first->second;
}

std::optional<CodecEntry> findCodec(CodecRole role, const core::Guid& id) {
    if (role == CodecRole::kVideoCompressor && id.isNull()) return uncompressedEntry();
    return firstPassing(role, [&](const CodecEntry& e) { return e.id == id; });
}

std::optional<CodecEntry> findCodecByName(CodecRole role, std::string_view name) {
    const CodecEntry none = uncompressedEntry();
    if (role == CodecRole::kVideoCompressor && sameText(none.displayName, name)) return none;
    return firstPassing(role, [&](const CodecEntry& e) { return sameText(e.name, name) || sameText(e.displayName, name); });
}

std::optional<CodecEntry> firstAvailableCodec(CodecRole role) {
    return firstPassing(role, [](const CodecEntry&) { return true; });
}

}  // namespace zorv::media::codec
