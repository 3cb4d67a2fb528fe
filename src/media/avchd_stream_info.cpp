#include "media/avchd_stream_info.h"

#include <algorithm>
#include <vector>

#include "media/ac3_header.h"
#include "media/avchd_avc_reader.h"
#include "media/avchd_pes_head.h"
#include "media/file_io.h"
#include "media/h264_nal.h"
#include "media/h264_sps.h"
#include "media/recognize.h"
#include "media/ts_packet.h"
#include "media/ts_packet_stream.h"

namespace zorv::media {
namespace {

// Bytes read to find the packet size.
constexpr size_t kGeometryBytes = 48128;

// Calls onHead with the start of each PES of the PID, among the packets of the first limit bytes of
// the file, until it returns true. kNotRecognised when the file is shorter than minBytes or holds no
// packets.
template <typename Fn>
core::Status eachPesHead(const std::string& path, size_t minBytes, int64_t limit, uint16_t pid, size_t headBytes,
                         Fn&& onHead) {
    using core::ErrorCode;
    using core::Status;
    File f;
    if (!f.open(path)) return Status::failure(ErrorCode::kOpenFailed, {}, f.sysError());
    std::vector<uint8_t> buf(std::min(kAvchdInfoBytes, kGeometryBytes));
    const int64_t got = f.readAt(0, buf.data(), buf.size());
    if (got < 0) return Status::failure(ErrorCode::kReadFailed, {}, f.sysError());
    if (got < static_cast<int64_t>(std::min(minBytes, buf.size())) || f.size() < static_cast<int64_t>(minBytes))
        return Status::failure(ErrorCode::kNotRecognised);
    TsGeometry geom;
    if (!findTsGeometry(buf.data(), static_cast<size_t>(got), geom)) return Status::failure(ErrorCode::kNotRecognised);
    PesHeadCollector heads(pid, headBytes);
    bool done = false;
    auto take = [&](const uint8_t* es, size_t n, int64_t, int64_t) {
        if (!done) done = onHead(es, n);
    };
    TsPacketStream stream;
    stream.attach(&f, kTsPacketBytes, 0, limit);
    stream.seek(geom.start);
    constexpr int64_t kBlock = 256;
    buf.resize(static_cast<size_t>(kBlock) * kTsPacketBytes);
    for (int64_t n; !done && (n = stream.read(buf.data(), kBlock)) > 0;) {
        TsPacketWalker walker(buf.data(), static_cast<size_t>(n) * kTsPacketBytes, kTsPacketBytes, 0);
        TsPacket pkt;
        bool ok = false;
        while (!done && walker.next(pkt, ok))
            if (ok) heads.feed(pkt, take);
    }
    if (!done) heads.finish(take);
    return Status::success();
}

}  // namespace

core::Status describeAvchdStream(const std::string& path, AvchdStreamDescription& out) {
    H264Sps sps;
    bool found = false;
    core::Status st = eachPesHead(
        path, kAvchdInfoMinBytes, kAvchdInfoBytes, avchd_pid::kVideo, kSeiWorkBytes, [&](const uint8_t* es, size_t n) {
            StartCode sc;
            size_t from = 0;
            while (findStartCode(es, n, from, sc)) {
                const size_t h = sc.nalStart();
                if (nalType(es[h]) == nal::kSps && nalRefIdc(es[h]) != 0 && parseH264Sps(es + h, n - h, sps)) {
                    found = true;
                    return true;
                }
                from = h;
            }
            return false;
        });
    if (!st) return st;
    if (!found) return core::Status::failure(core::ErrorCode::kNotRecognised);
    out.profileIdc = sps.profileIdc;
    out.levelIdc = sps.levelIdc;
    out.profileText = std::string(h264ProfileText(sps.profileIdc));
    out.levelText = h264LevelText(sps);
    out.width = sps.width;
    out.height = sps.height;
    out.rateNum = sps.rateNum;
    out.rateDen = sps.rateDen;
    out.sarWidth = sps.sarWidth;
    out.sarHeight = sps.sarHeight;
    out.frameCoding = sps.frameMbsOnly;
    out.durationPts = 0;
    AvcReader reader;
    if (reader.open(path, false)) out.durationPts = reader.durationPts();
    return core::Status::success();
}

core::Status describeAvchdAudio(const std::string& path, AvchdAudioDescription& out) {
    bool found = false;
    core::Status st = eachPesHead(path, kAvchdInfoMinBytes, kAvchdAudioSearchBytes, avchd_pid::kAudio, 32,
                                  [&](const uint8_t* es, size_t n) {
                                      Ac3Header h;
                                      if (!parseAc3Header(es, n, h)) return false;
                                      out.sampleRate = h.sampleRate;
                                      out.bitRateKbps = h.bitRateKbps;
                                      out.channels = h.channels;
                                      out.layout = std::string(h.layout) + (h.lfe ? ", LFE" : "");
                                      found = true;
                                      return true;
                                  });
    if (st && !found) st = core::Status::failure(core::ErrorCode::kNoAudio);
    return st;
}

bool avchdHasGps(const std::string& path) {
    std::vector<uint8_t> work(kSeiWorkBytes);
    bool gps = false;
    eachPesHead(path, kAvchdGpsMinBytes, kAvchdInfoBytes, avchd_pid::kVideo, kSeiWorkBytes,
                [&](const uint8_t* es, size_t n) {
                    StartCode sc;
                    size_t from = 0;
                    while (findStartCode(es, n, from, sc)) {
                        const size_t h = sc.nalStart();
                        std::span<const uint8_t> mdpm;
                        if (nalType(es[h]) == nal::kSei && findMdpmPayload(es + sc.pos, n - sc.pos, work, mdpm)) {
                            if (!mdpm.empty()) {
                                const size_t tags = std::min<size_t>(mdpm[0], (mdpm.size() - 1) / 5);
                                for (size_t i = 0; i < tags; ++i) {
                                    const uint8_t* t = mdpm.data() + 1 + i * 5;
                                    if (t[0] == 0xB0 && t[1] == 2 && t[2] == 2) gps = true;
                                }
                            }
                            return true;  // the first MDPM payload decides
                        }
                        from = h;
                    }
                    return false;
                });
    return gps;
}

namespace {

double rational(const core::MetadataRecord& t, uint8_t id) {
    const unsigned num = (t.pc(id, 1) << 8) | t.pc(id, 2);
    const unsigned den = (t.pc(id, 3) << 8) | t.pc(id, 4);
    return den ? static_cast<double>(num) / den : 0.0;
}

// Whole degrees and minutes (integer division), seconds exact.
double degrees(const core::MetadataRecord& t, uint8_t deg) {
    auto whole = [&](uint8_t id) {
        const unsigned num = (t.pc(id, 1) << 8) | t.pc(id, 2);
        const unsigned den = (t.pc(id, 3) << 8) | t.pc(id, 4);
        return den ? static_cast<double>(num / den) : 0.0;
    };
    return whole(deg) + whole(static_cast<uint8_t>(deg + 1)) / 60.0 + rational(t, static_cast<uint8_t>(deg + 2)) / 3600.0;
}

}  // namespace

bool avchdGpsValues(const AvchdMetadataRecord& rec, AvchdGpsValues& out) {
    core::MetadataRecord t;
    rec.toMetadataRecord(t);
    return avchdGpsValues(t, out);
}

bool avchdGpsValues(const core::MetadataRecord& t, AvchdGpsValues& out) {
    for (uint8_t id : {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8})
        if (!t.has(id)) return false;
    AvchdGpsValues v;
    v.latitude = degrees(t, 0xB2) * (t.pc(0xB1, 1) == 'S' ? -1 : 1);
    v.longitude = degrees(t, 0xB6) * (t.pc(0xB5, 1) == 'W' ? -1 : 1);
    if (t.has(0xB9) && t.has(0xBA)) {
        v.hasAltitude = true;
        v.altitude = rational(t, 0xBA) * (t.pc(0xB9, 1) ? -1 : 1);
    }
    if (t.has(0xC1) && t.has(0xC2)) {
        v.hasSpeed = true;
        v.speed = rational(t, 0xC2);
        v.speedUnit = static_cast<char>(t.pc(0xC1, 1));
    }
    if (t.has(0xC3) && t.has(0xC4)) {
        v.hasTrack = true;
        v.track = rational(t, 0xC4);
        v.trackRef = static_cast<char>(t.pc(0xC3, 1));
    }
    out = v;
    return true;
}

bool avchdMapPosition(const AvchdMetadataRecord& rec, core::TextBuf& out) {
    core::MetadataRecord table;
    rec.toMetadataRecord(table);
    return core::formatMapPosition(out, table);
}

}  // namespace zorv::media
