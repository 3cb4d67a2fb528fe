// The Capture window under the offscreen platform, on a simulated deck playing a generated tape as fast
// as the capture buffer takes the frames: status lines, a capture of a few seconds started and stopped
// with the buttons, the AVI it leaves; the window position kept; and the main window's exit refused
// while the Capture window is open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include <QScreen>

#include "app/batch_dialog.h"
#include "app/capture_dialog.h"
#include "app/main_dialog.h"
#include "app/menu_state.h"
#include "app_test_support.h"
#include "core/settings_store.h"
#include "core/window_placement.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"

namespace zorv::app {
namespace {

namespace fs = std::filesystem;

class CaptureDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::ensureQtApplication();
        dir_ = apptest::testFolder("zorv-app-capture");
        store_ = std::make_unique<core::SettingsStore>(dir_ / "settings.ini");
        tape_ = gen::cachedClip("app-capture-tape.avi", gen::palClip(100), gen::Container::Avi2);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<CCaptureDialog> openOnTape() {
        auto dialog = std::make_unique<CCaptureDialog>(nullptr, core::Options::defaults(), *store_);
        dialog->setSimDeckOptions({capture::SimPacing::kAsFastAsPossible, capture::DeviceKind::kVcr, false});
        EXPECT_TRUE(dialog->addAndSelectDevice(QString::fromStdString("sim:" + tape_)));
        dialog->show();
        return dialog;
    }

    fs::path dir_;
    std::string tape_;
    std::unique_ptr<core::SettingsStore> store_;
    apptest::Prompts prompts_;
};

TEST_F(CaptureDialogTest, CapturesTheTapeFromPlayToStopIntoOneAvi) {
    auto dialog = openOnTape();
    ASSERT_TRUE(dialog->deviceOpen());
    ASSERT_TRUE(apptest::pumpUntil([&] { return dialog->statusLine("Mode") == "VCR"; }));
    EXPECT_EQ(dialog->statusLine("Signal"), "PAL");
    EXPECT_EQ(dialog->statusLine("Timecode"), "00:00:00:00");
    EXPECT_EQ(dialog->captureButtonText(), "Capture");

    // Without a path the capture is refused with the system's message.
    dialog->toggleCapture();
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_EQ(prompts_.seen[0].title, "Error!");
    EXPECT_EQ(prompts_.seen[0].text, "A Capture file pathname is required");
    EXPECT_FALSE(dialog->capturing());

    const std::string base = (dir_ / "Holiday").string();
    dialog->setCapturePath(QString::fromStdString(base));
    dialog->setReelName("TAPE01");
    dialog->setUseSplitter(false);
    dialog->toggleCapture();
    ASSERT_TRUE(dialog->capturing());
    EXPECT_EQ(dialog->captureButtonText(), "Stop Capture");
    EXPECT_EQ(dialog->statusLine("Log file").toStdString(), base + ".log");

    dialog->togglePause();
    EXPECT_EQ(dialog->pauseButtonText(), "Resume");
    dialog->togglePause();
    EXPECT_EQ(dialog->pauseButtonText(), "Pause");

    // The transport thread starts the tape; the window keeps running its timers meanwhile.
    dialog->transport(capture::TransportCommand::kPlay);
    ASSERT_TRUE(apptest::pumpUntil([&] { return dialog->statusLine("Duration") == "00:00:04"; }, 20000))
        << dialog->statusLine("Duration").toStdString();
    EXPECT_EQ(dialog->statusLine("File number"), "1");
    EXPECT_EQ(dialog->statusLine("File path").toStdString(), base + ".avi");
    EXPECT_EQ(dialog->statusLine("Dropped"), "0");

    dialog->toggleCapture();
    EXPECT_FALSE(dialog->capturing());
    EXPECT_EQ(dialog->captureButtonText(), "Capture");
    ASSERT_EQ(dialog->lastFiles().size(), 1u);
    EXPECT_EQ(dialog->lastFiles()[0].path, base + ".avi");
    EXPECT_EQ(dialog->lastFiles()[0].frames, 100);

    media::DvMediaFile avi;
    ASSERT_TRUE(avi.open(base + ".avi"));
    EXPECT_EQ(avi.frameCount(), 100);
    EXPECT_TRUE(fs::exists(base + ".csv"));
    EXPECT_EQ(prompts_.seen.size(), 1u);
}

TEST_F(CaptureDialogTest, ClosingKeepsThePositionForTheNextOpening) {
    QRect closedAt;
    {
        auto dialog = openOnTape();
        dialog->move(40, 60);
        closedAt = dialog->geometry();
        dialog->close();
    }
    const core::StoredCapturePlacement stored = store_->readCapturePlacement();
    EXPECT_EQ(stored.x, closedAt.left());
    EXPECT_EQ(stored.y, closedAt.top());
    EXPECT_EQ(stored.height, closedAt.height());

    // The next window comes back there, kept on the screen by the placement rule.
    auto again = openOnTape();
    const QSize avail = QApplication::primaryScreen()->availableGeometry().size();
    const auto expected = core::restoreCapturePlacement(stored, again->sizeHint().width(), again->sizeHint().height(),
                                                        core::ScreenSize{avail.width(), avail.height()});
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(again->geometry().left(), expected->left);
    EXPECT_EQ(again->geometry().top(), expected->top);
}

TEST_F(CaptureDialogTest, MainWindowRefusesToCloseWhileTheCaptureWindowIsOpen) {
    CMainDialog main(*store_, false);
    main.show();
    main.command(cmd::kCapture);
    auto* capture = main.findChild<CCaptureDialog*>();
    ASSERT_NE(capture, nullptr);
    EXPECT_TRUE(capture->isVisible());
    EXPECT_EQ(capture->windowTitle(), "Capture DV");

    EXPECT_FALSE(main.close());
    ASSERT_FALSE(prompts_.seen.empty());
    EXPECT_EQ(prompts_.seen.back().title, "Capture window is active");
    EXPECT_EQ(prompts_.seen.back().text, "You can not exit ZORV Pro because the Capture window is open.");

    capture->close();
    ASSERT_TRUE(apptest::pumpUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return main.findChild<CCaptureDialog*>() == nullptr;
    }));
    EXPECT_TRUE(main.close());
}

