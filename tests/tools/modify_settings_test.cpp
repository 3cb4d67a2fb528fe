// Settings checks of Modify Metadata and the date/time read from a file name.
#include <gtest/gtest.h>

#include "tools/modify_settings.h"

namespace zorv::tools {
namespace {

TEST(ModifySettings, FirstFailingFieldGivesItsModePrefixAndBounds) {
    ModifySettings s;
    s.timecodeEnabled = true;
    s.timecodeMode = core::ModifyMode::kAdjustBy;
    s.tcHours = -23;
    s.tcMinutes = 60;
    s.tcFrames = 30;
    auto e = validateModifySettings(s);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->field, ModifyField::kTimecodeMinutes);
    EXPECT_EQ(e->message, "\"Adjust by\" Timecode Minutes must be in the range -59 to 59");
    s.tcMinutes = 0;
    EXPECT_EQ(validateModifySettings(s)->message, "\"Adjust by\" Timecode Frames must be in the range -29 to 29");

    ModifySettings d;
    d.dateTimeEnabled = true;
    d.dateTimeMode = core::ModifyMode::kStartFrom;
    d.years = 8;
    d.months = 0;
    d.days = 1;
    EXPECT_EQ(validateModifySettings(d)->message, "\"Start from\" Months must be in the range 1 to 12");
    d.months = 2;
    d.days = 32;
    EXPECT_EQ(validateModifySettings(d)->message, "\"Start from\" Days must be in the range 1 to 31");
    d.dateTimeMode = core::ModifyMode::kAdjustBy;
    EXPECT_EQ(validateModifySettings(d)->message, "\"Adjust by\" Days must be in the range -30 to 30");
    d.days = -30;
    d.seconds = -60;
    EXPECT_EQ(validateModifySettings(d)->message, "\"Adjust by\" Secs must be in the range -59 to 59");
    // The file-name mode takes no values from the fields.
    d.dateTimeMode = core::ModifyMode::kFromFileName;
    EXPECT_FALSE(validateModifySettings(d));
    // Disabled groups are not checked.
    d.dateTimeEnabled = false;
    d.dateTimeMode = core::ModifyMode::kStartFrom;
    EXPECT_FALSE(validateModifySettings(d));
}

TEST(ModifySettings, UserBitsFields) {
    EXPECT_EQ(parseUserBitsField(""), 0);
    EXPECT_EQ(parseUserBitsField("fF"), 0xFF);
    EXPECT_EQ(parseUserBitsField("7"), 7);
    EXPECT_FALSE(parseUserBitsField("100"));
    EXPECT_FALSE(parseUserBitsField("g1"));
    ModifySettings s;
    s.userBitsEnabled = true;
    s.userBits = {0, 0x100, 0, 0};
    EXPECT_EQ(validateModifySettings(s)->message, "User bit values must be hexadecimal values in the range 00 to FF");
}

TEST(ModifySettings, DateTimeFromFileNameForms) {
    auto full = dateTimeFromFileName("/videos/Holiday 08-07-15 14.30.05.avi");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->year, 8);
    EXPECT_EQ(full->month, 7);
    EXPECT_EQ(full->day, 15);
    EXPECT_EQ(full->hour, 14);
    EXPECT_EQ(full->minute, 30);
    EXPECT_EQ(full->second, 5);

    auto dateOnly = dateTimeFromFileName("/videos/Holiday 08-07-15.avi");
    ASSERT_TRUE(dateOnly);
    EXPECT_EQ(dateOnly->day, 15);
    EXPECT_EQ(dateOnly->hour, 0);

    EXPECT_FALSE(dateTimeFromFileName("/videos/Holiday 8-7-15.avi"));
    EXPECT_FALSE(dateTimeFromFileName("/videos/Holiday 08-13-15.avi"));
    // A bad time falls back to the date form only when the name ends with a date.
    EXPECT_FALSE(dateTimeFromFileName("/videos/x 08-07-15 25.00.00.avi"));
    // A dot in a folder name is not an extension.
    EXPECT_TRUE(dateTimeFromFileName("/a.b/08-07-15"));
    EXPECT_FALSE(dateTimeFromFileName("08-07"));
}

}  // namespace
}  // namespace zorv::tools
