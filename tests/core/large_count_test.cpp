// Frame counts past 2^31 and 2^32: a camcorder archive of many tapes, or a recording position taken
// from a corrupt pack, must convert and show progress without wrapping in 32 bits.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/job.h"
#include "core/timecode.h"

namespace zorv::core {
namespace {

constexpr int64_t k2p31 = int64_t{1} << 31;
constexpr int64_t k2p32 = int64_t{1} << 32;

TEST(LargeCounts, TimecodeOfCountsPastTwoToThe31WrapsByWholeDays) {
    // 3 000 000 000 frames at 25 frames/s: 1388 whole days and 1 920 000 frames = 21:20:00:00.
    EXPECT_EQ(framesToTimecode(3000000000LL, 2), (Timecode{21, 20, 0, 0}));
    // Around 2^31 and 2^32 every style gives the label of the count modulo its day.
    for (int style = 1; style <= 8; ++style) {
        const int64_t day = framesPerDay(style);
        for (int64_t n : {k2p31 - 1, k2p31, k2p31 + 1, k2p32 - 1, k2p32, k2p32 + 12345, int64_t{1} << 40}) {
            EXPECT_EQ(framesToTimecode(n, style), framesToTimecode(n % day, style)) << style << " " << n;
            EXPECT_EQ(timecodeToFrames(framesToTimecode(n, style), style), n % day) << style << " " << n;
        }
    }
    // 2^31 at 29.97 drop-frame: 829 days and 864 416 frames, which is 08:00:42;20 in labels.
    EXPECT_EQ(k2p31 % framesPerDay(4), 864416);
    EXPECT_EQ(framesToTimecode(k2p31, 4), (Timecode{8, 0, 42, 20}));
}

TEST(LargeCounts, AddingHugeOffsetsStaysInsideTheDay) {
    const Timecode start{10, 0, 0, 0};
    for (int style = 1; style <= 8; ++style) {
        const int64_t day = framesPerDay(style);
        const int64_t base = timecodeToFrames(start, style);
        // A whole number of days past 2^32 lands on the same label, forwards and backwards.
        const int64_t days = (k2p32 / day + 1) * day;
        EXPECT_EQ(addFrames(start, days, style), start) << style;
        EXPECT_EQ(addFrames(start, -days, style), start) << style;
        const int64_t w = wrapFrames(base + k2p31 + 7, style);
        EXPECT_GE(w, 0);
        EXPECT_LT(w, day);
        EXPECT_EQ(w, (base + k2p31 + 7) % day) << style;
    }
}

TEST(LargeCounts, FramePositionPastTwoToThe31ShowsHoursModulo24) {
    // Frame 2^31 + 10 of a 25 frames/s file: 85 899 346 s and 8 frames, 04:55:46 into its day.
    EXPECT_EQ(framePositionTimecode(k2p31 + 10, 2), (Timecode{4, 55, 46, 8}));
    EXPECT_EQ(framePositionTimecode(k2p32, 3), framesToTimecode(k2p32 % framesPerDay(3), 3));
}

TEST(LargeCounts, ProgressPercentOfCountsPastTwoToThe32) {
    Progress p;
    p.setTotal(3 * k2p32);
    p.setDone(k2p32);
    EXPECT_EQ(p.percent(), 33);
    p.setDone(3 * k2p32 - 1);
    EXPECT_EQ(p.percent(), 99);
    p.setDone(3 * k2p32);
    EXPECT_EQ(p.percent(), 100);
    // A 4-hour file's frame count is far from any limit; a 2^40-frame total still gives exact steps.
    p.setTotal(int64_t{1} << 40);
    p.setDone(int64_t{1} << 39);
    EXPECT_EQ(p.percent(), 50);
}

}  // namespace
}  // namespace zorv::core
