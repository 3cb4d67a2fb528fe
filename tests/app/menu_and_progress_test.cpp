// The menu state table per file type and the progress window's percentage and remaining-time rules.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <filesystem>

#include "app/menu_state.h"
#include "app/progress_window.h"
#include "app_test_support.h"
#include "core/settings_store.h"

namespace zorv::app {
namespace {

using media::FileType;

uint32_t fourcc(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

TEST(MenuState, DvTypesOfferTheOtherContainersAndRawDvHasNoFileTools) {
    MenuState t1 = menuStateFor(FileType::kAviType1, fourcc("dvsd"), false);
    EXPECT_TRUE(t1.convertMenu);
    EXPECT_FALSE(t1.convertAvi1);
    EXPECT_TRUE(t1.convertAvi2 && t1.convertRawDv);
    EXPECT_TRUE(t1.split && t1.modify && t1.burnIn && t1.extractAudio && t1.directMenu);
    EXPECT_TRUE(t1.scenes && t1.minuteSteps);
    EXPECT_FALSE(t1.displayMap || t1.iFrameSteps);

    MenuState t2 = menuStateFor(FileType::kAviType2, fourcc("DVSD"), false);
    EXPECT_TRUE(t2.convertAvi1);
    EXPECT_FALSE(t2.convertAvi2);

    MenuState raw = menuStateFor(FileType::kRawDv, fourcc("dvsd"), false);
    EXPECT_TRUE(raw.convertMenu && raw.convertAvi1 && raw.convertAvi2);
    EXPECT_FALSE(raw.convertRawDv);
    EXPECT_FALSE(raw.extractAudio || raw.burnIn || raw.split || raw.modify || raw.directMenu || raw.directBurnIn);
    EXPECT_TRUE(raw.exportMetadata && raw.exportSubtitles);
}

TEST(MenuState, OtherVideoCodesOnlyExport) {
    MenuState s = menuStateFor(FileType::kAviType1, fourcc("CDVC"), false);
    EXPECT_FALSE(s.convertMenu || s.convertAvi2 || s.burnIn || s.split || s.directMenu);
    EXPECT_TRUE(s.exportMetadata && s.exportSubtitles && s.transport);
}

TEST(MenuState, StreamsStepByIFrameAndAvchdMapFollowsGeotagging) {
    MenuState hdv = menuStateFor(FileType::kHdv2, fourcc("    "), true);
    EXPECT_TRUE(hdv.extractAudio && hdv.burnIn && hdv.iFrameSteps);
    EXPECT_FALSE(hdv.split || hdv.modify || hdv.directMenu || hdv.convertMenu);
    EXPECT_FALSE(hdv.minuteSteps || hdv.scenes || hdv.displayMap);
    EXPECT_FALSE(menuStateFor(FileType::kAvchd, 0, false).displayMap);
    EXPECT_TRUE(menuStateFor(FileType::kAvchd, 0, true).displayMap);
    EXPECT_EQ(menuStateFor(FileType::kHdv1, 0, false), noFileMenuState());
}

TEST(ProgressArithmetic, PercentRoundsHalfUp) {
    EXPECT_EQ(progressPercent(0, 0, 100), 0);
    EXPECT_EQ(progressPercent(1, 0, 200), 1);  // 0.5 + 0.5
    EXPECT_EQ(progressPercent(2, 0, 3), 67);
    EXPECT_EQ(progressPercent(150, 100, 200), 50);
    EXPECT_EQ(progressPercent(5, 10, 10), 0);
}

TEST(ProgressArithmetic, RemainingTimeForms) {
    EXPECT_EQ(remainingTimeText(50, 100), "2 Minutes Remaining");  // R = 100
    // R = 7: seconds rounded to a multiple of five.
    EXPECT_EQ(remainingTimeText(50, 7), "10 Seconds Remaining");
    EXPECT_EQ(remainingTimeText(50, 1), std::nullopt);  // R = 1: left unchanged
    EXPECT_EQ(remainingTimeText(50, 3700), "1 Hours 2 Mins Remaining");
    EXPECT_EQ(remainingTimeText(0, 100), std::nullopt);
}

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::ensureQtApplication();
        dir_ = std::filesystem::temp_directory_path() / ("zorv-app-progress-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        store_ = std::make_unique<core::SettingsStore>(dir_ / "settings.ini");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    std::unique_ptr<core::SettingsStore> store_;
};

TEST_F(ProgressWindowTest, CaptionCarriesPercentAndRemainingTimeWaitsFiveSeconds) {
    ProgressWindow w(nullptr, store_.get());
    int64_t now = 1000;
    w.setClock([&] { return now; });
    w.setCaption("Converting");
    w.setRange(0, 1000);
    w.start();
    now = 1004;
    w.setPosition(100);
    EXPECT_EQ(w.captionText(), "Converting [10%]");
    EXPECT_TRUE(w.remainingText().isEmpty()) << "before 5 seconds";
    now = 1100;
    w.setPosition(500);
    EXPECT_EQ(w.captionText(), "Converting [50%]");
    EXPECT_EQ(w.remainingText(), "2 Minutes Remaining");
    now = 1101;  // within 2 seconds of the last update: unchanged
    w.setPosition(900);
    EXPECT_EQ(w.remainingText(), "2 Minutes Remaining");
    w.finish();
    EXPECT_FALSE(w.cancelled());
}

TEST_F(ProgressWindowTest, EscapeCancelsTheWorkAndThePositionIsSaved) {
    ProgressWindow w(nullptr, store_.get());
    core::Progress progress;
    progress.setTotal(100);
    int polls = 0;
    bool cancelled = !w.follow(progress, [&] {
        if (++polls == 3) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&w, &esc);
        }
        return polls > 500;
    });
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(progress.cancelled());
    EXPECT_LT(polls, 500);
    EXPECT_EQ(store_->progressWindowX(), w.x());
    EXPECT_EQ(store_->progressWindowY(), w.y());
}

}  // namespace
}  // namespace zorv::app
