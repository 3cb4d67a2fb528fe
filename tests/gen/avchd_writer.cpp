#include "gen/avchd_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "gen/dv_packs.h"
#include "gen/ts_muxer.h"
#include "media/codec/av_handles.h"
#include "media/h264_nal.h"

namespace zorv::gen {

namespace {

using media::codec::CodecContextPtr;
using media::codec::FramePtr;
using media::codec::PacketPtr;

constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kPcrPid = 0x1001;
constexpr uint16_t kVideoPid = 0x1011;
constexpr uint16_t kAudioPid = 0x1100;
constexpr int64_t kAc3FrameTicks = 2880;  // 1536 samples at 48 kHz

// The identifier that camcorders put before "MDPM" in the user-data-unregistered message.
static const uint8_t kMdpmUuid[16] = {0x17, 0xEE, 0x8C, 0x60, 0xF8, 0x4D, 0x11, 0xD9,
                                      0x8C, 0xD6, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66};

uint8_t bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

struct EncodedPicture {
    std::vector<uint8_t> data;
    int64_t pts = 0, dts = 0;  // in pictures
    int pictureType = 0xFF;
};

int64_t ticksPerPicture(const AvchdSpec& desc) { return desc.fps == 30 ? 3003 : 90000 / desc.fps; }

int audType(const uint8_t* d, size_t n) {
    media::StartCode sc;
    size_t from = 0;
    while (media::findStartCode(d, n, from, sc)) {
        const size_t h = sc.nalStart();
        if (media::nalType(d[h]) == media::nal::kAccessUnitDelimiter && h + 1 < n) return d[h + 1] >> 5;
        from = h;
    }
    return 0xFF;
}

core::Status encodeVideo(const AvchdSpec& desc, std::vector<EncodedPicture>& out) {
    av_log_set_level(AV_LOG_ERROR);  // the encoder statistics are not wanted in test output
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return core::Status::failure(core::ErrorCode::kOpenFailed, "no libx264 encoder");
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->width = desc.width;
    ctx->height = desc.height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = desc.fps == 30 ? AVRational{1001, 30000} : AVRational{1, desc.fps};
    ctx->framerate = AVRational{ctx->time_base.den, ctx->time_base.num};
    ctx->sample_aspect_ratio = AVRational{1, 1};
    ctx->bit_rate = desc.videoBitRate;
    ctx->thread_count = 2;
    av_opt_set(ctx->priv_data, "preset", "superfast", 0);
    char params[160];
    // Open groups need a fixed B pattern, so that the two pictures before each I picture are B
    // pictures that refer to it.
    std::snprintf(params, sizeof params, "aud=1:keyint=%d:min-keyint=%d:scenecut=0:bframes=2:b-pyramid=none:%s",
                  desc.gopSize, desc.gopSize, desc.leadingB ? "b-adapt=0:open-gop=1" : "open-gop=0");
    av_opt_set(ctx->priv_data, "x264-params", params, 0);
    int err = avcodec_open2(ctx.get(), codec, nullptr);
    if (err < 0) return core::Status::failure(core::ErrorCode::kOpenFailed, "libx264: " + media::codec::avErrorText(err));
    FramePtr frame = media::codec::makePicture(desc.width, desc.height, AV_PIX_FMT_YUV420P);
    PacketPtr pkt = media::codec::makePacket();
    auto drain = [&]() {
        while (avcodec_receive_packet(ctx.get(), pkt.get()) == 0) {
            EncodedPicture p;
            p.data.assign(pkt->data, pkt->data + pkt->size);
            p.pts = pkt->pts;
            p.dts = pkt->dts;
            p.pictureType = audType(p.data.data(), p.data.size());
            out.push_back(std::move(p));
            av_packet_unref(pkt.get());
        }
    };
    const int w = desc.width, h = desc.height;
    const int64_t frames = desc.frames + (desc.leadingB ? desc.gopSize : 0);
    for (int64_t n = 0; n < frames; ++n) {
        av_frame_make_writable(frame.get());
        for (int y = 0; y < h; ++y) {
            uint8_t* row = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(((x + n * 6) / 48 % 2) ? 190 : 50 + (y * 90) / h);
        }
        for (int c = 1; c < 3; ++c)
            for (int y = 0; y < h / 2; ++y)
                std::memset(frame->data[c] + y * frame->linesize[c], static_cast<int>(128 + (c == 1 ? n % 50 : -(n % 50))),
                            static_cast<size_t>(w / 2));
        frame->pts = n;
        if ((err = avcodec_send_frame(ctx.get(), frame.get())) < 0)
            return core::Status::failure(core::ErrorCode::kWriteFailed, "libx264: " + media::codec::avErrorText(err));
        drain();
    }
    avcodec_send_frame(ctx.get(), nullptr);
    drain();
    if (desc.leadingB) {
        // Start at the second I picture (decode order); the B pictures after it that are shown
        // before it open the stream. Display numbers count from the earliest picture kept.
        size_t cut = 1;
        while (cut < out.size() && out[cut].pictureType != 0) ++cut;
        if (cut >= out.size()) return core::Status::failure(core::ErrorCode::kWriteFailed, "no second I picture");
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(cut));
        int64_t first = out.front().pts;
        for (const auto& p : out) first = std::min(first, p.pts);
        for (auto& p : out) {
            p.pts -= first;
            p.dts -= first;
        }
    }
    return core::Status::success();
}

core::Status encodeAudio(const AvchdSpec& desc, int64_t count, std::vector<std::vector<uint8_t>>& out) {
    const AVCodec* codec = avcodec_find_encoder_by_name("ac3");
    if (!codec) return core::Status::failure(core::ErrorCode::kOpenFailed, "no AC-3 encoder");
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->sample_rate = 48000;
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    if (desc.lfe) {
        const AVChannelLayout l = AV_CHANNEL_LAYOUT_2POINT1;
        av_channel_layout_copy(&ctx->ch_layout, &l);
    } else {
        av_channel_layout_default(&ctx->ch_layout, 2);
    }
    ctx->bit_rate = 256000;
    ctx->time_base = AVRational{1, 48000};
    int err = avcodec_open2(ctx.get(), codec, nullptr);
    if (err < 0)
        return core::Status::failure(core::ErrorCode::kOpenFailed, "AC-3 encoder: " + media::codec::avErrorText(err));
    FramePtr frame = media::codec::makeFrame();
    frame->nb_samples = ctx->frame_size;
    frame->format = ctx->sample_fmt;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    av_frame_get_buffer(frame.get(), 0);
    PacketPtr pkt = media::codec::makePacket();
    auto drain = [&]() {
        while (avcodec_receive_packet(ctx.get(), pkt.get()) == 0) {
            out.emplace_back(pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt.get());
        }
    };
    int64_t sample = 0;
    for (int64_t n = 0; n < count; ++n) {
        av_frame_make_writable(frame.get());
        for (int i = 0; i < frame->nb_samples; ++i, ++sample) {
            const float v = 0.25f * static_cast<float>(std::sin(2 * M_PI * 440.0 * static_cast<double>(sample) / 48000.0));
            for (int c = 0; c < frame->ch_layout.nb_channels; ++c) reinterpret_cast<float*>(frame->data[c])[i] = v;
        }
        frame->pts = n * frame->nb_samples;
        avcodec_send_frame(ctx.get(), frame.get());
        drain();
    }
    avcodec_send_frame(ctx.get(), nullptr);
    drain();
    if (static_cast<int64_t>(out.size()) > count) out.resize(static_cast<size_t>(count));
    return core::Status::success();
}

// The SEI NAL unit (start code included) carrying the MDPM payload, escaped.
void appendMdpmSei(const std::vector<uint8_t>& tags, std::vector<uint8_t>& out) {
    std::vector<uint8_t> rbsp;
    rbsp.push_back(5);  // user data unregistered
    rbsp.push_back(static_cast<uint8_t>(20 + tags.size()));
    rbsp.insert(rbsp.end(), kMdpmUuid, kMdpmUuid + 16);
    rbsp.insert(rbsp.end(), {'M', 'D', 'P', 'M'});
    rbsp.insert(rbsp.end(), tags.begin(), tags.end());
    rbsp.push_back(0x80);  // rbsp trailing bits
    out.insert(out.end(), {0, 0, 0, 1, 0x06});
    media::appendEscaped(rbsp.data(), rbsp.size(), out);
}

// The access unit with the SEI inserted after its delimiter and parameter sets.
std::vector<uint8_t> withSei(const std::vector<uint8_t>& au, const std::vector<uint8_t>* tags) {
    if (!tags) return au;
    size_t insertAt = au.size();
    media::StartCode sc;
    size_t from = 0;
    while (media::findStartCode(au.data(), au.size(), from, sc)) {
        const int t = media::nalType(au[sc.nalStart()]);
        if (t != media::nal::kAccessUnitDelimiter && t != media::nal::kSps && t != media::nal::kPps) {
            insertAt = sc.pos;
            break;
        }
        from = sc.nalStart();
    }
    std::vector<uint8_t> out(au.begin(), au.begin() + static_cast<std::ptrdiff_t>(insertAt));
    appendMdpmSei(*tags, out);
    out.insert(out.end(), au.begin() + static_cast<std::ptrdiff_t>(insertAt), au.end());
    return out;
}

void addTag(std::vector<uint8_t>& v, uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    v.insert(v.end(), {id, a, b, c, d});
}
void addRational(std::vector<uint8_t>& v, uint8_t id, uint32_t num, uint32_t den) {
    addTag(v, id, static_cast<uint8_t>(num >> 8), static_cast<uint8_t>(num), static_cast<uint8_t>(den >> 8),
           static_cast<uint8_t>(den));
}

}  // namespace

