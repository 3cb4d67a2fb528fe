// The AVCHD elementary-stream readers on hand-built bytes: start codes and emulation prevention,
// SPS fields, the MDPM search with its size rules, the tag slots, and AC-3 headers.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "media/ac3_header.h"
#include "media/avchd_mdpm.h"
#include "media/h264_nal.h"
#include "media/h264_sps.h"

namespace zorv::media {
namespace {

using Bytes = std::vector<uint8_t>;

// MSB-first bit writer with Exp-Golomb codes, for building parameter sets.
struct BitWriter {
    Bytes out;
    int used = 8;
    void bit(int b) {
        if (used == 8) {
            out.push_back(0);
            used = 0;
        }
        if (b) out.back() |= static_cast<uint8_t>(0x80 >> used);
        ++used;
    }
    void bits(uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) bit((v >> i) & 1);
    }
    void ue(uint32_t v) {
        const uint64_t x = uint64_t{v} + 1;
        int len = 0;
        while ((x >> len) > 1) ++len;
        bits(0, len);
        bits(static_cast<uint32_t>(x), len + 1);
    }
    void trailing() {
        bit(1);
        while (used != 8) bit(0);
    }
};

struct SpsFields {
    int profile = 100, constraints = 0, level = 40;
    uint32_t widthMbs = 120, heightUnits = 68;
    bool frameMbsOnly = true;
    bool vui = true;
    int aspectIdc = -1;  // -1: no aspect info
    int sarW = 0, sarH = 0;
    bool timing = false;
    uint32_t units = 0, scale = 0;
};

// An SPS NAL unit (header byte 0x67), escaped.
Bytes makeSps(const SpsFields& f) {
    BitWriter w;
    w.bits(static_cast<uint32_t>(f.profile), 8);
    w.bits(static_cast<uint32_t>(f.constraints), 8);
    w.bits(static_cast<uint32_t>(f.level), 8);
    w.ue(0);
    if (f.profile == 100) {
        w.ue(1);  // 4:2:0
        w.ue(0);
        w.ue(0);
        w.bit(0);
        w.bit(1);  // scaling matrix present: one 4x4 list with deltas, the rest absent
        w.bit(1);
        for (int i = 0; i < 16; ++i) w.ue(i == 0 ? 2 : 0);  // se(+1) then zeros
        for (int i = 1; i < 8; ++i) w.bit(0);
    }
    w.ue(0);  // log2_max_frame_num_minus4
    w.ue(0);  // poc type 0
    w.ue(2);
    w.ue(4);  // max_num_ref_frames
    w.bit(0);
    w.ue(f.widthMbs - 1);
    w.ue(f.heightUnits - 1);
    w.bit(f.frameMbsOnly);
    if (!f.frameMbsOnly) w.bit(1);
    w.bit(1);  // direct_8x8_inference
    w.bit(1);  // cropping 0 0 0 4
    w.ue(0);
    w.ue(0);
    w.ue(0);
    w.ue(4);
    w.bit(f.vui);
    if (f.vui) {
        w.bit(f.aspectIdc >= 0);
        if (f.aspectIdc >= 0) {
            w.bits(static_cast<uint32_t>(f.aspectIdc), 8);
            if (f.aspectIdc == 255) {
                w.bits(static_cast<uint32_t>(f.sarW), 16);
                w.bits(static_cast<uint32_t>(f.sarH), 16);
            }
        }
        w.bit(0);  // overscan
        w.bit(1);  // video signal type with colour description
        w.bits(5, 3);
        w.bit(0);
        w.bit(1);
        w.bits(0x010101, 24);
        w.bit(0);  // chroma loc
        w.bit(f.timing);
        if (f.timing) {
            w.bits(f.units, 32);
            w.bits(f.scale, 32);
            w.bit(1);
        }
        w.bits(0, 5);  // no HRD, no pic struct, no restrictions... (not read)
    }
    w.trailing();
    Bytes nalu{0x67};
    appendEscaped(w.out.data(), w.out.size(), nalu);
    return nalu;
}

TEST(H264Nal, StartCodesAndEscaping) {
    const Bytes b = {0x12, 0, 0, 1, 0x09, 0xF0, 0, 0, 0, 1, 0x67, 0, 0, 1};
    StartCode sc;
    ASSERT_TRUE(findStartCode(b.data(), b.size(), 0, sc));
    EXPECT_EQ(sc.pos, 1u);
    EXPECT_EQ(sc.prefixLength, 3);
    ASSERT_TRUE(findStartCode(b.data(), b.size(), sc.nalStart(), sc));
    EXPECT_EQ(sc.pos, 6u);  // the four-byte form, not 00 00 01 one byte later
    EXPECT_EQ(sc.prefixLength, 4);
    EXPECT_EQ(b[sc.nalStart()], 0x67);
    EXPECT_FALSE(findStartCode(b.data(), b.size(), sc.nalStart(), sc));  // no header byte after the last

    const Bytes raw = {0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};
    Bytes esc;
    appendEscaped(raw.data(), raw.size(), esc);
    const Bytes want = {0, 0, 3, 0, 0, 3, 0, 1, 0, 0, 3, 2, 0, 0, 3, 3, 0, 0, 4, 0, 0, 3};
    EXPECT_EQ(esc, want);
    Bytes back(esc.size());
    back.resize(removeEmulationPrevention(esc.data(), esc.size(), back.data()));
    EXPECT_EQ(back, Bytes(raw.begin(), raw.end()));
}

TEST(H264Sps, SizeRateAndAspect) {
    SpsFields f;
    f.aspectIdc = 14;
    f.timing = true;
    f.units = 1001;
    f.scale = 60000;
    H264Sps s;
    const Bytes nalu = makeSps(f);
    ASSERT_TRUE(parseH264Sps(nalu.data(), nalu.size(), s));
    EXPECT_EQ(s.profileIdc, 100);
    EXPECT_EQ(s.levelIdc, 40);
    EXPECT_EQ(s.codedWidth, 1920);
    EXPECT_EQ(s.codedHeight, 1088);
    EXPECT_EQ(s.width, 1920);
    EXPECT_EQ(s.height, 1080);  // bottom crop 4 in units of 2 rows
    EXPECT_TRUE(s.hasTiming);
    EXPECT_EQ(s.rateNum, 60000);
    EXPECT_EQ(s.rateDen, 2002);  // 29.97 frames, 59.94 fields
    EXPECT_EQ(s.sarWidth, 4);
    EXPECT_EQ(s.sarHeight, 3);
    EXPECT_EQ(h264ProfileText(s.profileIdc), "High");
    EXPECT_EQ(h264LevelText(s), "@L4.0");

    // Interlaced: map units are field macroblock rows.
    f.frameMbsOnly = false;
    f.heightUnits = 34;
    f.aspectIdc = 255;
    f.sarW = 4;
    f.sarH = 3;
    const Bytes nalu2 = makeSps(f);
    ASSERT_TRUE(parseH264Sps(nalu2.data(), nalu2.size(), s));
    EXPECT_EQ(s.codedHeight, 1088);
    EXPECT_EQ(s.height, 1072);  // field coding: crop units of 4 rows
    EXPECT_FALSE(s.frameMbsOnly);
    EXPECT_EQ(s.aspectRatioIdc, 255);
    EXPECT_EQ(s.sarWidth, 4);
}

TEST(H264Sps, WithoutTimingOrWithZeroFieldsUsesNtscRate) {
    SpsFields f;
    f.profile = 77;
    f.widthMbs = 45;
    f.heightUnits = 36;
    H264Sps s;
    Bytes nalu = makeSps(f);
    ASSERT_TRUE(parseH264Sps(nalu.data(), nalu.size(), s));
    EXPECT_EQ(s.codedWidth, 720);
    EXPECT_EQ(s.codedHeight, 576);
    EXPECT_FALSE(s.hasTiming);
    EXPECT_EQ(s.rateNum, 30000);
    EXPECT_EQ(s.rateDen, 1001);
    EXPECT_EQ(s.sarWidth, 0);

    f.timing = true;
    f.units = 0;
    f.scale = 50;
    nalu = makeSps(f);
    ASSERT_TRUE(parseH264Sps(nalu.data(), nalu.size(), s));
    EXPECT_TRUE(s.hasTiming);
    EXPECT_EQ(s.rateNum, 30000);
    EXPECT_EQ(s.rateDen, 1001);

    f.vui = false;
    nalu = makeSps(f);
    ASSERT_TRUE(parseH264Sps(nalu.data(), nalu.size(), s));
    EXPECT_FALSE(s.hasTiming);
    // Cut short inside the picture size: no SPS.
    EXPECT_FALSE(parseH264Sps(nalu.data(), 5, s));
    const Bytes pps = {0x68, 0xEE, 0x3C, 0x80, 0x00};
    EXPECT_FALSE(parseH264Sps(pps.data(), pps.size(), s));
}

TEST(H264Sps, ProfileAndLevelTexts) {
    EXPECT_EQ(h264ProfileText(66), "Baseline");
    EXPECT_EQ(h264ProfileText(44), "CAVLC 4:4:4 Intra");
    EXPECT_EQ(h264ProfileText(244), "High 4:4:4 Predictive");
    EXPECT_EQ(h264ProfileText(118), "Unknown");
    H264Sps s;
    s.profileIdc = 66;
    s.levelIdc = 11;
    EXPECT_EQ(h264LevelText(s), "@L1.1");
    s.constraintFlags = 0x10;
    EXPECT_EQ(h264LevelText(s), "@L1b");
    s.profileIdc = 100;
    EXPECT_EQ(h264LevelText(s), "@L1.1");  // constraint_set3 means 1b only for the base profiles
    s.levelIdc = 9;
    EXPECT_EQ(h264LevelText(s), "@L1b");
    s.profileIdc = 77;
    s.levelIdc = 42;
    EXPECT_EQ(h264LevelText(s), "@L4.2");
}

// An SEI NAL unit with a start code: optional leading messages, then a type-5 message of the given
// size whose bytes 16-19 are "MDPM" (when size allows) followed by the given payload.
Bytes makeSei(size_t messageSize, const Bytes& mdpm, const Bytes& before = {}) {
    Bytes rbsp = before;
    rbsp.push_back(5);
    size_t s = messageSize;
    while (s >= 255) {
        rbsp.push_back(0xFF);
        s -= 255;
    }
    rbsp.push_back(static_cast<uint8_t>(s));
    Bytes msg(16, 0xA5);
    for (const char c : {'M', 'D', 'P', 'M'}) msg.push_back(static_cast<uint8_t>(c));
    msg.insert(msg.end(), mdpm.begin(), mdpm.end());
    msg.resize(messageSize, 0x00);
    rbsp.insert(rbsp.end(), msg.begin(), msg.end());
    rbsp.push_back(0x80);
    Bytes nalu = {0, 0, 0, 1, 0x06};
    appendEscaped(rbsp.data(), rbsp.size(), nalu);
    return nalu;
}

Bytes tags(std::initializer_list<std::array<uint8_t, 5>> list, int count = -1) {
    Bytes b{static_cast<uint8_t>(count < 0 ? list.size() : static_cast<size_t>(count))};
    for (const auto& t : list) b.insert(b.end(), t.begin(), t.end());
    return b;
}

TEST(MdpmSearch, MessageSizeRules) {
    std::array<uint8_t, kSeiWorkBytes> work;
    std::span<const uint8_t> payload;
    // 19 bytes cannot hold the marker; exactly 20 is an empty tag list.
    Bytes sei = makeSei(19, {});
    EXPECT_FALSE(findMdpmPayload(sei.data(), sei.size(), work, payload));
    sei = makeSei(20, {});
    ASSERT_TRUE(findMdpmPayload(sei.data(), sei.size(), work, payload));
    EXPECT_TRUE(payload.empty());
    AvchdMetadataRecord rec;
    applyMdpmTags(payload, rec);
    EXPECT_FALSE(rec.has(0x18));

    // Wrong marker, other payload type only, and a unit under 16 bytes.
    Bytes bad = makeSei(40, tags({{0x18, 1, 2, 3, 4}}));
    bad[5 + 2 + 16] = 'X';
    EXPECT_FALSE(findMdpmPayload(bad.data(), bad.size(), work, payload));
    const Bytes shortUnit = {0, 0, 1, 6, 5, 4, 'M', 'D', 'P', 'M', 0x80};
    EXPECT_FALSE(findMdpmPayload(shortUnit.data(), shortUnit.size(), work, payload));
    const Bytes notSei = {0, 0, 1, 0x65, 5, 40, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(findMdpmPayload(notSei.data(), notSei.size(), work, payload));
}

TEST(MdpmSearch, WalksPastOtherMessagesAndEscapes) {
    // A 300-byte message of type 256 (FF 01, FF 2D sizes) before the MDPM, tags full of zeros so
    // that emulation-prevention bytes fall inside them.
    Bytes before = {0xFF, 0x01, 0xFF, 0x2D};
    before.resize(before.size() + 300, 0x00);
    const Bytes t = tags({{0x13, 0x00, 0x00, 0x00, 0x00}, {0x19, 0x00, 0x00, 0x01, 0x00}});
    Bytes sei = makeSei(20 + t.size(), t, before);
    sei.insert(sei.end(), {0, 0, 1, 0x65, 0x88});  // the next unit ends this one
    std::array<uint8_t, kSeiWorkBytes> work;
    std::span<const uint8_t> payload;
    ASSERT_TRUE(findMdpmPayload(sei.data(), sei.size(), work, payload));
    ASSERT_EQ(payload.size(), t.size());
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), t.begin()));
    // The same without the start code.
    ASSERT_TRUE(findMdpmPayload(sei.data() + 4, sei.size() - 4, work, payload));
    EXPECT_EQ(payload.size(), t.size());
}

