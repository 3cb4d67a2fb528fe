// Pack rewrites on hand-built frames: which slots change, flag bits kept, packs created where a
// camcorder would have put them, and the blocks reported for in-place write-back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/civil_time.h"
#include "core/dv_layout.h"
#include "tools/dv_pack_rewrite.h"

namespace zorv::tools {
namespace {

constexpr size_t kPal = 144000, kNtsc = 120000, kSeq = 12000;

struct Frame {
    explicit Frame(size_t size) : bytes(size, 0xFF) {}
    void put(int seq, size_t off, std::initializer_list<uint8_t> pack) {
        std::copy(pack.begin(), pack.end(), bytes.begin() + static_cast<long>(seq * kSeq + off));
    }
    const uint8_t* at(int seq, size_t off) const { return bytes.data() + seq * kSeq + off; }
    std::vector<uint8_t> bytes;
    TouchedBlocks touched;
    FrameEditor editor() { return FrameEditor(bytes.data(), bytes.size(), touched); }
};

std::vector<uint8_t> pack(const uint8_t* p) { return {p, p + 5}; }

TEST(DvPackRewrite, UserBitsGoToPc4DownToPc1InBothPackKindsAndCreateWhenMissing) {
    Frame f(kPal);
    f.put(0, core::dv::subcodePackOffset(1), {0x14, 0, 0, 0, 0});
    f.put(3, core::dv::vauxPackOffset(20), {0x64, 0, 0, 0, 0});
    auto ed = f.editor();
    rewriteUserBits(ed, {0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(1))), (std::vector<uint8_t>{0x14, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(pack(f.at(3, core::dv::vauxPackOffset(20))), (std::vector<uint8_t>{0x64, 0x78, 0x56, 0x34, 0x12}));
    // A 0x14 pack was present: nothing created.
    EXPECT_EQ(f.at(0, 118)[0], 0xFF);

    Frame g(kPal);
    g.put(0, core::dv::vauxPackOffset(0), {0x64, 0, 0, 0, 0});  // 0x64 does not count
    auto ed2 = g.editor();
    rewriteUserBits(ed2, {1, 2, 3, 4});
    for (int s = 0; s < 12; ++s) {
        const bool first = s < 6;
        EXPECT_EQ(g.at(s, 118)[0], first ? 0x14 : 0xFF) << s;
        EXPECT_EQ(g.at(s, 198)[0], first ? 0x14 : 0xFF) << s;
    }
    EXPECT_EQ(pack(g.at(5, 198)), (std::vector<uint8_t>{0x14, 4, 3, 2, 1}));
}

TEST(DvPackRewrite, StartFromWritesEverySlotKindKeepsFlagsAndCreatesSubcodePacks) {
    Frame f(kPal);
    f.put(0, core::dv::subcodePackOffset(0), {0x13, 0xC0, 0x80, 0x80, 0xC0});
    f.put(2, core::dv::vauxPackOffset(7), {0x13, 0xFF, 0xFF, 0xFF, 0xFF});  // no value: still written
    f.put(4, core::dv::aauxPackOffset(3), {0x13, 0x00, 0x00, 0x00, 0x00});
    auto ed = f.editor();
    const int64_t n = core::timecodeToFrames({10, 20, 30, 12}, 2);
    rewriteTimecode(ed, {core::ModifyMode::kStartFrom, n, 2, true});
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(0))), (std::vector<uint8_t>{0x13, 0xD2, 0xB0, 0xA0, 0xD0}));
    EXPECT_EQ(pack(f.at(2, core::dv::vauxPackOffset(7))), (std::vector<uint8_t>{0x13, 0xD2, 0xB0, 0xA0, 0xD0}));
    EXPECT_EQ(pack(f.at(4, core::dv::aauxPackOffset(3))), (std::vector<uint8_t>{0x13, 0x12, 0x30, 0x20, 0x10}));
    EXPECT_EQ(f.at(0, 110)[0], 0xFF);  // packs existed: none created

    Frame g(kNtsc);
    auto ed2 = g.editor();
    rewriteTimecode(ed2, {core::ModifyMode::kStartFrom, core::timecodeToFrames({0, 1, 0, 2}, 4), 4, false});
    for (int s = 0; s < 10; ++s) {
        for (size_t off : {110, 190}) EXPECT_EQ(pack(g.at(s, off)), (std::vector<uint8_t>{0x13, 0xC2, 0x80, 0x81, 0xC0}));
        const uint8_t second = s < 5 ? 0x13 : 0xFF;
        EXPECT_EQ(g.at(s, 126)[0], second);
        EXPECT_EQ(g.at(s, 206)[0], second);
    }

