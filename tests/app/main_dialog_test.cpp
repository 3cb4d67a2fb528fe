// The main window on generated media under the offscreen platform: a DV file opened from the command
// line, stepping, scene jumps, the panel text, title and menu state; refusals; and an AVCHD file with
// GPS whose Display Map opens the address of the shown picture's position.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <QAction>
#include <QKeyEvent>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include "app/main_dialog.h"
#include "app/metadata_panel.h"
#include "app/menu_state.h"
#include "app_test_support.h"
#include "core/settings_store.h"
#include "gen/avchd_writer.h"
#include "gen/broken_corpus.h"
#include "gen/clip_writer.h"
#include "gen/hdv_writer.h"
#include "media/avi_chunks.h"
#include "media/codec/codec_registry.h"
#include "media/file_io.h"
#include "playback/map_request.h"

namespace zorv::app {
namespace {

namespace fs = std::filesystem;

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::ensureQtApplication();
        dir_ = apptest::testFolder("zorv-app-main");
        store_ = std::make_unique<core::SettingsStore>(dir_ / "settings.ini");
    }
    void TearDown() override {
        window_.reset();
        fs::remove_all(dir_);
    }
    CMainDialog& makeWindow() {
        window_ = std::make_unique<CMainDialog>(*store_, false);
        window_->show();
        return *window_;
    }
    // A key typed while a child of the window (the metadata panel) has the focus, as the desktop
    // delivers it: shortcuts first, then the focused widget.
    bool key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* child = window_->metadataPanel();
        child->setFocusPolicy(Qt::StrongFocus);
        window_->activateWindow();
        QApplication::setActiveWindow(window_.get());
        child->setFocus();
        EXPECT_EQ(QApplication::focusWidget(), child);
        QTest::keyClick(child, static_cast<Qt::Key>(k), mods);
        return true;
    }
    int64_t index() { return window_->player() ? window_->player()->pictureIndex() : -1; }
    bool enabled(int id) { return window_->action(id) && window_->action(id)->isEnabled(); }

    // The sample clip (scene cut at frame 125) with the reel name "TAPE07" in its timecode list.
    std::string sampleWithReel() {
        const std::string cached = gen::cachedClip("app-sample.avi", gen::sampleClip(), gen::Container::Avi1);
        const fs::path path = dir_ / "holiday.avi";
        fs::copy_file(cached, path, fs::copy_options::overwrite_existing);
        media::File f;
        EXPECT_TRUE(f.open(path.string(), media::File::Mode::kReadWrite));
        EXPECT_TRUE(media::writeTimecodeList(f.fd(), media::timecodeText(0, 0, 0, 0, false), "TAPE07"));
        return path.string();
    }

    fs::path dir_;
    std::unique_ptr<core::SettingsStore> store_;
    std::unique_ptr<CMainDialog> window_;
    apptest::Prompts prompts_;
};