TEST(MdpmTags, SlotsClampAndOverwrite) {
    // Count 40 with 40 tags present: only 30 are taken.
    Bytes many{40};
    for (int i = 0; i < 40; ++i) {
        const uint8_t id = i < 29 ? 0xE0 : (i == 29 ? 0x13 : 0x14);  // 0x13 is tag 30, 0x14 tag 31
        many.insert(many.end(), {id, static_cast<uint8_t>(i), 0, 0, 0});
    }
    AvchdMetadataRecord rec;
    applyMdpmTags(many, rec);
    EXPECT_TRUE(rec.has(0x13));
    EXPECT_FALSE(rec.has(0x14));

    // Two 0x18 tags: the second is kept; a count beyond the bytes stops at the end of the payload.
    rec.clearTags();
    Bytes two = tags({{0x18, 0x02, 0x20, 0x08, 0x12}, {0x18, 0x02, 0x20, 0x09, 0x01}, {0x19, 0x31, 0x23, 0x16, 0x24}}, 9);
    two.push_back(0xB0);  // a partial tag is not read
    applyMdpmTags(two, rec);
    EXPECT_EQ(rec.tagSlots[2][3], 0x09);
    EXPECT_EQ(rec.tagSlots[3][1], 0x31);
    EXPECT_FALSE(rec.has(0xB0));

    core::MetadataRecord table;
    rec.toMetadataRecord(table);
    EXPECT_TRUE(table.has(0x18));
    EXPECT_EQ(table.pc(0x18, 4), 0x01);
    EXPECT_EQ(table.pc(0x19, 2), 0x23);
    EXPECT_FALSE(table.has(0x13));
    EXPECT_EQ(avchdTagSlot(0xC4), 23);
    EXPECT_EQ(avchdTagSlot(0xFF), -1);
    EXPECT_EQ(avchdTagSlot(0x62), -1);
}

