#include "media/hdv_stream_info.h"

#include <algorithm>
#include <memory>

#include "core/timecode.h"
#include "media/file_io.h"
#include "media/hdv_m2t_reader.h"
#include "media/recognize.h"
#include "media/ts_packet.h"
#include "media/ts_packet_stream.h"

namespace zorv::media {

namespace {

const uint8_t kSequenceHeaderCode[] = {0x00, 0x00, 0x01, 0xB3};
const uint8_t kGopHeaderCode[] = {0x00, 0x00, 0x01, 0xB8};

// MPEG-1 Layer I/II/III bit rates (kbit/s) by index; MPEG-2 rows for the lower sampling rates.
const int kBitRatesV1[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};
const int kBitRatesV2[2][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
const int kSampleRates[3] = {44100, 48000, 32000};

}  // namespace

void mpegFrameRate(int code, int& num, int& den) {
    static const int kRates[9][2] = {{0, 1},  {24000, 1001}, {24, 1},       {25, 1}, {30000, 1001},
                                     {30, 1}, {50, 1},       {60000, 1001}, {60, 1}};
    const int c = (code >= 1 && code <= 8) ? code : 0;
    num = kRates[c][0];
    den = kRates[c][1];
}

bool parseMpeg2SequenceHeader(const uint8_t* p, size_t n, Mpeg2VideoFormat& out) {
    if (n < 12 || p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] != 0xB3) return false;
    out.width = (p[4] << 4) | (p[5] >> 4);
    out.height = ((p[5] & 0x0F) << 8) | p[6];
    out.aspectCode = p[7] >> 4;
    out.frameRateCode = p[7] & 0x0F;
    int64_t rate = (static_cast<int64_t>(p[8]) << 10) | (p[9] << 2) | (p[10] >> 6);
    // The sequence extension adds 2 bits of size and 12 bits of bit rate.
    const uint8_t ext[] = {0x00, 0x00, 0x01, 0xB5};
    const int64_t at = findBytes(p + 12, n - 12, ext, 4);
    if (at >= 0 && static_cast<size_t>(at) + 12 + 10 <= n) {
        const uint8_t* e = p + 12 + at + 4;
        if ((e[0] >> 4) == 1) {
            out.profileLevel = ((e[0] & 0x0F) << 4) | (e[1] >> 4);
            out.progressive = (e[1] & 0x08) != 0;
            out.width |= ((e[1] & 0x01) << 1 | (e[2] >> 7)) << 12;
            out.height |= ((e[2] >> 5) & 0x03) << 12;
            rate |= static_cast<int64_t>(((e[2] & 0x1F) << 7) | (e[3] >> 1)) << 18;
        }
    }
    out.bitRate = rate * 400;
    return out.width > 0 && out.height > 0;
}

bool parseGopTimecode(const uint8_t* p, size_t n, int frameRateCode, HdvGopTimecode& out) {
    if (n < 4 || !(p[1] & 0x08)) return false;  // the marker bit between minutes and seconds
    const bool dropFrame = (p[0] & 0x80) != 0;
    const core::Timecode tc{(p[0] >> 2) & 0x1F, ((p[0] & 0x03) << 4) | (p[1] >> 4), ((p[1] & 0x07) << 3) | (p[2] >> 5),
                            ((p[2] & 0x1F) << 1) | (p[3] >> 7)};
    if (tc.hours > 23 || tc.minutes > 59 || tc.seconds > 59 || tc.frames > 29) return false;
    out.style = frameRateCode == 4 ? (dropFrame ? 4 : 3) : 2;
    out.frames = core::timecodeToFrames(tc, out.style);
    return true;
}

HdvGopTimecode HdvStreamInfo::gopTimecodeAt(int64_t pts) const {
    HdvGopTimecode best;
    for (const auto& g : gopTimecodes)
        if (g.pts <= pts && g.pts > best.pts) best = g;
    if (best.pts < 0) return HdvGopTimecode{};
    int num = 0, den = 1;
    mpegFrameRate(video.frameRateCode, num, den);
    if (num <= 0) num = 25, den = 1;
    const int64_t pictures = ((pts - best.pts) * num + kPtsPerSecond * den / 2) / (kPtsPerSecond * den);
    best.frames = core::wrapFrames(best.frames + pictures, best.style);
    best.pts = pts;
    return best;
}

bool parseMpegAudioHeader(const uint8_t* p, MpegAudioFormat& out) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    const int versionBits = (p[1] >> 3) & 0x03;
    const int layerBits = (p[1] >> 1) & 0x03;
    const int rateIndex = p[2] >> 4;
    const int srIndex = (p[2] >> 2) & 0x03;
    if (versionBits == 1 || layerBits == 0 || rateIndex == 15 || srIndex == 3) return false;
    out.present = true;
    out.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    out.layer = 4 - layerBits;
    out.sampleRate = kSampleRates[srIndex] / (out.version == 1 ? 1 : out.version == 2 ? 2 : 4);
    out.bitRateKbps =
        out.version == 1 ? kBitRatesV1[out.layer - 1][rateIndex] : kBitRatesV2[out.layer == 1 ? 0 : 1][rateIndex];
    out.mode = p[3] >> 6;
    return true;
}

