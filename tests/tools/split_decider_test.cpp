// The split decision over sequences of frame values, and the values read from real generated frames.
#include "tools/split_decider.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/civil_time.h"
#include "gen/clip_writer.h"
#include "tools/split_naming.h"

namespace zorv::tools {
namespace {

SplitFrameInfo tcFrame(int h, int m, int s, int f, int sequences = 12) {
    SplitFrameInfo i;
    i.sequences = sequences;
    i.tcHours = h;
    i.tcMinutes = m;
    i.tcSeconds = s;
    i.tcFrames = f;
    return i;
}

SplitFrameInfo recFrame(int64_t seconds, bool valid = true) {
    SplitFrameInfo i = tcFrame(0, 0, 0, 0);
    i.recValid = valid;
    i.recSeconds = seconds;
    return i;
}

struct Result {
    std::vector<int> splits;     // frame positions with a split before them
    std::vector<int> delivered;  // frame positions delivered
    std::vector<int> newReels;   // frame positions that start a new reel
};

Result runFrames(const SplitRules& rules, const std::vector<SplitFrameInfo>& frames) {
    SplitDecider d(rules);
    Result r;
    for (int i = 0; i < static_cast<int>(frames.size()); ++i) {
        auto v = d.step(frames[i]);
        if (v.split) r.splits.push_back(i);
        if (v.deliver) r.delivered.push_back(i);
        if (v.newReel) r.newReels.push_back(i);
        if (v.startsFile) {
            EXPECT_TRUE(v.deliver);
        }
        if (v.newReel) {
            EXPECT_TRUE(v.startsFile);
        }
    }
    return r;
}

// Frames counting on from a 25 fps timecode.
std::vector<SplitFrameInfo> palRun(int64_t startCount, int n) {
    std::vector<SplitFrameInfo> out;
    for (int i = 0; i < n; ++i) {
        int64_t c = startCount + i;
        out.push_back(tcFrame(int(c / 90000), int(c / 1500 % 60), int(c / 25 % 60), int(c % 25)));
    }
    return out;
}

TEST(SplitDecider, TimecodeThresholdOfOneFrame) {
    SplitRules rules;  // trigger 1, threshold 1
    auto r = runFrames(rules, {tcFrame(0, 0, 10, 5), tcFrame(0, 0, 10, 7)});
    EXPECT_EQ(r.splits, std::vector<int>{1});
    r = runFrames(rules, {tcFrame(0, 0, 10, 5), tcFrame(0, 0, 10, 6)});
    EXPECT_TRUE(r.splits.empty());
}

TEST(SplitDecider, BackwardJumpBelowThresholdMarksANewReelForTheNextSplit) {
    SplitRules rules;
    rules.timecodeThreshold = 150;
    auto frames = palRun(1000, 5);
    auto back = palRun(904, 5);  // 100 frames back from the expected 1005
    frames.insert(frames.end(), back.begin(), back.end());
    auto r = runFrames(rules, frames);
    EXPECT_TRUE(r.splits.empty());
    EXPECT_TRUE(r.newReels.empty());

    // A later forward jump splits, and that file carries the pending new reel.
    auto jump = palRun(5000, 3);
    frames.insert(frames.end(), jump.begin(), jump.end());
    r = runFrames(rules, frames);
    EXPECT_EQ(r.splits, std::vector<int>{10});
    EXPECT_EQ(r.newReels, std::vector<int>{10});

    rules.timecodeThreshold = 50;
    r = runFrames(rules, std::vector<SplitFrameInfo>(frames.begin(), frames.begin() + 10));
    EXPECT_EQ(r.splits, std::vector<int>{5});
    EXPECT_EQ(r.newReels, std::vector<int>{5});
}

TEST(SplitDecider, ForwardJumpGivesNoNewReel) {
    SplitRules rules;
    auto frames = palRun(0, 3);
    auto jump = palRun(500, 3);
    frames.insert(frames.end(), jump.begin(), jump.end());
    auto r = runFrames(rules, frames);
    EXPECT_EQ(r.splits, std::vector<int>{3});
    EXPECT_TRUE(r.newReels.empty());
}

TEST(SplitDecider, RepeatedTimecodeSplitsBeforeItAndAtTheNextAdvance) {
    SplitRules rules;
    rules.timecodeThreshold = 10;
    auto r = runFrames(rules, {tcFrame(0, 0, 1, 0), tcFrame(0, 0, 1, 1), tcFrame(0, 0, 1, 2), tcFrame(0, 0, 1, 2),
                               tcFrame(0, 0, 1, 3), tcFrame(0, 0, 1, 4)});
    EXPECT_EQ(r.splits, (std::vector<int>{3, 4}));

    // Still frames: the timecode stands for several frames; only the first repeat splits.
    r = runFrames(rules,
                  {tcFrame(0, 0, 1, 0), tcFrame(0, 0, 1, 1), tcFrame(0, 0, 1, 1), tcFrame(0, 0, 1, 1), tcFrame(0, 0, 1, 1)});
    EXPECT_EQ(r.splits, std::vector<int>{2});

    // A repeat on the second frame of a file does not split, but the next advance does.
    r = runFrames(rules, {tcFrame(0, 0, 1, 0), tcFrame(0, 0, 1, 0), tcFrame(0, 0, 1, 1)});
    EXPECT_EQ(r.splits, std::vector<int>{2});
}

TEST(SplitDecider, MissingTimecodeSplitsWhenItGoesAndWhenItComes) {
    SplitRules rules;
    SplitFrameInfo none = tcFrame(-1, -1, -1, -1);
    auto r = runFrames(rules, {tcFrame(0, 0, 0, 0), tcFrame(0, 0, 0, 1), none, none, tcFrame(0, 0, 0, 4)});
    EXPECT_EQ(r.splits, (std::vector<int>{2, 4}));
}

TEST(SplitDecider, MidnightIsContinuous) {
    SplitRules rules;
    auto r = runFrames(rules, {tcFrame(23, 59, 59, 23), tcFrame(23, 59, 59, 24), tcFrame(0, 0, 0, 0)});
    EXPECT_TRUE(r.splits.empty());
    EXPECT_TRUE(r.newReels.empty());
}

TEST(SplitDecider, TwelveSequencesCountAt25Frames) {
    SplitRules rules;
    // 00:00:00:24 -> 00:00:01:00 is continuous at 25 fps; at 30 fps it would be a jump of 5 frames.
    auto r = runFrames(rules, {tcFrame(0, 0, 0, 23), tcFrame(0, 0, 0, 24), tcFrame(0, 0, 1, 0)});
    EXPECT_TRUE(r.splits.empty());
    r = runFrames(rules, {tcFrame(0, 0, 0, 28, 10), tcFrame(0, 0, 0, 29, 10), tcFrame(0, 0, 1, 0, 10)});
    EXPECT_TRUE(r.splits.empty());
    r = runFrames(rules, {tcFrame(0, 0, 0, 23, 10), tcFrame(0, 0, 0, 24, 10), tcFrame(0, 0, 1, 0, 10)});
    EXPECT_EQ(r.splits, std::vector<int>{2});
}

TEST(SplitDecider, DropFrameLabelsSkipOnMinuteBoundaries) {
    SplitRules rules;
    SplitFrameInfo a = tcFrame(0, 0, 59, 29, 10), b = tcFrame(0, 1, 0, 2, 10);
    a.tcDropFrame = b.tcDropFrame = true;
    auto r = runFrames(rules, {a, b});
    EXPECT_TRUE(r.splits.empty());
}

TEST(SplitDecider, DateTimeTriggerOneSecond) {
    SplitRules rules;
    rules.trigger = SplitTrigger::kDateTime;
    const int64_t t = 1308133800;
    EXPECT_TRUE(runFrames(rules, {recFrame(t), recFrame(t), recFrame(t + 1), recFrame(t + 1)}).splits.empty());
    EXPECT_EQ(runFrames(rules, {recFrame(t), recFrame(t + 2)}).splits, std::vector<int>{1});
    EXPECT_EQ(runFrames(rules, {recFrame(t), recFrame(t - 1)}).splits, std::vector<int>{1});
    // A frame without a date after frames with one, and the return of the date.
    EXPECT_EQ(runFrames(rules, {recFrame(t), recFrame(t, false), recFrame(t, false), recFrame(t)}).splits,
              (std::vector<int>{1, 3}));
    // The timecode only serves the reel marker here: a timecode jump does not split.
    auto frames = palRun(0, 2);
    frames[0].recValid = frames[1].recValid = true;
    frames[1].tcSeconds = 30;
    EXPECT_TRUE(runFrames(rules, frames).splits.empty());

    rules.dateTimeThreshold = 5;
    EXPECT_TRUE(runFrames(rules, {recFrame(t), recFrame(t + 5)}).splits.empty());
    EXPECT_EQ(runFrames(rules, {recFrame(t), recFrame(t + 6)}).splits, std::vector<int>{1});
    EXPECT_EQ(runFrames(rules, {recFrame(t), recFrame(t - 5)}).splits, std::vector<int>{1});
}

TEST(SplitDecider, UserBitsAndTapeIndexTriggers) {
    SplitRules rules;
    rules.trigger = SplitTrigger::kUserBits;
    auto frames = palRun(0, 4);
    frames[0].userBitsValid = frames[1].userBitsValid = frames[2].userBitsValid = true;
    frames[2].userBits = {0, 0, 0, 1};
    EXPECT_EQ(runFrames(rules, frames).splits, (std::vector<int>{2, 3}));

    rules.trigger = SplitTrigger::kTapeIndex;
    frames = palRun(0, 5);
    for (int i : {0, 2, 3}) frames[i].recordingStart = true;
    EXPECT_EQ(runFrames(rules, frames).splits, std::vector<int>{2});
}

TEST(SplitDecider, PrerollDropsTheStartOfEveryFile) {
    SplitRules rules;
    rules.prerollSeconds = 1;
    auto frames = palRun(0, 40);
    auto jump = palRun(5000, 40);
    frames.insert(frames.end(), jump.begin(), jump.end());
    auto r = runFrames(rules, frames);
    EXPECT_EQ(r.splits, std::vector<int>{40});
    std::vector<int> expected;
    for (int i = 25; i < 40; ++i) expected.push_back(i);
    for (int i = 65; i < 80; ++i) expected.push_back(i);
    EXPECT_EQ(r.delivered, expected);

    SplitDecider ntsc(rules);
    ntsc.step(tcFrame(0, 0, 0, 0, 10));
    EXPECT_EQ(ntsc.prerollFrames(), 29);  // 10000000 / 333667
}

TEST(SplitDecider, ForcedSplit) {
    SplitDecider d;
    d.step(tcFrame(0, 0, 0, 0));
    d.requestSplit();
    auto v = d.step(tcFrame(0, 0, 0, 1));
    EXPECT_TRUE(v.split);
    EXPECT_TRUE(v.startsFile);
    EXPECT_FALSE(d.step(tcFrame(0, 0, 0, 2)).split);
}

TEST(SplitFrameInfo, ReadsTheValuesOfAGeneratedFrame) {
    gen::ClipSpec desc = gen::palClip(3);
    desc.runs = {gen::Run{0, gen::Timecode{1, 2, 3, 4}, 1, gen::DateTime{2008, 12, 31, 23, 59, 58}}};
    desc.userBits = 0x12345678u;
    desc.recordingStarts = {0};
    gen::ClipFrames frames;
    ASSERT_TRUE(frames.open(desc));
    std::vector<uint8_t> f;
    frames.render(2, f);
    SplitFrameInfo i = readSplitFrameInfo(f.data(), f.size());
    EXPECT_EQ(i.sequences, 12);
    EXPECT_EQ(i.tcHours, 1);
    EXPECT_EQ(i.tcMinutes, 2);
    EXPECT_EQ(i.tcSeconds, 3);
    EXPECT_EQ(i.tcFrames, 6);
    ASSERT_TRUE(i.recValid);
    EXPECT_EQ(i.recSeconds, core::normalizedUtcSeconds(2008, 11, 31, 23, 59, 58));
    EXPECT_EQ(i.recYear2, 8);
    ASSERT_TRUE(i.userBitsValid);
    EXPECT_FALSE(i.recordingStart);
    frames.render(0, f);
    EXPECT_TRUE(readSplitFrameInfo(f.data(), f.size()).recordingStart);
    // Reading for one trigger: the timecode and that trigger's values, each as a full read gives them.
    for (int trigger = 1; trigger <= 4; ++trigger) {
        SplitFrameInfo t = readSplitFrameInfo(f.data(), f.size(), static_cast<SplitTrigger>(trigger));
        SCOPED_TRACE(trigger);
        EXPECT_EQ(t.tcFrames, 4);
        EXPECT_EQ(t.recValid, trigger == 2);
        if (trigger == 2) {
            EXPECT_EQ(t.recSeconds, core::normalizedUtcSeconds(2008, 11, 31, 23, 59, 58));
        }
        EXPECT_EQ(t.userBitsValid, trigger == 3);
        if (trigger == 3) {
            EXPECT_EQ(t.userBits, i.userBits);
        }
        EXPECT_EQ(t.recordingStart, trigger == 4);
    }

    EXPECT_EQ(
        splitNameSuffix(SplitNameFormat::kUserBits, 1, i), std::string(" ") + [&] {
            char b[16];
            std::snprintf(b, sizeof b, "%02X.%02X.%02X.%02X", i.userBits[3], i.userBits[2], i.userBits[1], i.userBits[0]);
            return std::string(b);
        }());
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kDateTime, 1, i), " 2008-12-31 23.59.58");

    desc.customize = [](int64_t, gen::FrameMeta& m) {
        m.hasRec = false;
        m.hasTimecode = false;
    };
    ASSERT_TRUE(frames.open(desc));
    frames.render(1, f);
    i = readSplitFrameInfo(f.data(), f.size());
    EXPECT_FALSE(i.recValid);
    EXPECT_FALSE(i.hasTimecode());
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kTimecode, 1, i), " --.--.--.--");
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kDateTime, 1, i), " -------- --.--.--");

    EXPECT_EQ(readSplitFrameInfo(f.data(), 100).sequences, 0);
}

}  // namespace
}  // namespace zorv::tools
