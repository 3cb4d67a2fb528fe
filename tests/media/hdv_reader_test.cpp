// The HDV stream reader on generated HDV2/HDV1 streams: open results, packet sizes, first and last
// sequence starts, the header packets, aux rewriting to private stream 1 and nulling after a seek.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "dv_test_media.h"
#include "gen/hdv_writer.h"
#include "media/hdv_aux_items.h"
#include "media/hdv_m2t_reader.h"
#include "media/ts_packet.h"
#include "gen/file_bytes.h"

namespace zorv::media {
namespace {

using testing::TempDir;

std::vector<uint8_t> readAll(const std::string& path) { return zorv::gen::fileBytes<std::vector<uint8_t>>(path); }
void writeAll(const std::string& path, const std::vector<uint8_t>& d) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

const std::string& stream1080(gen::HdvWritten* w = nullptr) {
    static gen::HdvWritten info;
    static const std::string path = gen::cachedHdv("r1080.m2t", gen::HdvSpec{}, &info);
    if (w) *w = info;
    return path;
}

// The PTS of the last picture in decode order that starts a sequence (an I picture).
int64_t lastSequencePts(const gen::HdvWritten& w) {
    int64_t pts = -1;
    for (const auto& p : w.pictures)
        if (p.sequenceHeader) pts = p.pts;
    return pts;
}

TEST(M2tReaderOpen, FindsFirstAndLastSequenceOfGeneratedStreams) {
    for (int packet : {188, 192}) {
        gen::HdvSpec desc;
        desc.packetSize = packet;
        gen::HdvWritten w;
        const std::string path = gen::cachedHdv("open" + std::to_string(packet) + ".m2t", desc, &w);
        ASSERT_FALSE(path.empty());
        M2tReader r;
        ASSERT_TRUE(r.open(path)) << packet;
        EXPECT_EQ(r.packetSize(), packet);
        EXPECT_EQ(r.unitBytes(), packet * 256);
        EXPECT_EQ(r.startPts(), desc.ptsBase);
        EXPECT_EQ(r.endPts(), desc.ptsBase + (desc.frames - 1) * 3600);  // the last picture shown
        EXPECT_EQ(r.presentedDurationPts(), desc.frames * 3600);
        EXPECT_EQ(r.lastSequence().pts, lastSequencePts(w));
        EXPECT_EQ(r.duration(), (lastSequencePts(w) - desc.ptsBase) * 1000 / 9);
        EXPECT_EQ(r.frameRateCode(), 3);  // 25 pictures/s
        ASSERT_GE(r.sequenceHeader().size(), 12u);
        EXPECT_EQ(r.sequenceHeader()[3], 0xB3);
        // 1440 x 1080 in the sequence header, and the extension's 10 bytes kept.
        EXPECT_EQ((r.sequenceHeader()[4] << 4) | (r.sequenceHeader()[5] >> 4), 1440);
        EXPECT_EQ(((r.sequenceHeader()[5] & 0x0F) << 8) | r.sequenceHeader()[6], 1080);
        const auto& sh = r.sequenceHeader();
        EXPECT_EQ(sh[sh.size() - 14 + 3], 0xB5);
        // Header packets: PAT, PMT on 0x0081, the 0x0134 table.
        const uint8_t* h = r.headerPackets().data() + (packet == 192 ? 4 : 0);
        EXPECT_EQ(tsPid(h), 0x0000);
        EXPECT_EQ(tsPid(h + packet), 0x0081);
        EXPECT_EQ(tsPid(h + 2 * packet), 0x0134);
    }
}

TEST(M2tReaderOpen, ReasonsForFilesItCannotUse) {
    TempDir dir;
    M2tReader r;
    EXPECT_EQ(r.open(dir.file("missing.m2t")).message, m2tFailureText(1));
    EXPECT_EQ(m2tFailureText(1), "Could not load M2T file (reason 1)");

    const std::vector<uint8_t> whole = readAll(stream1080());
    writeAll(dir.file("short.m2t"), std::vector<uint8_t>(whole.begin(), whole.begin() + 48127));
    EXPECT_EQ(r.open(dir.file("short.m2t")).message, m2tFailureText(2));
    EXPECT_FALSE(r.isOpen());

    writeAll(dir.file("noise.m2t"), std::vector<uint8_t>(60000, 0x12));
    EXPECT_EQ(r.open(dir.file("noise.m2t")).message, m2tFailureText(3));

    // Only null packets: packets are found, a sequence header is not.
    std::vector<uint8_t> nulls;
    for (int i = 0; i < 400; ++i) {
        uint8_t p[188];
        std::memset(p, 0xFF, sizeof p);
        p[0] = 0x47, p[1] = 0x1F, p[2] = 0xFF, p[3] = 0x10;
        nulls.insert(nulls.end(), p, p + 188);
    }
    writeAll(dir.file("nulls.m2t"), nulls);
    EXPECT_EQ(r.open(dir.file("nulls.m2t")).message, m2tFailureText(6));

    // Without the 0x0134 table packet the header packets are never settled.
    std::vector<uint8_t> noTable = whole;
    for (size_t off = 0; off + 188 <= noTable.size(); off += 188)
        if (tsPid(&noTable[off]) == 0x0134) nullTsPacket(&noTable[off]);
    writeAll(dir.file("notable.m2t"), noTable);
    EXPECT_EQ(r.open(dir.file("notable.m2t")).message, m2tFailureText(7));
}

TEST(M2tReaderOpen, WaitForAudioNeedsAnAudioPacketToSettleThePmt) {
    gen::HdvSpec desc;
    desc.audio = false;
    desc.frames = 30;
    const std::string path = gen::cachedHdv("silent.m2t", desc);
    M2tReader r;
    EXPECT_EQ(r.open(path).message, m2tFailureText(7));
    EXPECT_TRUE(r.open(path, true, M2tReader::Flags{false, false}));
}

TEST(M2tReaderStream, SeekInA192ByteStreamKeepsTheArrivalPrefixes) {
    gen::HdvSpec desc;
    desc.packetSize = 192;
    const std::string path = gen::cachedHdv("open192.m2t", desc);
    M2tReader r;
    ASSERT_TRUE(r.open(path));
    ASSERT_TRUE(r.seek(r.duration()));  // the end: the last sequence start
    std::vector<uint8_t> buf(r.maxSampleBytes());
    const int64_t n = r.fillSample(buf.data(), buf.size());
    ASSERT_GT(n, 3 * 192);
    EXPECT_EQ(n % 192, 0);
    for (int64_t off = 4; off < n; off += 192) ASSERT_EQ(buf[static_cast<size_t>(off)], 0x47) << off;
    EXPECT_EQ(tsPid(buf.data() + 4), 0x0000);
    EXPECT_EQ(tsPid(buf.data() + 196), 0x0081);
    EXPECT_EQ(tsPid(buf.data() + 388), 0x0134);
    // The sample after the headers is the read unit holding the last sequence start.
    TsPacket tp;
    ASSERT_TRUE(parseTsPacket(buf.data() + 3 * 192 + 4 + r.lastSequence().packetIndex * 192, tp));
    EXPECT_EQ(tp.pid, 0x0810);
    EXPECT_TRUE(tp.payloadUnitStart);
    EXPECT_EQ(r.position(), r.duration());
}

TEST(M2tReaderOpen, FindsPacketsNotAlignedToTheFileStart) {
    TempDir dir;
    std::vector<uint8_t> d(77, 0x00);
    const std::vector<uint8_t> whole = readAll(stream1080());
    d.insert(d.end(), whole.begin(), whole.end());
    writeAll(dir.file("offset.m2t"), d);
    M2tReader r;
    ASSERT_TRUE(r.open(dir.file("offset.m2t")));
    EXPECT_EQ(r.packetSize(), 188);
    EXPECT_EQ(r.packetBase(), 77);
    EXPECT_EQ(r.startPts(), gen::HdvSpec{}.ptsBase);
}

TEST(M2tReaderOpen, SkipStartTakesTheFirstSequenceAfterOneSecond) {
    gen::HdvWritten w;
    const std::string& path = stream1080(&w);
    int64_t expected = -1;
    for (const auto& p : w.pictures)
        if (p.sequenceHeader && p.pts > 90000) {
            expected = p.pts;
            break;
        }
    M2tReader r;
    ASSERT_TRUE(r.open(path, true, M2tReader::Flags{true, true}));
    EXPECT_GT(r.startPts(), 90000);
    EXPECT_EQ(r.startPts(), expected);
}

// Walks every sample; calls fn for each 188-byte packet of the read units (header packets excluded).
template <typename Fn>
void streamAll(M2tReader& r, Fn&& fn, bool expectHeaders) {
    std::vector<uint8_t> buf(r.maxSampleBytes());
    bool first = true;
    for (;;) {
        const int64_t n = r.fillSample(buf.data(), buf.size());
        ASSERT_GE(n, 0);
        if (n == 0) break;
        size_t from = 0;
        if (first && expectHeaders) {
            ASSERT_EQ(tsPid(buf.data() + (r.packetSize() == 192 ? 4 : 0)), 0x0000);
            from = 3u * static_cast<size_t>(r.packetSize());
        }
        first = false;
        for (size_t off = from + (r.packetSize() == 192 ? 4 : 0); off + 188 <= static_cast<size_t>(n); off += r.packetSize())
            fn(buf.data() + off);
    }
}

TEST(M2tReaderStream, RewritesEveryAuxPacketAsPrivateStream1WithThePicturePts) {
    gen::HdvWritten w;
    const std::string& path = stream1080(&w);
    M2tReader r;
    ASSERT_TRUE(r.open(path));
    int aux = 0, video = 0;
    streamAll(
        r,
        [&](const uint8_t* p) {
            TsPacket tp;
            ASSERT_TRUE(parseTsPacket(p, tp));
            if (tp.pid == 0x0810 && tp.payloadUnitStart) ++video;
            if (tp.pid != 0x0811) return;
            PesHeader pes;
            ASSERT_TRUE(parsePacketPes(tp, pes));
            EXPECT_EQ(pes.streamId, 0xBD);
            ASSERT_TRUE(pes.hasPts);
            EXPECT_EQ(pes.flags, 0x80);
            const uint8_t* items = tp.payload() + pes.payloadOffset;
            const HdvPictureItem item = findPictureItem(items, static_cast<size_t>(tp.payloadSize() - pes.payloadOffset));
            ASSERT_TRUE(item.present);
            // The item's time stamp is on the output time line: the PES PTS minus the start PTS.
            EXPECT_EQ(item.timeStamp, pes.pts - r.startPts());
            // The PES still ends with the packet: its length grew by the 8 header bytes.
            EXPECT_EQ(pes.packetLength, static_cast<uint32_t>(tp.payloadSize() - 6));
            ++aux;
        },
        true);
    EXPECT_EQ(video, 50);
    EXPECT_EQ(aux, 50);
}

TEST(M2tReaderStream, SeekSendsHeadersThenNullsAudioAndAuxBeforeTheTarget) {
    M2tReader r;
    ASSERT_TRUE(r.open(stream1080()));
    const int64_t target = 10000000;  // 1 s
    ASSERT_TRUE(r.seek(target));
    const int64_t targetPts = r.startPts() + 90000;
    bool firstAudio = true, firstAux = true;
    int nulledAfter = 0;
    streamAll(
        r,
        [&](const uint8_t* p) {
            TsPacket tp;
            ASSERT_TRUE(parseTsPacket(p, tp));
            PesHeader pes;
            if (tp.pid == 0x0814 && tp.payloadUnitStart && parsePacketPes(tp, pes)) {
                if (firstAudio) {
                    EXPECT_GE(pes.pts, targetPts);
                }
                firstAudio = false;
            }
            if (tp.pid == 0x0811 && parsePacketPes(tp, pes)) {
                if (firstAux) {
                    EXPECT_GE(pes.pts, targetPts);
                }
                firstAux = false;
            }
            if (tp.pid == 0x1FFF && !firstAux) ++nulledAfter;
        },
        true);
    EXPECT_FALSE(firstAudio);
    EXPECT_FALSE(firstAux);
}

TEST(M2tReaderStream, SequenceStartAtOrBeforeAPosition) {
    M2tReader r;
    ASSERT_TRUE(r.open(stream1080()));
    SequenceStart s;
    ASSERT_TRUE(r.sequenceStartAtOrBefore(r.fileSize() + 1000, s));
    EXPECT_EQ(s.unitOffset, r.lastSequence().unitOffset);
    ASSERT_TRUE(r.sequenceStartAtOrBefore(r.lastSequence().unitOffset - 1, s));
    EXPECT_LT(s.unitOffset, r.lastSequence().unitOffset);
    EXPECT_LT(s.pts, r.endPts());
    ASSERT_TRUE(r.sequenceStartAtOrBefore(r.firstSequence().unitOffset + 5, s));
    EXPECT_EQ(s.pts, r.startPts());
}

TEST(M2t720Reader, OpensAHdv1Stream) {
    gen::HdvSpec desc;
    desc.line720 = true;
    desc.frames = 30;
    gen::HdvWritten w;
    const std::string path = gen::cachedHdv("r720.m2t", desc, &w);
    M2t720Reader r;
    ASSERT_TRUE(r.open(path));
    EXPECT_EQ(r.videoPid(), 0x1000);
    EXPECT_EQ(r.startPts(), desc.ptsBase);
    EXPECT_EQ(r.lastSequence().pts, lastSequencePts(w));
    // The 1080 reader finds no sequence on PID 0x0810 there.
    M2tReader r1080;
    EXPECT_EQ(r1080.open(path).message, m2tFailureText(6));
}

}  // namespace
}  // namespace zorv::media
