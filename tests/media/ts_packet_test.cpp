// The transport packet walker and PES header parser against the generator's packetizer and against
// hostile bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gen/ts_muxer.h"
#include "media/file_io.h"
#include "media/ts_packet.h"
#include "media/ts_packet_stream.h"

namespace zorv::media {
namespace {

TEST(TsPacket, RoundTripsThePacketizerWithPcrPtsDtsAndStuffing) {
    for (int size : {188, 192}) {
        std::vector<uint8_t> out;
        gen::TsMuxConfig cfg;
        cfg.packetSize = size;
        cfg.pcrPid = 0x0810;
        cfg.streams = {{0x0810, 0x02, {}}};
        gen::TsMuxer mux(cfg, out);
        mux.writeTables();
        std::vector<uint8_t> au(1000);
        for (size_t i = 0; i < au.size(); ++i) au[i] = static_cast<uint8_t>(i);
        const int64_t pts = (int64_t{1} << 32) + 12345;  // bit 32 set
        mux.writePes(0x0810, 0xE0, au, pts, pts - 3600, 90000);
        ASSERT_EQ(out.size() % size, 0u);

        TsPacketWalker walker(out.data(), out.size(), size, size == 192 ? 4 : 0);
        TsContinuity cc;
        TsPacket p;
        bool ok = false;
        std::vector<uint8_t> es;
        int packets = 0;
        while (walker.next(p, ok)) {
            ASSERT_TRUE(ok);
            EXPECT_TRUE(cc.check(p));
            ++packets;
            if (p.pid != 0x0810) continue;
            const uint8_t* data = p.payload();
            int n = p.payloadSize();
            if (p.payloadUnitStart) {
                EXPECT_TRUE(p.hasPcr);
                EXPECT_EQ(p.pcrBase, 90000);
                PesHeader h;
                ASSERT_TRUE(parsePacketPes(p, h));
                EXPECT_EQ(h.streamId, 0xE0);
                EXPECT_TRUE(h.hasPts && h.hasDts);
                EXPECT_EQ(h.pts, pts);
                EXPECT_EQ(h.dts, pts - 3600);
                EXPECT_EQ(h.packetLength, 1000u + 13);
                data += h.payloadOffset;
                n -= h.payloadOffset;
            }
            es.insert(es.end(), data, data + n);
        }
        EXPECT_EQ(packets, 2 + 6);
        EXPECT_EQ(es, au);
    }
}

TEST(TsPacket, RejectsMissingSyncAndOversizedAdaptationField) {
    uint8_t p[188];
    std::memset(p, 0, sizeof p);
    TsPacket tp;
    EXPECT_FALSE(parseTsPacket(p, tp));
    p[0] = 0x47;
    p[3] = 0x30;  // adaptation + payload
    p[4] = 184;   // one byte too long
    EXPECT_FALSE(parseTsPacket(p, tp));
    p[4] = 183;  // exactly fills the packet: no payload bytes left
    ASSERT_TRUE(parseTsPacket(p, tp));
    EXPECT_EQ(tp.payloadSize(), 0);
    PesHeader h;
    EXPECT_FALSE(parsePacketPes(tp, h));
}

TEST(TsPacket, PesHeaderNeedsTheBytesItsFlagsAnnounce) {
    const uint8_t pts[] = {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0xC0, 0x0A, 0x31, 0x00, 0x01, 0x00, 0x01};
    PesHeader h;
    EXPECT_FALSE(parsePesHeader(pts, sizeof pts, h));  // DTS announced, 5 bytes missing
    const uint8_t ps2[] = {0x00, 0x00, 0x01, 0xBF, 0x00, 0x03, 0x44};
    ASSERT_TRUE(parsePesHeader(ps2, sizeof ps2, h));
    EXPECT_FALSE(h.optionalHeader);
    EXPECT_EQ(h.payloadOffset, 6);
    uint8_t ts[5];
    writePesTimestamp(ts, kPtsWrap - 1, 2);
    EXPECT_EQ(readPesTimestamp(ts), kPtsWrap - 1);
    EXPECT_EQ(ts[0] & 0xF1, 0x21);
}

TEST(TsPacket, WalkerStopsAtTheLastWholePacketAndContinuitySeesGaps) {
    std::vector<uint8_t> buf(188 * 2 + 100, 0xFF);
    for (int k = 0; k < 2; ++k) {
        buf[k * 188] = 0x47;
        buf[k * 188 + 1] = 0x01;
        buf[k * 188 + 2] = 0x00;
        buf[k * 188 + 3] = static_cast<uint8_t>(0x10 | (k * 2));  // counters 0, 2: one lost
    }
    TsPacketWalker w(buf.data(), buf.size(), 188, 0);
    TsContinuity cc;
    TsPacket p;
    bool ok;
    ASSERT_TRUE(w.next(p, ok));
    EXPECT_TRUE(cc.check(p));
    ASSERT_TRUE(w.next(p, ok));
    EXPECT_FALSE(cc.check(p));
    EXPECT_FALSE(w.next(p, ok));
}

// Packets numbered in their payload (byte 4 = index, byte 5 = index >> 8), 188 or 192 bytes, with a
// prefix of 0x47 bytes in 192-byte packets so that prefix runs compete with the real sync bytes.
std::vector<uint8_t> numberedPackets(int count, int size) {
    std::vector<uint8_t> out;
    for (int k = 0; k < count; ++k) {
        std::vector<uint8_t> p(static_cast<size_t>(size), 0x00);
        const size_t s = static_cast<size_t>(size - 188);
        if (s) p[0] = 0x47;
        p[s] = 0x47;
        p[s + 1] = 0x01;
        p[s + 3] = 0x10;
        p[s + 4] = static_cast<uint8_t>(k);
        p[s + 5] = static_cast<uint8_t>(k >> 8);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::string tempPath(const std::string& prefix) {
    return (std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))).string();
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

TEST(TsPacketStream, FindsThePacketsAgainAfterDamageAndCountsWhatItPassedOver) {
    struct Case {
        const char* what;
        int size;
        std::vector<uint8_t> (*damage)(std::vector<uint8_t>);
        std::vector<int> lost;  // packets that do not come out
        int64_t skipped;
    };
    const std::vector<Case> cases = {
        {"clean 188", 188, [](std::vector<uint8_t> b) { return b; }, {}, 0},
        {"clean 192", 192, [](std::vector<uint8_t> b) { return b; }, {}, 0},
        {"61 stray bytes",
         188,
         [](std::vector<uint8_t> b) {
             b.insert(b.begin() + 188 * 40, 61, 0x5A);
             return b;
         },
         {},
         61},
        {"37 stray zeros in 192",
         192,
         [](std::vector<uint8_t> b) {
             b.insert(b.begin() + 192 * 40, 37, 0x00);
             return b;
         },
         {},
         37},
        {"a packet 4 bytes short",
         188,
         [](std::vector<uint8_t> b) {
             b.erase(b.begin() + 188 * 41 - 4, b.begin() + 188 * 41);
             return b;
         },
         {40},
         184},
        {"sync bytes of packets 10-19 lost",
         188,
         [](std::vector<uint8_t> b) {
             for (int k = 10; k < 20; ++k) b[188 * static_cast<size_t>(k)] = 0;
             return b;
         },
         {10, 11, 12, 13, 14, 15, 16, 17, 18, 19},
         1880},
        {"188-byte packets in a 192 stream",
         192,
         [](std::vector<uint8_t> b) {
             std::vector<uint8_t> out(b.begin(), b.begin() + 192 * 50);
             for (size_t p = 192 * 50; p + 192 <= b.size(); p += 192)
                 out.insert(out.end(), b.begin() + p + 4, b.begin() + p + 192);
             return out;
         },
         {},
         0},
        {"cut in the last packet",
         188,
         [](std::vector<uint8_t> b) {
             b.resize(b.size() - 100);
             return b;
         },
         {99},
         88},
    };
    const std::string path = tempPath("zorv-tsstream-");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeBytes(path, c.damage(numberedPackets(100, c.size))));
        File file;
        ASSERT_TRUE(file.open(path));
        TsPacketStream stream;
        stream.attach(&file, c.size, c.size - 188);
        std::vector<uint8_t> out(static_cast<size_t>(c.size) * 7);
        std::vector<int> got;
        for (int64_t n; (n = stream.read(out.data(), 7)) > 0;) {
            for (int64_t k = 0; k < n; ++k) {
                const uint8_t* p = out.data() + k * c.size + (c.size - 188);
                ASSERT_EQ(p[0], 0x47);
                got.push_back(p[4] | (p[5] << 8));
            }
        }
        std::vector<int> want;
        for (int k = 0; k < 100; ++k)
            if (std::find(c.lost.begin(), c.lost.end(), k) == c.lost.end()) want.push_back(k);
        EXPECT_EQ(got, want);
        EXPECT_EQ(stream.skippedBytes(), c.skipped);
        EXPECT_TRUE(stream.atEnd());
    }
    std::remove(path.c_str());
}

TEST(TsPacketStream, SeekingIntoAPacketGoesOnFromTheNextOne) {
    const std::string path = tempPath("zorv-tsseek-");
    ASSERT_TRUE(writeBytes(path, numberedPackets(20, 192)));
    File file;
    ASSERT_TRUE(file.open(path));
    TsPacketStream stream;
    stream.attach(&file, 192, 4);
    std::vector<uint8_t> out(192);
    for (int64_t at : {int64_t{0}, int64_t{192 * 5}, int64_t{192 * 5 + 1}, int64_t{192 * 5 + 4}}) {
        stream.seek(at);
        ASSERT_EQ(stream.read(out.data(), 1), 1);
        EXPECT_EQ(out[8], (at + 191) / 192) << at;
        EXPECT_EQ(stream.lastPacketOffset(), (at + 191) / 192 * 192);
    }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace zorv::media