bool parseAuxPacket(const uint8_t* packet, HdvMetadataRecord& rec, HdvPictureItem& picture) {
    TsPacket tp;
    PesHeader pes;
    if (!parseTsPacket(packet, tp) || !parsePacketPes(tp, pes)) return false;
    if (pes.streamId != 0xBF && pes.streamId != 0xBD) return false;
    if (pes.payloadOffset >= tp.payloadSize()) return false;
    size_t n = static_cast<size_t>(tp.payloadSize() - pes.payloadOffset);
    // A bounded PES ends within the packet.
    const size_t pesBytes = 6 + pes.packetLength;
    if (pes.packetLength != 0 && pesBytes > static_cast<size_t>(pes.payloadOffset))
        n = std::min(n, pesBytes - static_cast<size_t>(pes.payloadOffset));
    picture = parseAuxItems(tp.payload() + pes.payloadOffset, n, rec);
    return true;
}

core::Status scanHdvStream(const std::string& path, bool line720, HdvStreamInfo& out,
                           const std::function<bool(int64_t, int64_t)>& progress) {
    out = HdvStreamInfo{};
    File file;
    if (!file.open(path, File::Mode::kRead))
        return core::Status::failure(core::ErrorCode::kOpenFailed, "Could not open file", file.sysError());
    const int64_t size = file.size();
    std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(size, 0), kM2tMinFileSize)));
    if (head.empty() || !file.readExact(0, head.data(), head.size()))
        return core::Status::failure(core::ErrorCode::kReadFailed, m2tFailureText(kM2tTooSmall), file.sysError());
    TsGeometry geom;
    if (!findTsGeometry(head.data(), head.size(), geom))
        return core::Status::failure(core::ErrorCode::kReadFailed, m2tFailureText(kM2tNoPackets));
    out.packetSize = geom.packetSize;
    out.videoPid = line720 ? hdv_pid::kVideo720 : hdv_pid::kVideo;
    out.audioPid = line720 ? hdv_pid::kAudio720 : hdv_pid::kAudio;
    out.auxPid = line720 ? hdv_pid::kOther720 : hdv_pid::kAux;

    const int64_t blockPackets = 4096;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[static_cast<size_t>(blockPackets) * kTsPacketBytes]);
    std::vector<std::pair<int64_t, HdvMetadataRecord>> timed;
    bool haveVideoFormat = false;
    TsPacketStream stream;
    stream.attach(&file, kTsPacketBytes, 0);
    stream.seek(geom.start);
    for (;;) {
        const int64_t got = stream.read(buf.get(), blockPackets);
        if (got < 0) return core::Status::failure(core::ErrorCode::kReadFailed, "Could not read file", stream.sysError());
        if (got == 0) break;
        TsPacketWalker walker(buf.get(), static_cast<size_t>(got) * kTsPacketBytes, kTsPacketBytes, 0);
        TsPacket tp;
        bool ok = false;
        while (walker.next(tp, ok)) {
            if (!ok || !tp.payloadUnitStart) continue;
            if (tp.pid == out.videoPid) {
                PesHeader pes;
                if (!parsePacketPes(tp, pes)) continue;
                ++out.videoPictures;
                if (pes.hasPts) {
                    if (out.firstPts < 0 || pes.pts < out.firstPts) out.firstPts = pes.pts;
                    if (pes.pts > out.lastPts) out.lastPts = pes.pts;
                }
                if (pes.payloadOffset < tp.payloadSize()) {
                    const uint8_t* es = tp.payload() + pes.payloadOffset;
                    const size_t n = static_cast<size_t>(tp.payloadSize() - pes.payloadOffset);
                    if (!haveVideoFormat) {
                        const int64_t at = findBytes(es, n, kSequenceHeaderCode, 4);
                        if (at >= 0)
                            haveVideoFormat = parseMpeg2SequenceHeader(es + at, n - static_cast<size_t>(at), out.video);
                    }
                    const int64_t gop = findBytes(es, n, kGopHeaderCode, 4);
                    HdvGopTimecode g;
                    if (gop >= 0 && pes.hasPts &&
                        parseGopTimecode(es + gop + 4, n - static_cast<size_t>(gop) - 4, out.video.frameRateCode, g)) {
                        g.pts = pes.pts;
                        out.gopTimecodes.push_back(g);
                    }
                }
            } else if (tp.pid == out.audioPid) {
                PesHeader pes;
                if (!parsePacketPes(tp, pes)) continue;
                ++out.audioFrames;
                if (!out.audio.present && pes.payloadOffset + 4 <= tp.payloadSize())
                    parseMpegAudioHeader(tp.payload() + pes.payloadOffset, out.audio);
            } else if (tp.pid == out.auxPid) {
                HdvMetadataRecord rec;
                HdvPictureItem picture;
                if (!parseAuxPacket(tp.data, rec, picture)) continue;
                ++out.auxPackets;
                timed.emplace_back(picture.timeStamp, rec);
            }
        }
        if (progress && !progress(stream.nextOffset(), size))
            return core::Status::failure(core::ErrorCode::kCancelled, "Cancelled");
    }
    out.skippedBytes = stream.skippedBytes();
    out.skipPlaces = stream.skipPlaces();
    const int64_t origin = out.firstPts >= 0 ? out.firstPts : 0;
    out.records.reserve(timed.size());
    for (auto& [ts, rec] : timed) {
        rec.startTime = ts >= 0 ? ptsToTime((ts - origin + kPtsWrap) % kPtsWrap) : -1;
        out.records.push_back(rec);
    }
    std::stable_sort(out.records.begin(), out.records.end(),
                     [](const HdvMetadataRecord& a, const HdvMetadataRecord& b) { return a.startTime < b.startTime; });
    return core::Status::success();
}

}  // namespace zorv::media