DateTime avchdRecTime(const AvchdSpec& desc, int64_t display) {
    const int64_t secs = desc.fps == 30 ? display * 1001 / 30000 : display / desc.fps;
    DateTime d = desc.rec;
    int64_t total = d.hour * 3600 + d.minute * 60 + d.second + secs;
    int64_t days = total / 86400;
    total %= 86400;
    d.hour = static_cast<int>(total / 3600);
    d.minute = static_cast<int>(total / 60 % 60);
    d.second = static_cast<int>(total % 60);
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    while (days-- > 0) {
        const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
        const int len = kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
        if (++d.day > len) {
            d.day = 1;
            if (++d.month > 12) {
                d.month = 1;
                ++d.year;
            }
        }
    }
    return d;
}

GpsFix avchdGpsFix(const AvchdSpec& desc, int64_t display) {
    const int64_t secs = desc.gps == GpsMode::Track ? (desc.fps == 30 ? display * 1001 / 30000 : display / desc.fps) : 0;
    // Start at 51 deg 28' 40.12" N, 0 deg 0' 5.31" W; moving north-east 3.75 m/s.
    const int64_t lat = (51 * 3600 + 28 * 60) * 100 + 4012 + secs * 12;  // 1/100 arc seconds
    const int64_t lon = 531 + secs * 19;
    GpsFix f;
    f.latRef = 'N';
    f.latDeg = static_cast<int>(lat / 360000);
    f.latMin = static_cast<int>(lat / 6000 % 60);
    f.latSecX100 = static_cast<int>(lat % 6000);
    f.lonRef = 'W';
    f.lonDeg = static_cast<int>(lon / 360000);
    f.lonMin = static_cast<int>(lon / 6000 % 60);
    f.lonSecX100 = static_cast<int>(lon % 6000);
    f.altitudeX10 = 455 + static_cast<int>(secs % 7);
    f.speedX10 = desc.gps == GpsMode::Track ? 135 : 0;
    f.trackX100 = 4500;
    return f;
}