    Frame h(kPal);
    auto ed3 = h.editor();
    rewriteTimecode(ed3, {core::ModifyMode::kAdjustBy, 100, 2, true});  // "Adjust by" never creates
    EXPECT_FALSE(h.touched.any());
}

TEST(DvPackRewrite, AdjustByWrapsTheDayAndLeavesEmptyPacks) {
    Frame f(kPal);
    f.put(0, core::dv::subcodePackOffset(0), {0x13, 0x00, 0x00, 0x30, 0x00});  // 00:30:00:00
    f.put(0, core::dv::subcodePackOffset(6), {0x13, 0xFF, 0xFF, 0xFF, 0xFF});
    f.put(0, core::dv::vauxPackOffset(2), {0x62, 0xFF, 0x15, 0x06, 0x11});
    auto ed = f.editor();
    rewriteTimecode(ed, {core::ModifyMode::kAdjustBy, -core::timecodeToFrames({1, 0, 0, 0}, 2), 2, true});
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(0))), (std::vector<uint8_t>{0x13, 0x00, 0x00, 0x30, 0x23}));
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(6))), (std::vector<uint8_t>{0x13, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(pack(f.at(0, core::dv::vauxPackOffset(2))), (std::vector<uint8_t>{0x62, 0xFF, 0x15, 0x06, 0x11}));
}

TEST(DvPackRewrite, TimecodeKindChangesSubcodeLabelsOnly) {
    Frame f(kNtsc);
    // 00:01:00:00 non-drop = frame 1800.
    f.put(0, core::dv::subcodePackOffset(0), {0x13, 0x00, 0x00, 0x01, 0x00});
    f.put(0, core::dv::vauxPackOffset(5), {0x13, 0x00, 0x00, 0x01, 0x00});
    f.put(0, core::dv::aauxPackOffset(1), {0x13, 0x00, 0x00, 0x01, 0x00});
    auto ed = f.editor();
    changeTimecodeKind(ed, true);
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(0))), (std::vector<uint8_t>{0x13, 0x42, 0x00, 0x01, 0x00}));
    EXPECT_EQ(pack(f.at(0, core::dv::vauxPackOffset(5))), (std::vector<uint8_t>{0x13, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(pack(f.at(0, core::dv::aauxPackOffset(1))), (std::vector<uint8_t>{0x13, 0x00, 0x00, 0x01, 0x00}));
    // Back to non-drop gives the original label.
    auto ed2 = f.editor();
    changeTimecodeKind(ed2, false);
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(0))), (std::vector<uint8_t>{0x13, 0x00, 0x00, 0x01, 0x00}));
}

core::CivilDateTime adjusted(const PackDateTime& d, int y, int mo, int day, int h, int mi, int s) {
    const int year = d.year < 92 ? 2000 + d.year : 1900 + d.year;
    return core::civilFromUtcSeconds(
        core::normalizedUtcSeconds(year + y, d.month - 1 + mo, d.day + day, d.hour + h, d.minute + mi, d.second + s));
}

TEST(DvPackRewrite, DateTimeReadAndCalendarCarries) {
    Frame f(kPal);
    f.put(0, core::dv::subcodePackOffset(2), {0x62, 0xC5, 0xF1, 0xF2, 0x08});  // 08-12-31 with flag bits
    f.put(1, core::dv::vauxPackOffset(3), {0x63, 0xC5, 0x80, 0xB0, 0xE3});     // 23:30:00
    const PackDateTime d = readPackDateTime(f.bytes.data(), 12);
    ASSERT_TRUE(d.dateFound && d.timeFound);
    EXPECT_EQ(d.year, 8);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.day, 31);
    EXPECT_EQ(d.hour, 23);
    EXPECT_EQ(d.minute, 30);

    const core::CivilDateTime t = adjusted(d, 0, 0, 0, 1, 0, 0);
    EXPECT_EQ(t.year, 2009);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 30);
    auto ed = f.editor();
    rewriteDateTime(ed, t, true, false);
    EXPECT_EQ(pack(f.at(0, core::dv::subcodePackOffset(2))), (std::vector<uint8_t>{0x62, 0xC5, 0xC1, 0xE1, 0x09}));
    EXPECT_EQ(pack(f.at(1, core::dv::vauxPackOffset(3))), (std::vector<uint8_t>{0x63, 0xC5, 0x80, 0xB0, 0xC0}));

    PackDateTime jan{9, 1, 31, 12, 0, 0, true, true};
    const core::CivilDateTime m = adjusted(jan, 0, 1, 0, 0, 0, 0);
    EXPECT_EQ(m.month, 3);
    EXPECT_EQ(m.day, 3);  // 2009 is not a leap year
    jan.year = 8;
    EXPECT_EQ(adjusted(jan, 0, 1, 0, 0, 0, 0).day, 2);

    PackDateTime y91{91, 6, 1, 0, 0, 0, true, true};
    EXPECT_EQ(adjusted(y91, 0, 0, 0, 0, 0, 0).year, 2091);
    y91.year = 92;
    EXPECT_EQ(adjusted(y91, 0, 0, 0, 0, 0, 0).year, 1992);
}

