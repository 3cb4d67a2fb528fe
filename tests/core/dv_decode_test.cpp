#include "core/dv_decode.h"

#include <gtest/gtest.h>

#include "core/civil_time.h"

namespace zorv::core {
namespace {

TEST(DecodeRecord, AbsentPacksGiveAbsentValues) {
    MetadataRecord rec;
    DecodedValues v;
    v.recSeconds = 1234;
    v.recValid = true;
    decodeRecord(rec, v);
    EXPECT_EQ(v.fieldRate, 0);
    EXPECT_EQ(v.timecodeStyle, 2);  // provisional until a frame tells the system
    EXPECT_EQ(v.tcHours, -1);
    EXPECT_EQ(v.tcFrames, -1);
    EXPECT_EQ(v.userBits, 0xFFFFu);
    EXPECT_FALSE(v.recValid);
    EXPECT_EQ(v.recSeconds, 1234);
    EXPECT_EQ(v.iris, 63);
    EXPECT_EQ(v.shutter, 32767);
    EXPECT_EQ(v.gain, 15);
    EXPECT_EQ(v.exposureMode, 15);
    EXPECT_EQ(v.stabilizer, 15);
    EXPECT_EQ(v.whiteBalance, 255);
    EXPECT_EQ(v.focus, 255);
    EXPECT_EQ(v.audioUnlocked, 15);
    EXPECT_EQ(v.audioSampling, 7);
    EXPECT_EQ(v.recordingStart, 15);
}

TEST(DecodeRecord, FieldRateAndTimecodeStyleAreDecidedOnceForTheFile) {
    MetadataRecord rec;
    rec.set(0x60, 0, 0, 0xDF, 0);
    rec.set(0x13, 0x40, 0, 0, 0);
    DecodedValues v;
    decodeRecord(rec, v);
    EXPECT_EQ(v.fieldRate, 60);
    EXPECT_EQ(v.frameRate, 30);
    EXPECT_EQ(v.timecodeStyle, 4);
    rec.set(0x13, 0x00, 0, 0, 0);  // later frame: no drop flag
    rec.set(0x60, 0, 0, 0x20, 0);  // and 50 fields
    decodeRecord(rec, v);
    EXPECT_EQ(v.fieldRate, 60);
    EXPECT_EQ(v.timecodeStyle, 4);
}

// A 60-field file whose first frames lack the system or the timecode pack (a capture that starts on a
// blank frame) takes its style from the first frame that carries both; until then it counts 30 frames
// a second. The player's filter follows every frame.
TEST(DecodeRecord, StyleWaitsForTheFirstFrameWithSystemAndTimecodePacks) {
    MetadataRecord rec;
    DecodedValues v;
    decodeRecord(rec, v);  // blank frame
    EXPECT_EQ(v.timecodeStyle, 2);
    EXPECT_FALSE(v.timecodeStyleSettled);
    rec.set(0x60, 0, 0, 0x00, 0);  // 60 fields, no timecode yet
    decodeRecord(rec, v);
    EXPECT_EQ(v.timecodeStyle, 3);
    EXPECT_FALSE(v.timecodeStyleSettled);
    rec.set(0x13, 0x40, 0, 0, 0);  // drop-frame
    decodeRecord(rec, v);
    EXPECT_EQ(v.timecodeStyle, 4);
    EXPECT_TRUE(v.timecodeStyleSettled);
    rec.set(0x13, 0x00, 0, 0, 0);
    decodeRecord(rec, v);
    EXPECT_EQ(v.timecodeStyle, 4);

    DecodedValues pal;
    rec.clear();
    rec.set(0x60, 0, 0, 0x20, 0);  // 50 fields settle style 2 without a timecode pack
    decodeRecord(rec, pal);
    EXPECT_EQ(pal.timecodeStyle, 2);
    EXPECT_TRUE(pal.timecodeStyleSettled);

    DisplayValues d;
    rec.clear();
    rec.set(0x60, 0, 0, 0x00, 0);
    updateDisplayValues(rec, d);
    EXPECT_EQ(d.timecodeStyle, 4);
    EXPECT_EQ(d.fieldRate, 60);
}

TEST(DecodeRecord, TimecodeMasksAndUnusableHoursDigit) {
    MetadataRecord rec;
    rec.set(0x13, 0xC5, 0xD9, 0xD9, 0xE3);  // flag bits above the tens must be ignored
    DecodedValues v;
    decodeRecord(rec, v);
    EXPECT_EQ(v.tcFrames, 5);
    EXPECT_EQ(v.tcSeconds, 59);
    EXPECT_EQ(v.tcMinutes, 59);
    EXPECT_EQ(v.tcHours, 23);
    rec.set(0x13, 0x00, 0x00, 0x00, 0x3A);
    decodeRecord(rec, v);
    EXPECT_EQ(v.tcHours, -1);
    EXPECT_EQ(v.tcMinutes, -1);
    EXPECT_EQ(v.tcSeconds, -1);
    EXPECT_EQ(v.tcFrames, -1);
}

TEST(DecodeRecord, RecordingDateTimeIsUtcWithCenturyWindow) {
    MetadataRecord rec;
    rec.set(0x62, 0xFF, 0x31, 0x12, 0x69);  // 31/12/2069
    rec.set(0x63, 0xFF, 0x59, 0x59, 0x23);  // 23:59:59
    DecodedValues v;
    decodeRecord(rec, v);
    ASSERT_TRUE(v.recValid);
    EXPECT_EQ(v.recSeconds, daysFromCivil(2069, 12, 31) * 86400 + 86399);
    rec.set(0x62, 0xFF, 0x01, 0x01, 0x70);
    rec.set(0x63, 0xFF, 0x00, 0x00, 0x00);
    decodeRecord(rec, v);
    EXPECT_EQ(v.recSeconds, 0);             // 1970-01-01
    rec.set(0x62, 0xFF, 0x01, 0x01, 0x0A);  // year units 10: invalid date
    decodeRecord(rec, v);
    EXPECT_FALSE(v.recValid);
    EXPECT_EQ(v.recSeconds, 0);
}

TEST(DecodeRecord, CameraCodesAndRanges) {
    MetadataRecord rec;
    rec.set(0x7F, 0x00, 0x00, 0xFF, 0xFF);
    rec.set(0x70, 0xC5, 0x5F, 0xE6, 0x8D);
    rec.set(0x71, 0x00, 0x80, 0x00, 0x00);
    rec.set(0x50, 0x80, 0x00, 0x00, 0x08);
    rec.set(0x14, 0x01, 0x23, 0x45, 0x67);
    rec.set(0x61, 0x00, 0x7F, 0x00, 0x00);
    DecodedValues v;
    decodeRecord(rec, v);
    EXPECT_EQ(v.shutter, 32767);
    EXPECT_EQ(v.iris, 5);
    EXPECT_EQ(v.gain, 15);
    EXPECT_EQ(v.exposureMode, 15);   // 5 is out of range
    EXPECT_EQ(v.whiteBalance, 255);  // lighting 6 is out of range
    EXPECT_EQ(v.focus, 0x8D);
    EXPECT_EQ(v.stabilizer, 0);
    EXPECT_EQ(v.audioUnlocked, 1);
    EXPECT_EQ(v.audioSampling, 1);
    EXPECT_EQ(v.userBits, 0x67452301u);
    EXPECT_EQ(v.recordingStart, 0);

    rec.set(0x7F, 0x00, 0x00, 0xFF, 0x00);
    rec.set(0x70, 0x00, 0x43, 0x05, 0x00);
    rec.set(0x50, 0x00, 0x00, 0x00, 0x18);
    decodeRecord(rec, v);
    EXPECT_EQ(v.shutter, 255);
    EXPECT_EQ(v.exposureMode, 4);
    EXPECT_EQ(v.gain, 3);
    EXPECT_EQ(v.whiteBalance, 5);
    EXPECT_EQ(v.audioSampling, 7);
    EXPECT_EQ(v.audioUnlocked, 0);
}

TEST(DisplayValues, WidescreenAndKeepingLastValues) {
    MetadataRecord rec;
    DisplayValues d;
    rec.set(0x61, 0x00, 0x02, 0x00, 0x00);
    updateDisplayValues(rec, d);
    EXPECT_TRUE(d.widescreen);
    rec.set(0x61, 0x00, 0x00, 0x02, 0x00);
    updateDisplayValues(rec, d);
    EXPECT_TRUE(d.widescreen);
    rec.set(0x61, 0x00, 0xF8, 0x01, 0x00);
    updateDisplayValues(rec, d);
    EXPECT_FALSE(d.widescreen);
    rec.set(0x60, 0, 0, 0x20, 0);
    updateDisplayValues(rec, d);
    EXPECT_EQ(d.timecodeStyle, 2);
    rec.clear();
    updateDisplayValues(rec, d);  // nothing present: everything kept
    EXPECT_EQ(d.timecodeStyle, 2);
    EXPECT_EQ(d.fieldRate, 50);
    EXPECT_FALSE(d.widescreen);
    rec.set(0x60, 0, 0, 0x00, 0);
    rec.set(0x13, 0x00, 0, 0, 0);
    updateDisplayValues(rec, d);
    EXPECT_EQ(d.timecodeStyle, 3);
}

TEST(CivilTime, RoundTripsAndNormalises) {
    for (int64_t days = -800000; days <= 800000; days += 97) {
        CivilDate c = civilFromDays(days);
        ASSERT_EQ(daysFromCivil(c.year, c.month, c.day), days);
    }
    EXPECT_EQ(daysFromCivil(2000, 3, 1) - daysFromCivil(2000, 2, 28), 2);  // 2000 is a leap year
    EXPECT_EQ(daysFromCivil(1900, 3, 1) - daysFromCivil(1900, 2, 28), 1);
    // 31 December 23:30 + 1 hour is 1 January 00:30 of the next year.
    CivilDateTime t = civilFromUtcSeconds(normalizedUtcSeconds(2009, 11, 31, 24, 30, 0));
    EXPECT_EQ(t.year, 2010);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 30);
    // 31 January + 1 month is 3 March in a common year.
    t = civilFromUtcSeconds(normalizedUtcSeconds(2009, 1, 31, 0, 0, 0));
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 3);
    // Borrowing: month -1 and second -1.
    t = civilFromUtcSeconds(normalizedUtcSeconds(2010, -1, 1, 0, 0, -1));
    EXPECT_EQ(t.year, 2009);
    EXPECT_EQ(t.month, 11);
    EXPECT_EQ(t.day, 30);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.second, 59);
}

}  // namespace
}  // namespace zorv::core