std::vector<uint8_t> avchdMdpmTags(const AvchdSpec& desc, int64_t display) {
    std::vector<uint8_t> v{0};
    const bool df = desc.fps == 30;
    const Timecode tc = framesToTimecode(timecodeToFrames(desc.tc, desc.fps, df) + display, desc.fps, df);
    const DateTime d = avchdRecTime(desc, display);
    // Tags in ascending order, as cameras write them (readers stop at the first one out of order).
    const Pack t = timecodePack(tc, df);
    addTag(v, 0x13, t.pc[0], t.pc[1], t.pc[2], t.pc[3]);
    const Pack ub = userBitsPack(desc.userBits);
    addTag(v, 0x14, ub.pc[0], ub.pc[1], ub.pc[2], ub.pc[3]);
    addTag(v, 0x18, desc.timeZone, bcd(d.year / 100), bcd(d.year % 100), bcd(d.month));
    addTag(v, 0x19, bcd(d.day), bcd(d.hour), bcd(d.minute), bcd(d.second));
    for (const Pack& p : {desc.camera1, desc.camera2, desc.shutter})
        if (p.id != 0xFF) addTag(v, p.id, p.pc[0], p.pc[1], p.pc[2], p.pc[3]);
    addRational(v, 0xA1, desc.exposureNum, desc.exposureDen);
    if (desc.gps != GpsMode::None) {
        const GpsFix f = avchdGpsFix(desc, display);
        addTag(v, 0xB0, 2, 2, 0, 0);
        addTag(v, 0xB1, static_cast<uint8_t>(f.latRef), 0, 0, 0);
        addRational(v, 0xB2, static_cast<uint32_t>(f.latDeg), 1);
        addRational(v, 0xB3, static_cast<uint32_t>(f.latMin), 1);
        addRational(v, 0xB4, static_cast<uint32_t>(f.latSecX100), 100);
        addTag(v, 0xB5, static_cast<uint8_t>(f.lonRef), 0, 0, 0);
        addRational(v, 0xB6, static_cast<uint32_t>(f.lonDeg), 1);
        addRational(v, 0xB7, static_cast<uint32_t>(f.lonMin), 1);
        addRational(v, 0xB8, static_cast<uint32_t>(f.lonSecX100), 100);
        addTag(v, 0xB9, 0, 0, 0, 0);
        addRational(v, 0xBA, static_cast<uint32_t>(f.altitudeX10), 10);
        addTag(v, 0xC1, 'K', 0, 0, 0);
        addRational(v, 0xC2, static_cast<uint32_t>(f.speedX10), 10);
        addTag(v, 0xC3, 'T', 0, 0, 0);
        addRational(v, 0xC4, static_cast<uint32_t>(f.trackX100), 100);
    }
    if (display == desc.oversizePicture) {
        while ((v.size() - 1) / 5 < 40) addTag(v, 0xE1, 0, 0, 0, 0);
        v.resize(1 + 40 * 5);
    }
    v[0] = static_cast<uint8_t>((v.size() - 1) / 5);
    return v;
}

