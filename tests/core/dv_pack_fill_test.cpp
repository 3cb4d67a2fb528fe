#include "core/dv_pack_fill.h"

#include <gtest/gtest.h>

#include "frame_builder.h"

namespace zorv::core {
namespace {

using testing::FrameBuilder;

TEST(FillRecord, FirstOccurrenceWinsAcrossSequencesAndAreas) {
    FrameBuilder f;
    f.subcode(0, 3, 0x13, 0x00, 0x10, 0x00, 0x00);  // 00:00:10:00
    f.subcode(1, 3, 0x13, 0x00, 0x11, 0x00, 0x00);  // 00:00:11:00, later sequence
    f.vaux(0, 5, 0x62, 0xAA, 0x31, 0x12, 0x09);
    f.subcode(0, 11, 0x62, 0xBB, 0x01, 0x01, 0x01);  // subcode is visited before VAUX
    f.aaux(11, 8, 0x50, 1, 2, 3, 4);                 // last AAUX slot of the last sequence
    MetadataRecord rec;
    fillRecord(rec, f.data(), f.size());
    ASSERT_TRUE(rec.has(0x13));
    EXPECT_EQ(rec.pc(0x13, 2), 0x10);
    EXPECT_EQ(rec.pc(0x62, 1), 0xBB);
    EXPECT_EQ(rec[0x50], (std::array<uint8_t, 5>{0x50, 1, 2, 3, 4}));
    EXPECT_FALSE(rec.has(0x63));
}

TEST(FillRecord, HeaderFFNeverStoredAndRecordClearedFirst) {
    FrameBuilder f;
    f.vaux(0, 0, 0xFF, 1, 2, 3, 4);
    MetadataRecord rec;
    rec.set(0x70, 1, 2, 3, 4);  // left over from a previous frame
    fillRecord(rec, f.data(), f.size());
    EXPECT_FALSE(rec.has(0xFF));
    EXPECT_FALSE(rec.has(0x70));
}

TEST(FillRecord, ShortFrameGivesEmptyRecordAndNtscFrameReadsTenSequences) {
    FrameBuilder f(dv::kFrameSize525);
    f.vaux(9, 44, 0x61, 1, 2, 3, 4);
    MetadataRecord rec;
    fillRecord(rec, f.data(), dv::kSequenceSize - 1);
    for (int id = 0; id < 256; ++id) ASSERT_FALSE(rec.has(static_cast<uint8_t>(id)));
    fillRecord(rec, f.data(), f.size());
    EXPECT_TRUE(rec.has(0x61));
}

TEST(LinePeriod, PalSizesUse64Microseconds) {
    EXPECT_DOUBLE_EQ(linePeriod(144000), 6.4e-05);
    EXPECT_DOUBLE_EQ(linePeriod(288000), 6.4e-05);
    EXPECT_DOUBLE_EQ(linePeriod(120000), 6.3492e-05);
    EXPECT_DOUBLE_EQ(linePeriod(240000), 6.3492e-05);
}

TEST(FindTimecode, SkipsUnusablePacksAndReadsDropFlagOnlyFor60Fields) {
    FrameBuilder f(dv::kFrameSize525);
    f.subcode(0, 0, 0x13, 0x45, 0x59, 0x59, 0x3A);  // hours units 10: not usable
    f.subcode(0, 7, 0x13, 0x45, 0x59, 0x59, 0x23);
    f.vaux(2, 0, 0x60, 0, 0, 0xDF, 0);  // 60 fields
    FoundTimecode tc = findTimecode(f.data(), f.sequences());
    EXPECT_EQ(tc.hours, 23);
    EXPECT_EQ(tc.minutes, 59);
    EXPECT_EQ(tc.seconds, 59);
    EXPECT_EQ(tc.frames, 5);
    EXPECT_TRUE(tc.dropFrame);

    FrameBuilder pal;
    pal.subcode(3, 1, 0x13, 0x40, 0, 0, 0);
    pal.vaux(0, 1, 0x60, 0, 0, 0x20, 0);
    tc = findTimecode(pal.data(), pal.sequences());
    EXPECT_EQ(tc.hours, 0);
    EXPECT_FALSE(tc.dropFrame);

    FrameBuilder none;
    none.vaux(0, 0, 0x13, 0, 0, 0, 0);  // VAUX timecode is not searched
    tc = findTimecode(none.data(), none.sequences());
    EXPECT_EQ(tc.hours, -1);
    EXPECT_EQ(tc.frames, -1);
}

TEST(SourcePackFinder, SplitsChannelsByHalfAndRemembersVideoPacks) {
    FrameBuilder f;
    f.aaux(0, 0, 0x50, 0x11, 0x22, 0x33, 0x44);
    f.aaux(5, 8, 0x51, 0x01, 0x02, 0x03, 0x04);
    f.aaux(6, 0, 0x50, 0xA1, 0xA2, 0xA3, 0xA4);
    f.vaux(7, 3, 0x60, 0x60, 0x61, 0x62, 0x63);
    f.vaux(8, 3, 0x60, 0x00, 0x00, 0x00, 0x00);  // not the first
    f.vaux(0, 1, 0x61, 0x10, 0x20, 0x30, 0x40);
    SourcePackFinder finder;
    auto p = finder.find(f.data(), f.sequences());
    EXPECT_EQ(p.aaux50Ch1, 0x44332211u);
    EXPECT_EQ(p.aaux51Ch1, 0x04030201u);
    EXPECT_EQ(p.aaux50Ch2, 0xA4A3A2A1u);
    EXPECT_EQ(p.aaux51Ch2, SourcePackFinder::kNotFound);
    EXPECT_EQ(p.vaux60, 0x63626160u);
    EXPECT_EQ(p.vaux61, 0x40302010u);

    FrameBuilder empty;
    p = finder.find(empty.data(), empty.sequences());
    EXPECT_EQ(p.aaux50Ch1, SourcePackFinder::kNotFound);
    EXPECT_EQ(p.vaux60, 0x63626160u);
    EXPECT_EQ(p.vaux61, 0x40302010u);
}

}  // namespace
}  // namespace zorv::core
