// Batch burn-in of HDV and AVCHD files: the decoder checks before a job starts, and the 10-second
// no-progress timeout, either kept by each burn-in itself or ticked by the watcher's timer, with the
// timed-out line in the log, the partial output deleted and the job going on with the next file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "batch/burn_checks.h"
#include "batch_test_media.h"
#include "media/codec/codec_registry.h"
#include "stalled_burn.h"
#include "tools/burn_in.h"

namespace zorv::batch {
namespace {

namespace fs = std::filesystem;
using media::FileType;
using testing::BatchMedia;
using testing::TempFolder;
namespace codec = media::codec;

class PlainDrawer : public overlay::PictureDrawer {
public:
    bool prepare(int, int, bool, int, int) override { return true; }
    void band(int& top, int& rows) const override { top = 0, rows = 16; }
    void draw(core::RgbPicture&, const overlay::BurnFrameInfo&) override {}
};

TEST(BatchBurnChecks, MissingDecoderByFamily) {
    const core::Options none = core::Options::defaults();
    // DV files need no decoder; nothing is checked for other operations' types either.
    EXPECT_FALSE(checkBurnDecoders({FileType::kAviType1, FileType::kAviType2, FileType::kHdv1}, none, true));

    auto p = checkBurnDecoders({FileType::kAviType1, FileType::kHdv2}, none, true);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->title, "No MPEG-2 video decoder configured");
    EXPECT_EQ(p->text.rfind("ZORV Pro is not yet configured with a 3rd party MPEG-2 video decoder.\r\n\r\nPlease go "
                            "to the \"Decoders\" section of the Tools->Options dialog and select a 3rd party MPEG-2 "
                            "video decoder from the list",
                            0),
              0u);
    EXPECT_NE(p->text.find("does not have a suitable MPEG-2 video decoder installed"), std::string::npos);

    const auto& mpeg2 = codec::availableCodecs(codec::CodecRole::kMpeg2VideoDecoder);
    const auto& h264 = codec::availableCodecs(codec::CodecRole::kH264VideoDecoder);
    if (mpeg2.empty() || h264.empty()) GTEST_SKIP() << "libavcodec without MPEG-2 or H.264 decoders";

    core::Options chosen = none;
    chosen.mpeg2Decoder = mpeg2.front().selection();
    p = checkBurnDecoders({FileType::kHdv2, FileType::kAvchd}, chosen, true);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->title, "No AVCHD video decoder configured");
    EXPECT_NE(p->text.find("a 3rd party AVCHD video decoder."), std::string::npos);
    chosen.avcVideoDecoder = h264.front().selection();
    EXPECT_FALSE(checkBurnDecoders({FileType::kHdv2, FileType::kAvchd}, chosen, true));

    // A choice that is no longer available counts as none in the window...
    chosen.avcVideoDecoder.id = core::Guid::fromName("libavcodec:no-such-decoder");
    EXPECT_TRUE(checkBurnDecoders({FileType::kAvchd}, chosen, true));
    // ...while the command line takes any decoder there is.
    EXPECT_FALSE(checkBurnDecoders({FileType::kHdv2, FileType::kAvchd}, none, false));
}

TEST(BatchBurnChecks, TimeoutWatchCountsTicksPerFile) {
    BurnTimeoutWatch watch(3);
    BatchSnapshot s;
    EXPECT_FALSE(watch.tick(s));  // no stream burn-in running
    s.burnFile = 2;
    s.burnPosition = 0;
    EXPECT_FALSE(watch.tick(s));
    EXPECT_FALSE(watch.tick(s));
    s.burnFile = 3;  // the next file starts the count again
    EXPECT_FALSE(watch.tick(s));
    EXPECT_FALSE(watch.tick(s));
    EXPECT_TRUE(watch.tick(s));
    // A burn-in that has delivered a picture never times out.
    BurnTimeoutWatch moving(3);
    s.burnPosition = 400000;
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(moving.tick(s));
}

class BatchBurnTimeout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(BatchMedia::get().ok()) << "zorv-gen failed"; }

    BatchSettings settings(const std::string& folder, bool watcher, int ownTicks) {
        BatchSettings s;
        s.op = BatchOp::kBurnIn;
        s.outputFolder = folder;
        s.drawers = [] { return std::make_unique<PlainDrawer>(); };
        s.burnJobs = testing::stalledBurnFactory(5, ownTicks);
        s.watcherTimesOutBurnIn = watcher;
        return s;
    }

    // The HDV and AVCHD blocks end with their timed-out lines, their outputs are gone, and the DV
    // file after them is burnt in.
    void expectTimedOutThenNext(const BatchRunner& runner, const TempFolder& out) {
        const BatchMedia& m = BatchMedia::get();
        const std::string log = testing::readText(runner.logPath());
        const auto blocks = testing::fileBlocks(testing::logLines(log));
        for (const auto& [name, line] :
             {std::pair<const char*, const char*>{"hdv", tools::kBatchTimedOutHdv}, {"avchd", tools::kBatchTimedOutAvchd}}) {
            SCOPED_TRACE(name);
            const auto& b = blocks.at(m.path(name));
            ASSERT_EQ(b.size(), 3u);
            EXPECT_EQ(b[0], "Burning-in metadata ...");
            const std::string output = b[1].substr(std::string("Output file: ").size());
            EXPECT_FALSE(fs::exists(output)) << output;
            EXPECT_NE(log.find(std::string(line) + "\r\n"), std::string::npos);
        }
        EXPECT_EQ(blocks.at(m.path("a1")).back(), "Burn-in Complete");
        EXPECT_TRUE(fs::exists(out.file("Clip1-burn.avi")));
        const auto outcomes = runner.outcomes();
        EXPECT_EQ(outcomes[0], FileOutcome::kFailed);
        EXPECT_EQ(outcomes[1], FileOutcome::kFailed);
        EXPECT_EQ(outcomes[2], FileOutcome::kDone);
        EXPECT_FALSE(runner.aborted());
    }
};

TEST_F(BatchBurnTimeout, EachBurnInTimesItselfOutWithoutAWatcher) {
    TempFolder out;
    BatchRunner runner(settings(out.str(), false, 20));
    const BatchMedia& m = BatchMedia::get();
    runner.run({m.path("hdv"), m.path("avchd"), m.path("a1")});
    expectTimedOutThenNext(runner, out);
}

TEST_F(BatchBurnTimeout, WatcherTicksTimeOutTheRunningBurnIn) {
    TempFolder out;
    // The job's own watch is switched off by the runner: only the watcher's ticks end it.
    BatchRunner runner(settings(out.str(), true, 1));
    const BatchMedia& m = BatchMedia::get();
    ASSERT_TRUE(runner.start({m.path("hdv"), m.path("avchd"), m.path("a1")}));
    BurnTimeoutWatch watch(10);
    int firings = 0;
    std::vector<int64_t> seen;
    while (runner.running()) {
        const BatchSnapshot s = runner.poll();
        if (s.burnFile >= 0) {
            EXPECT_EQ(s.burnPosition, 0);
            if (seen.empty() || seen.back() != s.burnFile) seen.push_back(s.burnFile);
        }
        if (watch.tick(s)) {
            ++firings;
            runner.timeOutBurnIn();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    runner.wait();
    EXPECT_GE(firings, 2);  // a late tick may repeat on a burn-in that is already ending
    EXPECT_EQ(seen, (std::vector<int64_t>{0, 1}));
    expectTimedOutThenNext(runner, out);
}

}  // namespace
}  // namespace zorv::batch
