#include "core/scene_sets.h"

#include <gtest/gtest.h>

#include <vector>

#include "frame_builder.h"

namespace zorv::core {
namespace {

DecodedValues tc(int style, int h, int m, int s, int f) {
    DecodedValues v;
    v.timecodeStyle = style;
    v.frameRate = style == 2 ? 25 : 30;
    v.fieldRate = v.frameRate * 2;
    v.tcHours = h;
    v.tcMinutes = m;
    v.tcSeconds = s;
    v.tcFrames = f;
    return v;
}

TEST(TimecodeDiscontinuity, DropFrameSkipsLabelsAndDayWraps) {
    EXPECT_FALSE(timecodeDiscontinuity(tc(4, 0, 1, 0, 2), tc(4, 0, 0, 59, 29)));
    EXPECT_TRUE(timecodeDiscontinuity(tc(4, 0, 1, 0, 0), tc(4, 0, 0, 59, 29)));
    EXPECT_FALSE(timecodeDiscontinuity(tc(4, 0, 10, 0, 0), tc(4, 0, 9, 59, 29)));  // tenth minute kept
    EXPECT_FALSE(timecodeDiscontinuity(tc(3, 0, 1, 0, 0), tc(3, 0, 0, 59, 29)));
    EXPECT_FALSE(timecodeDiscontinuity(tc(2, 0, 0, 0, 0), tc(2, 23, 59, 59, 24)));
    EXPECT_TRUE(timecodeDiscontinuity(tc(2, 0, 0, 1, 0), tc(2, 0, 0, 0, 23)));
    EXPECT_TRUE(timecodeDiscontinuity(tc(2, 0, 0, 0, 5), tc(2, 0, 0, 0, 5)));  // a repeated frame
}

TEST(TimecodeDiscontinuity, MissingTimecodeComingAndGoing) {
    DecodedValues none = tc(2, -1, -1, -1, -1);
    EXPECT_FALSE(timecodeDiscontinuity(none, none));
    EXPECT_TRUE(timecodeDiscontinuity(tc(2, 0, 0, 0, 0), none));
    EXPECT_TRUE(timecodeDiscontinuity(none, tc(2, 0, 0, 0, 0)));
}

TEST(DateTimeDiscontinuity, AllowsOnlyZeroOrOneSecondForward) {
    DecodedValues a, b;
    a.recValid = b.recValid = true;
    a.recSeconds = 36000;
    for (int64_t next : {36000, 36001}) {
        b.recSeconds = next;
        EXPECT_FALSE(dateTimeDiscontinuity(b, a)) << next;
    }
    for (int64_t next : {36002, 35999}) {
        b.recSeconds = next;
        EXPECT_TRUE(dateTimeDiscontinuity(b, a)) << next;
    }
    b.recValid = false;
    EXPECT_TRUE(dateTimeDiscontinuity(b, a));
    EXPECT_TRUE(dateTimeDiscontinuity(a, b));
    EXPECT_FALSE(dateTimeDiscontinuity(b, b));
}

TEST(SceneSets, TapeIndexIsEdgeTriggered) {
    SceneSets sets;
    std::vector<int> starts = {1, 0, 0, 1, 0};
    DecodedValues prev, cur;
    for (size_t n = 0; n < starts.size(); ++n) {
        cur.recordingStart = starts[n];
        if (n > 0) sets.compareFrame(static_cast<int64_t>(n), cur, prev, false);
        prev = cur;
    }
    EXPECT_EQ(sets.changes(kTriggerTapeIndex), (std::set<int64_t>{1, 4}));
    EXPECT_TRUE(sets.changeList().empty());  // tape index points are not value changes
}

TEST(SceneSets, MaskSelectsSceneListButNotChangeList) {
    SceneSets sets;
    DecodedValues a, b;
    b.iris = 5;
    sets.compareFrame(3, b, a, false);
    sets.addDroppedFrame(7);
    sets.setMask(kTriggerDroppedFrame);
    EXPECT_EQ(sets.sceneList(), (std::set<int64_t>{7}));
    EXPECT_EQ(sets.changeList(), (std::set<int64_t>{3}));
    sets.setMask(kTriggerIris | kTriggerDroppedFrame);
    EXPECT_EQ(sets.sceneList(), (std::set<int64_t>{3, 7}));
    EXPECT_EQ(sets.changes(kTriggerIris), (std::set<int64_t>{3}));
    EXPECT_TRUE(sets.changes(kTriggerGain).empty());

    // An in-order pass inserts into the scene list only for selected sets.
    DecodedValues c = b;
    c.gain = 3;
    EXPECT_FALSE(sets.compareFrame(9, c, b, true));
    c.iris = 6;
    EXPECT_TRUE(sets.compareFrame(10, c, b, true));
    EXPECT_EQ(sets.sceneList(), (std::set<int64_t>{3, 7, 10}));
    EXPECT_EQ(sets.changeList(), (std::set<int64_t>{3}));  // until rebuilt
    sets.rebuild();
    EXPECT_EQ(sets.changeList(), (std::set<int64_t>{3, 9, 10}));
}

TEST(SceneSets, NavigationFallsBackToEnds) {
    SceneSets sets;
    EXPECT_EQ(sets.mask(), 0x10u);
    EXPECT_EQ(sets.nextScene(0, 100), 99);
    EXPECT_EQ(sets.previousScene(50), 0);
    DecodedValues a, b;
    b.recValid = true;
    sets.compareFrame(20, b, a, false);
    sets.compareFrame(40, a, b, false);
    sets.rebuild();
    EXPECT_EQ(sets.nextScene(0, 100), 20);
    EXPECT_EQ(sets.nextScene(20, 100), 40);
    EXPECT_EQ(sets.nextScene(40, 100), 99);
    EXPECT_EQ(sets.previousScene(40), 20);
    EXPECT_EQ(sets.previousScene(21), 20);
    EXPECT_EQ(sets.previousScene(20), 0);
    sets.clear();
    EXPECT_TRUE(sets.sceneList().empty());
    EXPECT_TRUE(sets.changes(kTriggerDateTime).empty());
}

TEST(SceneDetector, InOrderPassOverFramesNeverRecordsFrameZero) {
    using testing::FrameBuilder;
    SceneSets sets;
    sets.setMask(kTriggerTimecode | kTriggerGain);
    SceneDetector det(sets);
    det.reset();
    // Frames 0-2 continuous at 25 fps, frame 3 jumps; gain changes at frame 2.
    const int frames[] = {0, 1, 2, 10};
    const uint8_t gains[] = {0x41, 0x41, 0x42, 0x42};
    std::vector<bool> flags;
    for (int n = 0; n < 4; ++n) {
        FrameBuilder f;
        f.vaux(0, 0, 0x60, 0, 0, 0x20, 0);
        f.subcode(0, 3, 0x13, static_cast<uint8_t>(frames[n]), 0x00, 0x00, 0x00);
        f.vaux(0, 1, 0x70, 0, gains[n], 0, 0);
        flags.push_back(det.detectFrame(n, f.data(), f.size()));
    }
    EXPECT_EQ(flags, (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(det.current().timecodeStyle, 2);
    EXPECT_EQ(sets.changes(kTriggerTimecode), (std::set<int64_t>{3}));
    EXPECT_EQ(sets.changes(kTriggerGain), (std::set<int64_t>{2}));
    EXPECT_EQ(sets.sceneList(), (std::set<int64_t>{2, 3}));
}

}  // namespace
}  // namespace zorv::core