TEST_F(MainDialogTest, DvFileFromTheCommandLineStepsAndJumpsToTheNextScene) {
    const std::string path = sampleWithReel();
    CMainDialog& w = makeWindow();
    EXPECT_EQ(w.windowTitle(), "ZORV Pro");
    EXPECT_FALSE(enabled(cmd::kClose));
    EXPECT_TRUE(key(Qt::Key_Space)) << "taken, and harmless, without a file";

    w.openAtStart(QString::fromStdString(path));
    ASSERT_TRUE(apptest::pumpUntil([&] { return w.fileOpen(); })) << "command-line file not opened";
    EXPECT_TRUE(prompts_.seen.empty());
    EXPECT_EQ(w.windowTitle(), "holiday.avi (TAPE07)");
    EXPECT_EQ(w.fileFamily(), core::MediaFamily::kDv);
    EXPECT_EQ(w.aviType(), 1);
    ASSERT_EQ(store_->recentFiles().size(), 1u);
    EXPECT_EQ(store_->recentFiles()[0], path);

    // Menu state of a "dvsd" AVI Type 1 file.
    EXPECT_TRUE(enabled(cmd::kClose) && enabled(cmd::kSaveImage) && enabled(cmd::kProperties));
    EXPECT_FALSE(enabled(cmd::kConvertAvi1));
    EXPECT_TRUE(enabled(cmd::kConvertAvi2) && enabled(cmd::kConvertRawDv));
    EXPECT_TRUE(enabled(cmd::kSplit) && enabled(cmd::kModify) && enabled(cmd::kDirectBurnIn));
    EXPECT_FALSE(enabled(cmd::kDisplayMap));
    EXPECT_EQ(w.action(cmd::kFwdSecond)->text(), "F&wd 1 sec\tShift+Right");

    // The panel shows the first frame's metadata.
    EXPECT_EQ(index(), 0);
    EXPECT_TRUE(w.panelText().contains("00:00:00:00")) << w.panelText().toStdString();
    EXPECT_TRUE(w.panelText().contains("10:30:00")) << w.panelText().toStdString();

    // Right: one frame on, with that frame's own timecode.
    EXPECT_TRUE(key(Qt::Key_Right));
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(w.panelText().contains("00:00:00:01")) << w.panelText().toStdString();
    // Shift+Right: one second; Left: one frame back.
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(index(), 26);
    key(Qt::Key_Left);
    EXPECT_EQ(index(), 25);
    EXPECT_TRUE(w.panelText().contains("00:00:01:00")) << w.panelText().toStdString();

    // Page Down: scans once, then the scene cut at 5 s with its jumped timecode and clock.
    EXPECT_TRUE(key(Qt::Key_PageDown));
    EXPECT_EQ(index(), 125);
    EXPECT_TRUE(w.panelText().contains("00:10:00:00")) << w.panelText().toStdString();
    EXPECT_TRUE(w.panelText().contains("12:00:00")) << w.panelText().toStdString();
    EXPECT_EQ(w.sliderValue(), 1000);
    EXPECT_TRUE(prompts_.seen.empty());

    // Page Up goes back to the first scene; Ctrl+Left stays clamped at the start.
    key(Qt::Key_PageUp);
    EXPECT_EQ(index(), 0);
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(index(), 249);
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(index(), 0);

    // Play, then Period stops on the first picture.
    key(Qt::Key_Space);
    EXPECT_TRUE(w.playing());
    key(Qt::Key_Period);
    EXPECT_FALSE(w.playing());
    EXPECT_EQ(index(), 0);

    // End and Home go to the last and first pictures; Space at the end plays from the start.
    key(Qt::Key_End);
    EXPECT_EQ(index(), w.player()->pictureCount() - 1);
    key(Qt::Key_Space);
    EXPECT_TRUE(w.playing());
    EXPECT_LT(index(), 25) << "started again from the beginning";
    key(Qt::Key_Space);
    EXPECT_FALSE(w.playing());
    key(Qt::Key_Home);
    EXPECT_EQ(index(), 0);

    // Without a sound device (the tests have none) the volume and mute are grey and say why.
    EXPECT_FALSE(w.volumeControl()->isEnabled());
    EXPECT_EQ(w.volumeControl()->toolTip(), "No sound device: playing without sound");

    w.command(cmd::kClose);
    EXPECT_FALSE(w.fileOpen());
    EXPECT_EQ(w.windowTitle(), "ZORV Pro");
    EXPECT_EQ(w.menuState(), noFileMenuState());
    EXPECT_FALSE(enabled(cmd::kPlayPause) || enabled(cmd::kNextScene) || enabled(cmd::kSaveImage));
    EXPECT_TRUE(w.panelText().isEmpty());
}

TEST_F(MainDialogTest, RawDvWithoutReelHasNoFileTools) {
    const std::string path = gen::cachedClip("app-raw.dv", gen::palClip(50), gen::Container::RawDv);
    CMainDialog& w = makeWindow();
    ASSERT_TRUE(w.openFile(QString::fromStdString(path)));
    EXPECT_EQ(w.fileFamily(), core::MediaFamily::kDv);
    EXPECT_EQ(w.aviType(), 0);
    EXPECT_EQ(w.windowTitle(), "app-raw.dv (no reel)");
    EXPECT_TRUE(enabled(cmd::kConvertAvi1) && enabled(cmd::kConvertAvi2));
    EXPECT_FALSE(enabled(cmd::kConvertRawDv) || enabled(cmd::kSplit) || enabled(cmd::kBurnIn) ||
                 enabled(cmd::kExtractAudio));
    EXPECT_TRUE(enabled(cmd::kExportMetadata));
}