core::Status writeAvchd(const AvchdSpec& desc, const std::string& path, AvchdWritten* written) {
    std::vector<EncodedPicture> video;
    if (auto s = encodeVideo(desc, video); !s) return s;
    const int64_t tpp = ticksPerPicture(desc);
    const int64_t audioCount = desc.audio ? (static_cast<int64_t>(video.size()) * tpp) / kAc3FrameTicks + 1 : 0;
    std::vector<std::vector<uint8_t>> audio;
    if (desc.audio)
        if (auto s = encodeAudio(desc, audioCount, audio); !s) return s;

    AvchdWritten info;
    info.pictures.resize(video.size());
    std::vector<uint8_t> out;
    TsMuxConfig cfg;
    cfg.packetSize = desc.packetSize;
    cfg.pmtPid = kPmtPid;
    cfg.pcrPid = desc.pcrOnVideo ? kVideoPid : kPcrPid;
    cfg.streams.push_back({kVideoPid, 0x1B, {}});
    if (desc.audio) cfg.streams.push_back({kAudioPid, 0x81, {}});
    TsMuxer mux(cfg, out);

    size_t audioIndex = 0;
    auto writeAudioUntil = [&](int64_t limit) {
        while (audioIndex < audio.size()) {
            const int64_t apts = desc.ptsBase + static_cast<int64_t>(audioIndex) * kAc3FrameTicks;
            if (apts > limit) break;
            mux.writePes(kAudioPid, 0xBD, audio[audioIndex], apts);
            info.ac3.insert(info.ac3.end(), audio[audioIndex].begin(), audio[audioIndex].end());
            ++audioIndex;
        }
    };
    for (size_t i = 0; i < video.size(); ++i) {
        const EncodedPicture& pic = video[i];
        const int64_t pts = desc.ptsBase + pic.pts * tpp;
        const int64_t dts = desc.ptsBase + pic.dts * tpp;
        const int64_t pcr = dts - 4500;
        mux.setArrivalTime(pcr * 300);
        if (i % static_cast<size_t>(desc.gopSize) == 0) mux.writeTables();
        if (!desc.pcrOnVideo) mux.writePcrPacket(kPcrPid, pcr);
        const bool dropped = std::find(desc.dropMeta.begin(), desc.dropMeta.end(), pic.pts) != desc.dropMeta.end();
        std::vector<uint8_t> tags;
        if (!dropped) tags = avchdMdpmTags(desc, pic.pts);
        const std::vector<uint8_t> au = withSei(pic.data, dropped ? nullptr : &tags);
        mux.writePes(kVideoPid, 0xE0, au, pts, dts, desc.pcrOnVideo ? pcr : -1, false);
        if (pic.pts >= 0 && pic.pts < static_cast<int64_t>(video.size()))
            info.pictures[static_cast<size_t>(pic.pts)] = {pts, dts, pic.pictureType, !dropped};
        writeAudioUntil(dts + tpp);
    }
    writeAudioUntil(INT64_MAX);
    info.audioFrames = static_cast<int64_t>(audioIndex);

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return core::Status::failure(core::ErrorCode::kOpenFailed, "cannot create output", errno);
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (std::fclose(f) != 0 || !ok) return core::Status::failure(core::ErrorCode::kWriteFailed, "write failed", errno);
    info.fileSize = static_cast<int64_t>(out.size());
    if (written) *written = std::move(info);
    return core::Status::success();
}

std::string cachedAvchd(const std::string& name, const AvchdSpec& desc, AvchdWritten* written) {
    struct Dir {
        std::filesystem::path path;
        Dir() {
            std::error_code ec;
            path = std::filesystem::temp_directory_path(ec) / ("zorv-avchd-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path, ec);
        }
        ~Dir() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static std::mutex mu;
    static Dir dir;
    static std::map<std::string, std::pair<std::string, AvchdWritten>> made;
    std::lock_guard<std::mutex> lock(mu);
    auto it = made.find(name);
    if (it == made.end()) {
        const std::string path = (dir.path / name).string();
        AvchdWritten info;
        if (!writeAvchd(desc, path, &info)) return {};
        it = made.emplace(name, std::make_pair(path, std::move(info))).first;
    }
    if (written) *written = it->second.second;
    return it->second.first;
}

}  // namespace zorv::gen
