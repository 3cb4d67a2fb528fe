#include "core/timecode.h"

#include <gtest/gtest.h>

namespace zorv::core {
namespace {

Timecode T(int h, int m, int s, int f) { return Timecode{h, m, s, f}; }

TEST(Timecode, DayLengthsPerStyle) {
    const int64_t expected[] = {0, 2073600, 2160000, 2592000, 2589408, 4147200, 4320000, 5184000, 5178816};
    for (int style = 1; style <= 8; ++style) {
        EXPECT_EQ(framesPerDay(style), expected[style]);
        // The last label of the day is the day length minus one.
        const int rate = timecodeRate(style);
        EXPECT_EQ(timecodeToFrames(T(23, 59, 59, rate - 1), style), expected[style] - 1) << style;
    }
    EXPECT_EQ(framesPerDay(0), 0);
    EXPECT_EQ(framesPerDay(9), 0);
}

TEST(Timecode, EveryCountRoundTripsInEveryStyle) {
    for (int style = 1; style <= 8; ++style) {
        const int64_t day = framesPerDay(style);
        for (int64_t n = 0; n < day; n += (n < 40000 ? 1 : 997)) {
            const Timecode tc = framesToTimecode(n, style);
            ASSERT_EQ(timecodeToFrames(tc, style), n) << "style " << style << " count " << n;
        }
    }
}

TEST(Timecode, DropFrameSkipsLabelsExceptTenthMinute) {
    EXPECT_EQ(framesToTimecode(1799, 4), T(0, 0, 59, 29));
    EXPECT_EQ(framesToTimecode(1800, 4), T(0, 1, 0, 2));
    EXPECT_EQ(framesToTimecode(17982, 4), T(0, 10, 0, 0));
    EXPECT_EQ(framesToTimecode(17981, 4), T(0, 9, 59, 29));
    EXPECT_EQ(framesToTimecode(3599, 8), T(0, 0, 59, 59));
    EXPECT_EQ(framesToTimecode(3600, 8), T(0, 1, 0, 4));
    EXPECT_EQ(framesToTimecode(35964, 8), T(0, 10, 0, 0));
    EXPECT_EQ(timecodeToFrames(T(0, 1, 0, 2), 4), 1800);
    EXPECT_EQ(timecodeToFrames(T(0, 10, 0, 0), 4), 17982);
    // Every produced label is a valid drop-frame label.
    for (int64_t n = 0; n < 200000; ++n) {
        const Timecode tc = framesToTimecode(n, 4);
        ASSERT_FALSE(tc.seconds == 0 && tc.frames < 2 && tc.minutes % 10 != 0) << n;
    }
}

TEST(Timecode, WrapsAtOneDayBothWays) {
    EXPECT_EQ(framesToTimecode(-1, 2), T(23, 59, 59, 24));
    EXPECT_EQ(framesToTimecode(2160000, 2), T(0, 0, 0, 0));
    EXPECT_EQ(framesToTimecode(2 * 2589408 + 1800, 4), T(0, 1, 0, 2));
    EXPECT_EQ(addFrames(T(23, 59, 59, 24), 1, 2), T(0, 0, 0, 0));
    EXPECT_EQ(addFrames(T(0, 30, 0, 0), -timecodeToFrames(T(1, 0, 0, 0), 3), 3), T(23, 30, 0, 0));
    EXPECT_EQ(addFrames(T(0, 0, 0, 0), -1, 4), T(23, 59, 59, 29));
    EXPECT_EQ(wrapFrames(-5, 7), 5184000 - 5);
    EXPECT_EQ(wrapFrames(-3 * 5184000 - 5, 7), 5184000 - 5);
}

TEST(Timecode, ThirdConversionByNominalRate) {
    EXPECT_EQ(framesToTimecode(1800, 30, true), T(0, 1, 0, 2));
    EXPECT_EQ(framesToTimecode(1800, 30, false), T(0, 1, 0, 0));
    EXPECT_EQ(framesToTimecode(3600, 60, true), T(0, 1, 0, 4));
    EXPECT_EQ(framesToTimecode(50, 50, true), T(0, 0, 1, 0));  // flag ignored for 50
    EXPECT_EQ(timecodeStyleFor(24, true), 1);
    EXPECT_EQ(timecodeStyleFor(29, false), 0);
}

// The frame-position form written out independently: D/M on the whole frame number, then hours
// modulo 24.
Timecode positionByFormula(int64_t n, int style) {
    int rate = style == 1 ? 24 : style == 2 ? 25 : 30;
    if (style == 4) {
        int64_t d = n / 17982, m = n % 17982;
        n = n + 18 * d + 2 * ((m - 2) / 1798);
    }
    return T(static_cast<int>(n / (3600 * rate) % 24), static_cast<int>(n / (60 * rate) % 60),
             static_cast<int>(n / rate % 60), static_cast<int>(n % rate));
}

TEST(Timecode, FramePositionAgreesWithDayWrappedConversion) {
    for (int style = 1; style <= 4; ++style) {
        for (int64_t n = 0; n < 3 * 2592000; n += 1231) {
            ASSERT_EQ(framePositionTimecode(n, style), positionByFormula(n, style)) << style << " " << n;
        }
        for (int64_t n : {0, 1, 2, 1799, 1800, 17982, 2589407, 2589408, 2589409}) {
            ASSERT_EQ(framePositionTimecode(n, style), positionByFormula(n, style)) << style << " " << n;
        }
    }
    EXPECT_EQ(framePositionTimecode(17982, 4), T(0, 10, 0, 0));
    EXPECT_EQ(framePositionTimecode(1800, 0), T(0, 1, 0, 2));  // unknown style: drop-frame 30
}

}  // namespace
}  // namespace zorv::core