TEST(DvPackRewrite, StartFromCreatesDateAndTimePacksAtCamcorderPlaces) {
    Frame f(kPal);
    auto ed = f.editor();
    rewriteDateTime(ed, core::CivilDateTime{2008, 7, 15, 14, 30, 5}, false, true);
    for (int s = 0; s < 12; ++s) {
        const bool even = s % 2 == 0;
        EXPECT_EQ(pack(f.at(s, even ? 458 : 253)), (std::vector<uint8_t>{0x62, 0xFF, 0xD5, 0xE7, 0x08})) << s;
        EXPECT_EQ(pack(f.at(s, even ? 463 : 258)), (std::vector<uint8_t>{0x63, 0xFF, 0x85, 0xB0, 0xD4})) << s;
        EXPECT_EQ(f.at(s, even ? 6883 : 3043)[0], 0x52) << s;
        EXPECT_EQ(f.at(s, even ? 8163 : 4323)[0], 0x53) << s;
    }
}

TEST(DvPackRewrite, WidescreenBitsPerSystem) {
    for (bool pal : {true, false}) {
        Frame f(pal ? kPal : kNtsc);
        f.put(0, core::dv::vauxPackOffset(1), {0x61, 0x33, 0xC8, 0xFE, 0xFF});
        auto ed = f.editor();
        rewriteWidescreen(ed, core::WidescreenTarget::kWide16x9, pal);
        const uint8_t* p = f.at(0, core::dv::vauxPackOffset(1));
        if (pal) {
            EXPECT_EQ(p[2] & 0x07, 0x07);
            EXPECT_EQ(p[3] & 0x03, 0x01);
        } else {
            EXPECT_EQ(p[2] & 0x07, 0x02);
            EXPECT_EQ(p[3] & 0x03, 0x00);
        }
        EXPECT_EQ(p[2] & 0xF8, 0xC8);
        auto ed2 = f.editor();
        rewriteWidescreen(ed2, core::WidescreenTarget::kNormal4x3, pal);
        EXPECT_EQ(p[2] & 0x07, 0);
        EXPECT_EQ(p[3] & 0x03, 0);
    }
}

TEST(DvPackRewrite, TouchedRunsCoverOnlyChangedBlocksAndMerge) {
    Frame f(kPal);
    f.put(0, core::dv::subcodePackOffset(0), {0x13, 0, 0, 0, 0});  // block 1
    f.put(0, core::dv::vauxPackOffset(44), {0x13, 0, 0, 0, 0});    // block 5
    f.put(0, core::dv::aauxPackOffset(0), {0x13, 0, 0, 0, 0});     // block 6, adjacent to 5
    f.put(7, core::dv::aauxPackOffset(8), {0x13, 0, 0, 0, 0});     // block 134 of sequence 7
    auto ed = f.editor();
    rewriteTimecode(ed, {core::ModifyMode::kStartFrom, 5, 2, true});
    std::vector<std::pair<size_t, size_t>> runs;
    f.touched.forEachRun(12, [&](size_t off, size_t n) { runs.emplace_back(off, n); });
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0], std::make_pair(size_t{80}, size_t{80}));
    EXPECT_EQ(runs[1], std::make_pair(size_t{400}, size_t{160}));
    EXPECT_EQ(runs[2], std::make_pair(7 * kSeq + 134 * 80, size_t{80}));
    // Writing the same values again changes nothing.
    f.touched.clear();
    auto ed2 = f.editor();
    rewriteTimecode(ed2, {core::ModifyMode::kStartFrom, 5, 2, true});
    EXPECT_FALSE(f.touched.any());
}

}  // namespace
}  // namespace zorv::tools