TEST_F(MainDialogTest, RefusesHdv1AndUnknownFilesWithThePath) {
    gen::HdvSpec desc;
    desc.line720 = true;
    const std::string hdv1 = gen::cachedHdv("app-hdv1.m2t", desc);
    ASSERT_FALSE(hdv1.empty());
    CMainDialog& w = makeWindow();
    EXPECT_FALSE(w.openFile(QString::fromStdString(hdv1)));
    EXPECT_FALSE(w.fileOpen());
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_EQ(prompts_.seen[0].title, "Error!");
    EXPECT_TRUE(prompts_.seen[0].text.startsWith("File is 720-line HDV M2T format:\r\n\r\n" + QString::fromStdString(hdv1)));

    const fs::path junk = dir_ / "notes.avi";
    {
        std::FILE* f = std::fopen(junk.c_str(), "wb");
        for (int i = 0; i < 200000; ++i) std::fputc('x', f);
        std::fclose(f);
    }
    EXPECT_FALSE(w.openFile(QString::fromStdString(junk.string())));
    ASSERT_EQ(prompts_.seen.size(), 2u);
    EXPECT_EQ(prompts_.seen[1].text, "File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format:\r\n\r\n" +
                                         QString::fromStdString(junk.string()));

    EXPECT_FALSE(w.openFile(QString::fromStdString((dir_ / "missing.avi").string())));
    EXPECT_TRUE(prompts_.seen.back().text.startsWith("Unable to open the requested file:\r\n\r\n"));
    EXPECT_TRUE(store_->recentFiles().empty());
}

gen::AvchdSpec gpsTrack() {
    gen::AvchdSpec s;
    s.frames = 250;
    s.width = 640;
    s.height = 352;
    s.gps = gen::GpsMode::Track;
    s.gopSize = 12;
    return s;
}

std::string writtenPosition(const gen::AvchdSpec& desc, int64_t n) {
    const gen::GpsFix f = gen::avchdGpsFix(desc, n);
    double lat = f.latDeg + f.latMin / 60.0 + f.latSecX100 / 360000.0;
    double lon = f.lonDeg + f.lonMin / 60.0 + f.lonSecX100 / 360000.0;
    if (f.latRef == 'S') lat = -lat;
    if (f.lonRef == 'W') lon = -lon;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5f,%.5f", lat, lon);
    return buf;
}

TEST_F(MainDialogTest, FirstRunPlaysAvchdWithTheBuiltInDecoders) {
    const std::string path = gen::cachedAvchd("app-gps.m2ts", gpsTrack());
    {
        CMainDialog& w = makeWindow();
        EXPECT_TRUE(w.options().avcVideoDecoder.isSet() && w.options().avcAudioDecoder.isSet());
        ASSERT_TRUE(w.openFile(QString::fromStdString(path)))
            << (prompts_.seen.empty() ? "" : prompts_.seen[0].text.toStdString());
        EXPECT_TRUE(prompts_.seen.empty());
        key(Qt::Key_Space);
        EXPECT_TRUE(apptest::pumpUntil([&] { return index() >= 5; })) << "plays";
        key(Qt::Key_Space);
        // Said once in the status line.
        EXPECT_EQ(w.statusBar()->currentMessage(), "No sound device: playing without sound");
    }
    // The choice is stored: the Decoders page shows it.
    EXPECT_TRUE(store_->readDecoderSelection(core::DecoderRole::kAvcVideo).isSet());
    EXPECT_TRUE(store_->readDecoderSelection(core::DecoderRole::kMpeg2Video).isSet());

    // A choice of none that the user stored is kept, and refused as before.
    store_->writeDecoderSelection(core::DecoderRole::kAvcVideo, core::DecoderSelection{});
    CMainDialog& again = makeWindow();
    EXPECT_FALSE(again.openFile(QString::fromStdString(path)));
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_EQ(prompts_.seen[0].title, "No AVCHD video decoder configured");
    EXPECT_FALSE(again.fileOpen());
}