TEST_F(CaptureDialogTest, BatchMenuOpensOneBatchWindowThatAlsoHoldsOffExit) {
    CMainDialog main(*store_, false);
    main.show();
    main.command(cmd::kBatch);
    main.command(cmd::kBatch);  // raises the open window instead of a second one
    const auto windows = main.findChildren<CBatchDialog*>();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_FALSE(main.close());
    ASSERT_FALSE(prompts_.seen.empty());
    EXPECT_EQ(prompts_.seen.back().title, "Batch Processing window is active");

    windows[0]->close();
    ASSERT_TRUE(apptest::pumpUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return main.findChild<CBatchDialog*>() == nullptr;
    }));
    EXPECT_TRUE(main.close());
}

TEST_F(CaptureDialogTest, UnpluggingDuringCaptureEndsItWithTheRemovalMessage) {
    auto dialog = openOnTape();
    auto* deck = dynamic_cast<capture::SimDeck*>(dialog->device());
    ASSERT_NE(deck, nullptr);
    const std::string base = (dir_ / "Unplugged").string();
    dialog->setCapturePath(QString::fromStdString(base));
    dialog->setUseSplitter(false);
    dialog->toggleCapture();
    ASSERT_TRUE(dialog->capturing());
    dialog->transport(capture::TransportCommand::kPlay);
    ASSERT_TRUE(apptest::pumpUntil([&] { return dialog->statusLine("File number") == "1"; }));
    deck->unplug();
    ASSERT_TRUE(apptest::pumpUntil([&] { return !dialog->capturing() && !dialog->deviceOpen(); }));
    ASSERT_FALSE(prompts_.seen.empty());
    EXPECT_EQ(prompts_.seen.back().title, "Device removed or unplugged");
    EXPECT_EQ(prompts_.seen.back().text, "Currently used Capture device has been removed.");
    EXPECT_EQ(dialog->captureButtonText(), "Capture");
    ASSERT_EQ(dialog->lastFiles().size(), 1u);
    media::DvMediaFile avi;
    ASSERT_TRUE(avi.open(base + ".avi"));
    EXPECT_EQ(avi.frameCount(), dialog->lastFiles()[0].frames);
}

}  // namespace
}  // namespace zorv::app
