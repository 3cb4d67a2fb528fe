#include "gen/hdv_writer.h"

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

namespace zorv::gen {

namespace {

using media::codec::CodecContextPtr;
using media::codec::FramePtr;
using media::codec::PacketPtr;

uint8_t bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

struct EncodedPicture {
    std::vector<uint8_t> data;
    int64_t pts = 0, dts = 0;  // in pictures
    int pictureCode = 1;
};

struct Pids {
    uint16_t pmt, video, audio, aux;
};

Pids pidsFor(const HdvSpec& desc) {
    if (desc.line720) return {0x0100, 0x1000, 0x1002, 0x0F02};
    return {0x0081, 0x0810, 0x0814, 0x0811};
}

// Writes the 25-bit time code of the first group of pictures header (00 00 01 B8) in data: drop-frame
// flag, hours, minutes, marker bit, seconds, pictures; the closed and broken-link flags stay.
void setGopTimecode(std::vector<uint8_t>& data, const Timecode& tc, bool dropFrame) {
    for (size_t i = 0; i + 8 <= data.size(); ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || data[i + 3] != 0xB8) continue;
        uint8_t* g = data.data() + i + 4;
        const uint32_t v = (dropFrame ? 1u << 31 : 0u) | (static_cast<uint32_t>(tc.hours & 0x1F) << 26) |
                           (static_cast<uint32_t>(tc.minutes & 0x3F) << 20) | (1u << 19) |
                           (static_cast<uint32_t>(tc.seconds & 0x3F) << 13) |
                           (static_cast<uint32_t>(tc.frames & 0x3F) << 7) | (g[3] & 0x7Fu);
        g[0] = static_cast<uint8_t>(v >> 24);
        g[1] = static_cast<uint8_t>(v >> 16);
        g[2] = static_cast<uint8_t>(v >> 8);
        g[3] = static_cast<uint8_t>(v);
        return;
    }
}

int pictureCodeOf(const AVPacket* pkt, const uint8_t* data, size_t n) {
    // picture_coding_type: bits 3-5 of the second byte after the picture start code 00 00 01 00.
    for (size_t i = 0; i + 5 < n; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0) {
            const int t = (data[i + 5] >> 3) & 0x07;
            return t == 1 ? 1 : t == 3 ? 2 : 3;  // MPEG: 1 I, 2 P, 3 B -> HDV: 1 I, 3 P, 2 B
        }
    }
    return (pkt->flags & AV_PKT_FLAG_KEY) ? 1 : 3;
}

core::Status encodeVideo(const HdvSpec& desc, int width, int height, int64_t count, std::vector<EncodedPicture>& out) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    if (!codec) return core::Status::failure(core::ErrorCode::kOpenFailed, "no MPEG-2 video encoder");
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = desc.ntsc ? AVRational{1001, 30000} : AVRational{1, 25};
    ctx->framerate = desc.ntsc ? AVRational{30000, 1001} : AVRational{25, 1};
    ctx->sample_aspect_ratio = width == 1440 ? AVRational{4, 3} : AVRational{1, 1};
    ctx->gop_size = desc.gopSize;
    ctx->max_b_frames = 2;
    ctx->bit_rate = desc.videoBitRate;
    ctx->rc_max_rate = desc.videoBitRate * 2;
    ctx->rc_buffer_size = desc.videoBitRate;
    ctx->flags |= AV_CODEC_FLAG_CLOSED_GOP;
    av_opt_set_int(ctx->priv_data, "sc_threshold", 1000000000, 0);
    int err = avcodec_open2(ctx.get(), codec, nullptr);
    if (err < 0)
        return core::Status::failure(core::ErrorCode::kOpenFailed, "MPEG-2 encoder: " + media::codec::avErrorText(err));
    FramePtr frame = media::codec::makePicture(width, height, AV_PIX_FMT_YUV420P);
    PacketPtr pkt = media::codec::makePacket();
    auto drain = [&]() {
        while (avcodec_receive_packet(ctx.get(), pkt.get()) == 0) {
            EncodedPicture p;
            p.data.assign(pkt->data, pkt->data + pkt->size);
            p.pts = pkt->pts;
            p.dts = pkt->dts;
            p.pictureCode = pictureCodeOf(pkt.get(), pkt->data, static_cast<size_t>(pkt->size));
            out.push_back(std::move(p));
            av_packet_unref(pkt.get());
        }
    };
    for (int64_t n = 0; n < count; ++n) {
        av_frame_make_writable(frame.get());
        // A moving bar pattern with a frame counter in the chroma planes.
        for (int y = 0; y < height; ++y) {
            uint8_t* row = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < width; ++x)
                row[x] = static_cast<uint8_t>(((x + n * 8) / 64 % 2) ? 200 : 40 + (y * 100) / height);
        }
        for (int c = 1; c < 3; ++c)
            for (int y = 0; y < height / 2; ++y)
                std::memset(frame->data[c] + y * frame->linesize[c], static_cast<int>(128 + (c == 1 ? n % 64 : -(n % 64))),
                            width / 2);
        frame->pts = n;
        if ((err = avcodec_send_frame(ctx.get(), frame.get())) < 0)
            return core::Status::failure(core::ErrorCode::kWriteFailed, "MPEG-2 encode: " + media::codec::avErrorText(err));
        drain();
    }
    avcodec_send_frame(ctx.get(), nullptr);
    drain();
    return core::Status::success();
}