// An AVCHD stream whose slices were all damaged: the window names the configured decoder that gave
// no picture, and no file is left open.
TEST_F(MainDialogTest, AStreamWithNoDecodablePictureNamesTheDecoder) {
    ASSERT_TRUE(gen::writeBrokenCorpus((dir_ / "corpus").string(), {"avchd"}).ok());
    const fs::path path = dir_ / "corpus" / "avchd_no_decodable_picture.m2ts";
    CMainDialog& w = makeWindow();
    const std::string decoder = w.options().avcVideoDecoder.name;
    ASSERT_TRUE(w.options().avcVideoDecoder.isSet());
    EXPECT_FALSE(w.openFile(QString::fromStdString(path.string())));
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_EQ(prompts_.seen[0].title, "Error!");
    EXPECT_EQ(prompts_.seen[0].text, QString::fromStdString("No picture of this file could be decoded by " + decoder));
    EXPECT_FALSE(w.fileOpen());
    EXPECT_TRUE(store_->recentFiles().empty());
}

TEST_F(MainDialogTest, HdvPanelShowsTheWhiteBalanceLighting) {
    const std::string path = gen::cachedHdv("app-hdv.m2t", gen::HdvSpec{});
    CMainDialog& w = makeWindow();
    ASSERT_TRUE(w.openFile(QString::fromStdString(path)));
    EXPECT_TRUE(w.panelText().contains("PRESET | ")) << w.panelText().toStdString();
    EXPECT_TRUE(w.panelText().contains("CANDLE")) << w.panelText().toStdString();
    // The one-minute steps are grey for HDV, and so are their keys.
    key(Qt::Key_Right);
    EXPECT_EQ(index(), 1);
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(index(), 1);
}

TEST_F(MainDialogTest, OwnVideoWindowClosedComesBackWithTheNextFileAndOnPlay) {
    const std::string path = gen::cachedClip("app-raw.dv", gen::palClip(50), gen::Container::RawDv);
    CMainDialog& w = makeWindow();
    w.options().renderer = 3;  // software drawing in a window of its own
    w.applyRenderer();
    ASSERT_TRUE(w.videoWindow());
    EXPECT_TRUE(w.videoWindow()->isVisible());
    w.videoWindow()->close();
    EXPECT_FALSE(w.videoWindow()->isVisible());
    ASSERT_TRUE(w.openFile(QString::fromStdString(path)));
    EXPECT_TRUE(w.videoWindow()->isVisible()) << "back with the next file";
    w.videoWindow()->close();
    w.command(cmd::kPlayPause);
    EXPECT_TRUE(w.videoWindow()->isVisible()) << "back on Play";
    w.command(cmd::kPlayPause);
    // Its keys are the main window's.
    w.videoWindow()->activateWindow();
    QApplication::setActiveWindow(w.videoWindow());
    QTest::keyClick(w.videoWindow(), Qt::Key_End);
    EXPECT_EQ(index(), w.player()->pictureCount() - 1);
    // Back to the renderer inside the main window: no separate window.
    w.options().renderer = 1;
    w.applyRenderer();
    EXPECT_EQ(w.videoWindow(), nullptr);
}