TEST(Ac3Header, RatesSizesAndLayouts) {
    // 48 kHz, 192 kbit/s (frmsizecod 20), acmod 2 with lfeon (bit 2 after dsurmod).
    Bytes f = {0x0B, 0x77, 0, 0, 0x00 | 20, 0x40, (2 << 5) | 0x04};
    Ac3Header h;
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_EQ(h.sampleRate, 48000);
    EXPECT_EQ(h.bitRateKbps, 192);
    EXPECT_EQ(h.frameBytes, 768);
    EXPECT_EQ(h.layout, "L, R");
    EXPECT_TRUE(h.lfe);
    EXPECT_EQ(h.channels, 3);
    // The same bit under acmod 7 is a mix level, not LFE; acmod 7's lfeon is bit 0.
    f[6] = (7 << 5) | 0x04;
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_FALSE(h.lfe);
    EXPECT_EQ(h.channels, 5);
    f[6] = (7 << 5) | 0x01;
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_TRUE(h.lfe);
    EXPECT_EQ(h.channels, 6);
    EXPECT_EQ(h.layout, "L, C, R, SL, SR");
    f[6] = (1 << 5) | 0x10;  // mono: no optional fields, lfeon is bit 4
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_EQ(h.layout, "C");
    EXPECT_EQ(h.channels, 2);
    // 44.1 kHz sizes alternate by the low bit of the code; fscod 3 reads as 32000 with no size.
    f[4] = 0x40 | 0;
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_EQ(h.sampleRate, 44100);
    EXPECT_EQ(h.frameBytes, 138);
    f[4] = 0x40 | 1;
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_EQ(h.frameBytes, 140);
    f[4] = 0xC0 | 38;
    ASSERT_TRUE(parseAc3Header(f.data(), f.size(), h));
    EXPECT_EQ(h.sampleRate, 32000);
    EXPECT_EQ(h.bitRateKbps, 0);
    EXPECT_EQ(h.frameBytes, 0);
    f[1] = 0x78;
    EXPECT_FALSE(parseAc3Header(f.data(), f.size(), h));
}

}  // namespace
}  // namespace zorv::media
