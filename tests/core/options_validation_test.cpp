#include "core/options_validation.h"

#include <gtest/gtest.h>

namespace zorv::core {
namespace {

std::string messageOf(const std::optional<OptionProblem>& p) { return p ? p->message : std::string("(valid)"); }

TEST(OptionsValidation, DefaultsPassEveryPage) {
    const Options o = Options::defaults();
    EXPECT_FALSE(validateBurnInPage(o));
    EXPECT_FALSE(validateBurnUserPage(o));
    EXPECT_FALSE(validateCapturePage(o));
    EXPECT_FALSE(validateSplitterPage(o));
    EXPECT_FALSE(validateModifyPage(o));
}

TEST(OptionsValidation, BurnInPages) {
    Options o = Options::defaults();
    o.burnInDuration = kNotANumber;
    o.transparency = 100;
    EXPECT_EQ(messageOf(validateBurnInPage(o)), "Duration must be in the range 1 to 999");
    o.burnInDuration = 999;
    EXPECT_EQ(messageOf(validateBurnInPage(o)), "Text Transparency must be a percentage in the range 0 to 99");

    o.textHeight = 301;
    EXPECT_EQ(messageOf(validateBurnUserPage(o)), "Text height must be a percentage in the range 1.0 to 30.0");
    o.textHeight = 10;
    o.burnPositions[7].y = 100;
    const auto p = validateBurnUserPage(o);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->field, OptionField::kBurnPosition);
    EXPECT_EQ(p->index, 7);
    o.burnPositions[7].y = 0;
    o.burnPositions[25].x = 200;  // slots past the 20 items are not edited on the page
    EXPECT_FALSE(validateBurnUserPage(o));
}

TEST(OptionsValidation, CapturePageOrderAndZeroDuration) {
    Options o = Options::defaults();
    o.captureDurationHours = 0;
    o.captureStopMode = 0;  // checked whatever stop mode is chosen
    EXPECT_EQ(messageOf(validateCapturePage(o)), "Duration must be greater than 00:00:00");
    o.captureDurationMinutes = 60;
    o.noFramesSeconds = 0;
    EXPECT_EQ(messageOf(validateCapturePage(o)), "Minutes must be in the range 0 to 59");
    o.captureDurationMinutes = 1;
    EXPECT_EQ(messageOf(validateCapturePage(o)), "No frames delivered must be in the range 1 to 99 secs");
    o.captureDurationHours = kNotANumber;  // empty field
    EXPECT_EQ(messageOf(validateCapturePage(o)), "Hours must be in the range 0 to 23");
}

TEST(OptionsValidation, SplitterChecksTheActiveTriggerOnly) {
    Options o = Options::defaults();
    o.dateTimeTriggerSeconds = 0;
    EXPECT_FALSE(validateSplitterPage(o));
    o.splitTrigger = 2;
    EXPECT_EQ(messageOf(validateSplitterPage(o)), "Date/Time trigger must be in the range 1 to 999 seconds");
    o.splitTrigger = 1;
    o.timecodeTriggerFrames = 0;
    EXPECT_EQ(messageOf(validateSplitterPage(o)), "Timecode trigger must be in the range 1 to 999 frames");
    o.timecodeTriggerFrames = 1;
    o.prerollDelaySeconds = kNotANumber;
    EXPECT_EQ(messageOf(validateSplitterPage(o)), "Preroll delay must be in the range 0 to 10 seconds");
}

TEST(OptionsValidation, ModifyPageNamesModeAndBounds) {
    Options o = Options::defaults();
    o.timecodeFrames = -30;
    EXPECT_FALSE(validateModifyPage(o));  // unticked group
    o.changeTimecode = true;
    EXPECT_EQ(messageOf(validateModifyPage(o)), "\"Adjust by\" Timecode Frames must be in the range -29 to 29");
    o.timecodeMode = stored(ModifyMode::kStartFrom);
    o.timecodeFrames = -1;
    EXPECT_EQ(messageOf(validateModifyPage(o)), "\"Start from\" Timecode Frames must be in the range 0 to 29");
    o.timecodeFrames = 0;

    o.changeDateTime = true;
    o.dateTimeMode = stored(ModifyMode::kStartFrom);  // months and days start at 1
    EXPECT_EQ(messageOf(validateModifyPage(o)), "\"Start from\" Months must be in the range 1 to 12");
    o.dateMonths = 12;
    EXPECT_EQ(messageOf(validateModifyPage(o)), "\"Start from\" Days must be in the range 1 to 31");
    o.dateTimeMode = stored(ModifyMode::kAdjustBy);
    EXPECT_EQ(messageOf(validateModifyPage(o)), "\"Adjust by\" Months must be in the range -11 to 11");
    o.dateTimeMode = stored(ModifyMode::kFromFileName);
    EXPECT_FALSE(validateModifyPage(o));

    o.setUserBits = true;
    o.userBits = {parseUserBitsField("0a"), parseUserBitsField(""), parseUserBitsField("G1"), 0};
    EXPECT_EQ(o.userBits[0], 10);
    EXPECT_EQ(o.userBits[1], 0);
    const auto p = validateModifyPage(o);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->message, "User bit values must be hexadecimal values in the range 00 to FF");
    EXPECT_EQ(p->index, 2);
    EXPECT_EQ(parseUserBitsField("FF"), 255);
    EXPECT_EQ(parseUserBitsField("100"), kNotANumber);
}

}  // namespace
}  // namespace zorv::core