TEST_F(MainDialogTest, AvchdWithGpsOffersDisplayMapAtTheShownPosition) {
    using media::codec::CodecRole;
    auto video = media::codec::findCodecByName(CodecRole::kH264VideoDecoder, "h264");
    auto audio = media::codec::findCodecByName(CodecRole::kAc3AudioDecoder, "ac3");
    ASSERT_TRUE(video && audio);
    store_->writeDecoderSelection(core::DecoderRole::kAvcVideo, video->selection());
    store_->writeDecoderSelection(core::DecoderRole::kAvcAudio, audio->selection());

    const gen::AvchdSpec desc = gpsTrack();
    const std::string path = gen::cachedAvchd("app-gps.m2ts", desc);
    std::vector<QString> opened;
    CMainDialog::setUrlOpener([&](const QString& url) {
        opened.push_back(url);
        return true;
    });
    CMainDialog& w = makeWindow();
    ASSERT_TRUE(w.openFile(QString::fromStdString(path)))
        << (prompts_.seen.empty() ? "" : prompts_.seen[0].text.toStdString());
    EXPECT_EQ(w.fileFamily(), core::MediaFamily::kAvchd);
    EXPECT_TRUE(w.hasGeotagging());
    EXPECT_TRUE(enabled(cmd::kDisplayMap));
    EXPECT_FALSE(enabled(cmd::kSplit) || enabled(cmd::kNextScene) || enabled(cmd::kFwdMinute));
    EXPECT_EQ(w.action(cmd::kFwdSecond)->text(), "F&wd I-frame\tShift+Right");

    // Move on by two seconds of pictures (the track moves once per second) and open the map there.
    ASSERT_TRUE(w.player()->setPictureIndex(60).ok());
    const int64_t n = index();
    EXPECT_EQ(n, 60);
    EXPECT_TRUE(key(Qt::Key_M, Qt::ControlModifier));
    ASSERT_EQ(opened.size(), 1u);
    const std::string pos = writtenPosition(desc, n);
    EXPECT_EQ(opened[0].toStdString(), playback::mapRequestUrl(pos));
    EXPECT_TRUE(opened[0].contains(QString::fromStdString("ll=" + pos + "&q=" + pos)));
    EXPECT_EQ(w.lastMapUrl(), opened[0]);
    EXPECT_TRUE(prompts_.seen.empty());
    CMainDialog::setUrlOpener({});
}

TEST_F(MainDialogTest, ExitSavesThePlacementOnlyWhenRemembered) {
    CMainDialog& w = makeWindow();
    w.setGeometry(100, 80, 500, 420);
    w.setBatchWindow(&w);
    EXPECT_FALSE(w.close()) << "exit refused while the Batch window is open";
    ASSERT_FALSE(prompts_.seen.empty());
    EXPECT_EQ(prompts_.seen.back().title, "Batch Processing window is active");
    w.setBatchWindow(nullptr);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(store_->readInt(core::kSectionOptions, "RMWPos", -5), 0);
    EXPECT_EQ(store_->readInt(core::kSectionOptions, "RMWx", -1), -1);

    store_->writeInt(core::kSectionOptions, "RMWPos", 1);
    CMainDialog& again = makeWindow();
    EXPECT_TRUE(again.options().rememberMainWindowPosition);
    again.setGeometry(120, 90, 520, 430);
    EXPECT_TRUE(again.close());
    EXPECT_EQ(store_->readInt(core::kSectionOptions, "RMWPos", -5), 1);
    EXPECT_EQ(store_->readInt(core::kSectionOptions, "RMWw", -1), 520);
    EXPECT_EQ(store_->readInt(core::kSectionOptions, "RMWh", -1), 430);
}

TEST_F(MainDialogTest, ACrashReportIsOfferedOnceWithItsFolder) {
    const fs::path report = dir_ / "zorv-pro.mdmp";
    std::vector<QString> opened;
    CMainDialog::setUrlOpener([&](const QString& url) {
        opened.push_back(url);
        return true;
    });
    CMainDialog& w = makeWindow();
    EXPECT_FALSE(w.offerLastCrashReport(report.string())) << "no report, nothing to say";
    {
        std::FILE* f = std::fopen(report.c_str(), "w");
        std::fputs("signal 11\n", f);
        std::fclose(f);
    }
    prompts_.answer = QMessageBox::Open;
    EXPECT_TRUE(w.offerLastCrashReport(report.string()));
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_TRUE(prompts_.seen[0].text.contains(QString::fromStdString(report.string())));
    EXPECT_TRUE(prompts_.seen[0].buttons.testFlag(QMessageBox::Open));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(dir_.string())).toString());
    // The same report is not offered again at the next start; a newer one is.
    CMainDialog& again = makeWindow();
    EXPECT_FALSE(again.offerLastCrashReport(report.string()));
    fs::last_write_time(report, fs::last_write_time(report) + std::chrono::seconds(5));
    EXPECT_TRUE(again.offerLastCrashReport(report.string()));
    CMainDialog::setUrlOpener({});
}

}  // namespace
}  // namespace zorv::app