core::Status encodeAudio(int64_t count, std::vector<std::vector<uint8_t>>& out) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!codec) return core::Status::failure(core::ErrorCode::kOpenFailed, "no MPEG-1 Layer II encoder");
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->sample_rate = 48000;
    ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->bit_rate = 384000;
    ctx->time_base = AVRational{1, 48000};
    int err = avcodec_open2(ctx.get(), codec, nullptr);
    if (err < 0)
        return core::Status::failure(core::ErrorCode::kOpenFailed, "MP2 encoder: " + media::codec::avErrorText(err));
    FramePtr frame = media::codec::makeFrame();
    frame->nb_samples = ctx->frame_size;
    frame->format = ctx->sample_fmt;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    av_frame_get_buffer(frame.get(), 0);
    PacketPtr pkt = media::codec::makePacket();
    int64_t sample = 0;
    auto drain = [&]() {
        while (avcodec_receive_packet(ctx.get(), pkt.get()) == 0) {
            out.emplace_back(pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt.get());
        }
    };
    for (int64_t n = 0; n < count; ++n) {
        av_frame_make_writable(frame.get());
        auto* s = reinterpret_cast<int16_t*>(frame->data[0]);
        for (int i = 0; i < frame->nb_samples; ++i, ++sample) {
            const int16_t v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000.0 * sample / 48000.0));
            s[2 * i] = v;
            s[2 * i + 1] = v;
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

DateTime addSeconds(DateTime d, int64_t s) {
    int64_t total = d.hour * 3600 + d.minute * 60 + d.second + s;
    d.hour = static_cast<int>(total / 3600 % 24);
    d.minute = static_cast<int>(total / 60 % 60);
    d.second = static_cast<int>(total % 60);
    return d;  // test clips stay within one day
}

}  // namespace

std::vector<uint8_t> hdvAuxItems(const HdvSpec& desc, int64_t display, int64_t pts, int pictureCode) {
    const int fps = desc.ntsc ? 30 : 25;
    const Timecode tc = framesToTimecode(timecodeToFrames(desc.tc, fps, desc.ntsc) + display, fps, desc.ntsc);
    const DateTime now = addSeconds(desc.rec, display * (desc.ntsc ? 1001 : 1000) / (fps * 1000));
    // A camcorder fills the time zone and frame bytes of these packs (an item whose first data byte
    // is 0xFF counts as empty).
    Pack date = recDatePack(now);
    Pack time = recTimePack(now);
    date.pc[0] = 0xC0;
    time.pc[0] = 0xC0;
    std::vector<uint8_t> v;
    auto shortItem = [&](uint8_t id, const std::array<uint8_t, 4>& pc) {
        v.push_back(id);
        v.insert(v.end(), pc.begin(), pc.end());
    };
    const std::array<uint8_t, 4> ub{static_cast<uint8_t>(desc.userBits), static_cast<uint8_t>(desc.userBits >> 8),
                                    static_cast<uint8_t>(desc.userBits >> 16), static_cast<uint8_t>(desc.userBits >> 24)};
    shortItem(0x01, ub);
    shortItem(0x05, date.pc);
    shortItem(0x06, time.pc);
    // Item 0x44: picture and timecode.
    uint8_t item[43] = {};
    item[0] = 0x44;
    item[1] = 41;
    item[6] = static_cast<uint8_t>(pictureCode & 0x0F);
    item[10] = static_cast<uint8_t>(pts);
    item[11] = static_cast<uint8_t>(pts >> 8);
    item[12] = static_cast<uint8_t>(pts >> 16);
    item[13] = static_cast<uint8_t>(pts >> 24);
    item[14] = static_cast<uint8_t>((pts >> 32) & 1);
    item[21] = desc.ntsc ? 4 : 3;
    item[30] = 0x07;
    item[31] = static_cast<uint8_t>((desc.ntsc ? 0x40 : 0) | bcd(tc.frames));
    item[32] = bcd(tc.seconds);
    item[33] = bcd(tc.minutes);
    item[34] = bcd(tc.hours);
    std::memcpy(item + 35, date.pc.data(), 4);
    std::memcpy(item + 39, time.pc.data(), 4);
    v.insert(v.end(), item, item + sizeof item);
    auto packList = [&](uint8_t id, std::initializer_list<Pack> packs) {
        v.push_back(id);
        v.push_back(static_cast<uint8_t>(5 * packs.size()));
        for (const Pack& p : packs) {
            v.push_back(p.id);
            v.insert(v.end(), p.pc.begin(), p.pc.end());
        }
    };
    packList(0x48, {userBitsPack(desc.userBits), date, time, desc.camera1, desc.camera2, desc.shutter});
    for (uint8_t id = 0x49; id <= 0x4B; ++id) packList(id, {desc.camera1, desc.camera2, desc.shutter});
    v.push_back(0xFF);  // end of the run
    return v;
}

