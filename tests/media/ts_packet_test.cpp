// The transport packet walker and PES header parser against the generator's packetizer and against
// hostile bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gen/ts_muxer.h"
#include "media/ts_packet.h"

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
    p[3] = 0x30;   // adaptation + payload
    p[4] = 184;    // one byte too long
    EXPECT_FALSE(parseTsPacket(p, tp));
    p[4] = 183;    // exactly fills the packet: no payload bytes left
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

}  // namespace
}  // namespace zorv::media
