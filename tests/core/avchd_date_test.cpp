// The AVCHD recording date and time of tags 0x18/0x19 as camcorders write them.
#include <gtest/gtest.h>

#include "core/avchd_date.h"
#include "core/civil_time.h"
#include "core/metadata_text.h"

namespace zorv::core {
namespace {

TEST(AvchdDate, CamcorderExample) {
    MetadataRecord rec;
    rec.set(0x18, 0x02, 0x20, 0x08, 0x12);
    rec.set(0x19, 0x31, 0x23, 0x16, 0x24);
    AvchdDateTime d;
    ASSERT_TRUE(decodeAvchdDateTime(rec, d));
    EXPECT_EQ(d.year, 2008);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.day, 31);
    EXPECT_EQ(d.hour, 23);
    EXPECT_EQ(d.minute, 16);
    EXPECT_EQ(d.second, 24);
    EXPECT_EQ(d.zoneMinutes, 60);
    EXPECT_FALSE(d.daylightSaving);
    const CivilDateTime c = civilFromUtcSeconds(d.seconds);
    EXPECT_EQ(c.year, 2008);
    EXPECT_EQ(c.month, 12);
    EXPECT_EQ(c.day, 31);
    EXPECT_EQ(c.hour * 3600 + c.minute * 60 + c.second, 23 * 3600 + 16 * 60 + 24);

    DisplaySettings ds;
    TextBuf t;
    formatRecDate(t, rec, ds, TextVariant::Avchd);
    EXPECT_STREQ(t.c_str(), "31/12/08");
    ds.dateFormat = DateFormat::kYearMonthDay;
    formatRecDate(t, rec, ds, TextVariant::Avchd);
    EXPECT_STREQ(t.c_str(), "08-12-31");
    formatRecTime(t, rec, TextVariant::Avchd);
    EXPECT_STREQ(t.c_str(), "23:16:24");
    // Read as a DV date pack the same bytes would give day 20, month 08: the AVCHD forms never do.
    rec.set(pack::kRecDate, 0xC0, 0x15, 0x06, 0x11);
    formatRecDate(t, rec, ds, TextVariant::Avchd);
    EXPECT_STREQ(t.c_str(), "08-12-31");
}

TEST(AvchdDate, ZonesAndInvalidDigits) {
    MetadataRecord rec;
    AvchdDateTime d;
    EXPECT_FALSE(decodeAvchdDateTime(rec, d));
    rec.set(0x18, 0x20 | 0x40 | (5 << 1) | 0x01, 0x19, 0x99, 0x01);  // UTC-5:30, daylight saving
    rec.set(0x19, 0x01, 0x00, 0x00, 0x00);
    ASSERT_TRUE(decodeAvchdDateTime(rec, d));
    EXPECT_EQ(d.year, 1999);
    EXPECT_EQ(d.zoneMinutes, -330);
    EXPECT_TRUE(d.daylightSaving);
    EXPECT_EQ(d.seconds, daysFromCivil(1999, 1, 1) * 86400);
    rec.set(0x19, 0x01, 0x0A, 0x00, 0x00);
    EXPECT_FALSE(decodeAvchdDateTime(rec, d));
    rec.set(0x19, 0x00, 0x00, 0x00, 0x00);
    EXPECT_FALSE(decodeAvchdDateTime(rec, d));  // day 0
}

}  // namespace
}  // namespace zorv::core