core::Status writeHdv(const HdvSpec& desc, const std::string& path, HdvWritten* written) {
    const int width = desc.line720 ? 1280 : 1440;
    const int height = desc.line720 ? 720 : 1080;
    const int64_t frames = std::max<int64_t>(1, desc.frames);
    int64_t unique = desc.uniquePictures > 0 ? std::min(desc.uniquePictures, frames) : frames;
    if (unique < frames) unique = std::max<int64_t>(desc.gopSize, unique / desc.gopSize * desc.gopSize);

    std::vector<EncodedPicture> video;
    core::Status st = encodeVideo(desc, width, height, unique, video);
    if (!st) return st;
    const int64_t dur = desc.ntsc ? 3003 : 3600;  // 90 kHz per picture

    // Audio: one MPEG-1 Layer II frame per 1152 samples (2160 ticks), repeated after 100 frames.
    const int64_t audioTotal = desc.audio ? (frames * dur + 2159) / 2160 : 0;
    std::vector<std::vector<uint8_t>> audio;
    if (desc.audio) {
        st = encodeAudio(std::min<int64_t>(audioTotal, 100), audio);
        if (!st) return st;
    }

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return core::Status::failure(core::ErrorCode::kOpenFailed, "cannot create " + path, errno);
    const Pids pids = pidsFor(desc);
    std::vector<uint8_t> out;
    TsMuxConfig cfg;
    cfg.packetSize = desc.packetSize;
    cfg.pmtPid = pids.pmt;
    cfg.pcrPid = pids.video;
    cfg.streams = {{pids.video, 0x02, {}}, {pids.audio, 0x03, {}}, {pids.aux, 0xA0, {}}};
    TsMuxer mux(cfg, out);

    const int64_t packetsPerPicture = std::max<int64_t>(1, desc.muxRate / 8 / 188 * dur / 90000);
    mux.setTicksPerPacket(dur * 300 / packetsPerPicture);

    if (!desc.reelName.empty()) {
        std::array<uint8_t, 188> reel{};
        reel.fill(0xFF);
        reel[0] = 0x47;
        reel[1] = 0x1F;
        reel[2] = 0xFD;
        reel[3] = 0x10;
        std::memset(reel.data() + 4, 0, 184);
        std::memcpy(reel.data() + 72, desc.reelName.data(), std::min<size_t>(desc.reelName.size(), 39));
        mux.writeRawPacket(reel);
    }

    HdvWritten info;
    info.width = width;
    info.height = height;
    int64_t audioIndex = 0;
    const uint8_t table0134[] = {0x00, 0x80, 0xB0, 0x09, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    for (int64_t k = 0; k < frames; ++k) {
        const EncodedPicture& ep = video[static_cast<size_t>(k % unique)];
        const int64_t cycle = k / unique;
        HdvPicture pic;
        pic.display = ep.pts + cycle * unique;
        pic.pts = desc.ptsBase + pic.display * dur;
        pic.dts = desc.ptsBase + (ep.dts + cycle * unique) * dur;
        pic.pictureCode = ep.pictureCode;
        pic.aux = std::find(desc.dropAux.begin(), desc.dropAux.end(), pic.display) == desc.dropAux.end();
        const int fps = desc.ntsc ? 30 : 25;
        pic.tcFrames = timecodeToFrames(
            framesToTimecode(timecodeToFrames(desc.tc, fps, desc.ntsc) + pic.display, fps, desc.ntsc), fps, desc.ntsc);
        pic.sequenceHeader = ep.pictureCode == 1;
        const int64_t slotStart = pic.dts - 2 * dur;
        mux.setArrivalTime(slotStart * 300);
        const int64_t before = mux.packetsWritten();
        if (pic.sequenceHeader) {
            mux.writeTables();
            std::array<uint8_t, 188> t{};
            t.fill(0xFF);
            t[0] = 0x47;
            t[1] = 0x41;
            t[2] = 0x34;
            t[3] = static_cast<uint8_t>(0x10 | mux.nextContinuity(0x0134));
            std::memcpy(t.data() + 4, table0134, sizeof table0134);
            mux.writeRawPacket(t);
        }
        if (pic.aux) {
            std::vector<uint8_t> items = hdvAuxItems(desc, pic.display, pic.pts, pic.pictureCode);
            std::vector<uint8_t> pes(6 + items.size());
            pes[2] = 0x01;
            pes[3] = 0xBF;
            pes[4] = static_cast<uint8_t>(items.size() >> 8);
            pes[5] = static_cast<uint8_t>(items.size());
            std::copy(items.begin(), items.end(), pes.begin() + 6);
            mux.writeStuffedPacket(pids.aux, true, pes);
        }
        if (pic.sequenceHeader) {
            // The group of pictures header carries the tape timecode of its first picture shown
            // (the I picture of a closed group), as HDV camcorders write it.
            std::vector<uint8_t> data = ep.data;
            setGopTimecode(data, framesToTimecode(timecodeToFrames(desc.tc, fps, desc.ntsc) + pic.display, fps, desc.ntsc),
                           desc.ntsc);
            mux.writePes(pids.video, 0xE0, data, pic.pts, pic.dts, slotStart, false);
        } else {
            mux.writePes(pids.video, 0xE0, ep.data, pic.pts, pic.dts, slotStart, false);
        }
        // Audio due up to the end of this slot.
        while (audioIndex < audioTotal && desc.ptsBase + audioIndex * 2160 < slotStart + 3 * dur) {
            const auto& a = audio[static_cast<size_t>(audioIndex % static_cast<int64_t>(audio.size()))];
            const int64_t apts = desc.ptsBase + audioIndex * 2160;
            if (info.firstAudioPts < 0) info.firstAudioPts = apts;
            mux.writePes(pids.audio, 0xC0, a, apts);
            ++audioIndex;
        }
        while (mux.packetsWritten() - before < packetsPerPicture) mux.writeNullPacket();
        info.pictures.push_back(pic);
        if (out.size() >= (1u << 20)) {
            if (std::fwrite(out.data(), 1, out.size(), f) != out.size()) {
                std::fclose(f);
                return core::Status::failure(core::ErrorCode::kWriteFailed, "write failed", errno);
            }
            info.fileSize += static_cast<int64_t>(out.size());
            out.clear();
        }
    }
    // Remaining audio, then whole read units of null packets so the file ends on a unit boundary.
    while (audioIndex < audioTotal) {
        const auto& a = audio[static_cast<size_t>(audioIndex % static_cast<int64_t>(audio.size()))];
        mux.writePes(pids.audio, 0xC0, a, desc.ptsBase + audioIndex * 2160);
        ++audioIndex;
    }
    info.audioFrames = audioTotal;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    info.fileSize += static_cast<int64_t>(out.size());
    if (std::fclose(f) != 0 || !ok) return core::Status::failure(core::ErrorCode::kWriteFailed, "write failed", errno);
    if (written) *written = std::move(info);
    return core::Status::success();
}

std::string cachedHdv(const std::string& name, const HdvSpec& desc, HdvWritten* written) {
    struct Dir {
        std::filesystem::path path;
        Dir() {
            std::error_code ec;
            path = std::filesystem::temp_directory_path(ec) / ("zorv-hdv-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path, ec);
        }
        ~Dir() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static std::mutex mu;
    static Dir dir;
    static std::map<std::string, std::pair<std::string, HdvWritten>> made;
    std::lock_guard<std::mutex> lock(mu);
    auto it = made.find(name);
    if (it == made.end()) {
        const std::string path = (dir.path / name).string();
        HdvWritten info;
        if (!writeHdv(desc, path, &info)) return {};
        it = made.emplace(name, std::make_pair(path, std::move(info))).first;
    }
    if (written) *written = it->second.second;
    return it->second.first;
}

}  // namespace zorv::gen
