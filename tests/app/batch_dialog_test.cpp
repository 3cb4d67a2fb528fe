// The Batch Processing window under the offscreen platform: adding files (duplicates and unrecognised
// files), the START checks, a conversion job run to its last log line, Close refused while running,
// the last choices kept in the settings store, and for HDV burn-in the decoder check before START and
// the timer's no-progress timeout.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>

#include "app/batch_dialog.h"
#include "app/options_sheet.h"
#include "batch/stalled_burn.h"
#include "media/codec/codec_registry.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

bool gen(const QString& args) {
    const std::string cmd = std::string(ZORV_GEN_PATH) + " " + args.toStdString() + " >/dev/null 2>&1";
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

class BatchDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        ASSERT_TRUE(dir.isValid());
        clip = dir.filePath("Clip.avi");
        ASSERT_TRUE(gen(QStringLiteral("clip '%1' --frames 100").arg(clip)));
        junk = dir.filePath("notes.txt");
        std::ofstream(junk.toStdString()) << "not a recording";
        out = dir.filePath("out");
        QDir().mkpath(out);
        store = std::make_unique<core::SettingsStore>(dir.filePath("settings.ini").toStdString());
    }

    QTemporaryDir dir;
    QString clip, junk, out;
    std::unique_ptr<core::SettingsStore> store;
};

TEST_F(BatchDialogTest, AddsRecognisedFilesOnceAndCountsTheOthers) {
    test::PromptRecorder prompts;
    CBatchDialog dialog(nullptr, core::Options::defaults(), *store);
    EXPECT_EQ(dialog.addFiles({clip, junk, clip.toUpper()}, CBatchDialog::AddSource::kFileDialog), 1);
    EXPECT_EQ(dialog.paths(), QStringList{clip});
    ASSERT_EQ(prompts.prompts.size(), 1u);
    EXPECT_EQ(prompts.prompts[0].title, "Error!");
    EXPECT_EQ(prompts.prompts[0].text,
              "1 File was not added as it was not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD type");
    dialog.addFiles({junk, junk + "2"}, CBatchDialog::AddSource::kDrop);
    EXPECT_EQ(prompts.prompts.back().text,
              "2 files were not added as they were not recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD types");
    dialog.addFiles({junk}, CBatchDialog::AddSource::kDrop);
    EXPECT_EQ(prompts.prompts.back().text,
              "File was not added as it was not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD type");
}

TEST_F(BatchDialogTest, StartChecksTheListAndTheFolder) {
    test::PromptRecorder prompts;
    CBatchDialog dialog(nullptr, core::Options::defaults(), *store);
    dialog.onStart();
    EXPECT_EQ(prompts.prompts.back().text, "File list is empty");
    dialog.addFiles({clip}, CBatchDialog::AddSource::kFileDialog);
    dialog.setChecked(0, false);
    dialog.onStart();
    EXPECT_EQ(prompts.prompts.back().text, "No files marked with a check");
    dialog.checkAll(true);
    dialog.setOutputFolder(dir.filePath("nowhere"));
    dialog.onStart();
    EXPECT_EQ(prompts.prompts.back().text, "Output folder does not exist");
    EXPECT_FALSE(dialog.jobRunning());
}

TEST_F(BatchDialogTest, RunsAJobToItsLastLogLineAndKeepsTheChoices) {
    test::PromptRecorder prompts;
    {
        CBatchDialog dialog(nullptr, core::Options::defaults(), *store);
        dialog.show();
        dialog.addFiles({clip}, CBatchDialog::AddSource::kFileDialog);
        dialog.selectOperation(QStringLiteral("Convert file to AVI Type 2"));
        dialog.setOutputFolder(out);
        dialog.onStart();
        ASSERT_TRUE(dialog.jobRunning());
        dialog.close();  // refused while running
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(prompts.prompts.back().title, "Batch Processing job is in progress");

        QElapsedTimer timer;
        timer.start();
        while ((dialog.jobRunning() || !dialog.logView()->toPlainText().contains("Finished on ")) && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const QString log = dialog.logView()->toPlainText();
        EXPECT_TRUE(log.startsWith("ZORV Pro - Batch processing log file\n"));
        EXPECT_TRUE(log.contains("Processing file: " + clip + "\nConverting from AVI Type 1 to AVI Type 2 ...\n"));
        EXPECT_TRUE(log.contains("Conversion Complete"));
        EXPECT_TRUE(log.trimmed().section('\n', -1).startsWith("Finished on "));
        EXPECT_EQ(dialog.overallBar()->value(), 100);
        EXPECT_TRUE(dialog.statusLine()->text().isEmpty());
        EXPECT_TRUE(QFileInfo::exists(out + "/Batch-log.txt"));
        EXPECT_TRUE(QFileInfo::exists(out + "/Clip-conv.avi"));
        dialog.close();
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(store->readString(core::kSectionOptions, "BatchOp", ""), "Convert file to AVI Type 2");
    EXPECT_EQ(store->readString(core::kSectionOptions, "BatchFolder", ""), out.toStdString());
    CBatchDialog again(nullptr, core::Options::defaults(), *store);
    again.setOutputFolder(out);
    again.addFiles({clip}, CBatchDialog::AddSource::kFileDialog);
    again.onStart();  // the same operation is selected again: a second log and output
    while (again.jobRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo::exists(out + "/Batch-log (1).txt"));
    EXPECT_TRUE(QFileInfo::exists(out + "/Clip-conv (1).avi"));
}

class BatchBurnDialogTest : public BatchDialogTest {
protected:
    void SetUp() override {
        BatchDialogTest::SetUp();
        hdv = dir.filePath("Tape.m2t");
        ASSERT_TRUE(gen(QStringLiteral("hdv '%1' --frames 30").arg(hdv)));
        setOptionsSheetHook([this](COptionsSheet& sheet) {
            sheets << sheet.windowTitle();
            sheet.accept();
        });
    }
    void TearDown() override { setOptionsSheetHook({}); }

    QString hdv;
    QStringList sheets;
};

TEST_F(BatchBurnDialogTest, StartRefusesHdvWithoutAChosenDecoder) {
    test::PromptRecorder prompts;
    CBatchDialog dialog(nullptr, core::Options::defaults(), *store);
    dialog.addFiles({clip, hdv}, CBatchDialog::AddSource::kFileDialog);
    dialog.selectOperation(QStringLiteral("Burn-in Metadata"));
    dialog.setOutputFolder(out);
    dialog.onStart();
    EXPECT_EQ(sheets, QStringList{QStringLiteral("Confirm Settings for Burning-in")});
    ASSERT_FALSE(prompts.prompts.empty());
    EXPECT_EQ(prompts.prompts.back().title, "No MPEG-2 video decoder configured");
    EXPECT_TRUE(prompts.prompts.back().text.startsWith(
        "ZORV Pro is not yet configured with a 3rd party MPEG-2 video decoder.\r\n\r\n"));
    EXPECT_FALSE(dialog.jobRunning());
    EXPECT_FALSE(QFileInfo::exists(out + "/Batch-log.txt"));
    EXPECT_TRUE(dialog.logView()->toPlainText().isEmpty());
}

TEST_F(BatchBurnDialogTest, TimerTimesOutABurnInThatMakesNoProgress) {
    const auto& decoders = media::codec::availableCodecs(media::codec::CodecRole::kMpeg2VideoDecoder);
    if (decoders.empty()) GTEST_SKIP() << "no MPEG-2 decoder in libavcodec";
    core::Options options = core::Options::defaults();
    options.mpeg2Decoder = decoders.front().selection();
    test::PromptRecorder prompts;
    CBatchDialog dialog(nullptr, options, *store);
    // A decoder that never delivers; 50 ticks of 5 ms stand for the 10 seconds.
    dialog.setBurnJobMaker(zorv::testing::stalledBurnFactory());
    dialog.setPollInterval(5);
    dialog.addFiles({hdv}, CBatchDialog::AddSource::kFileDialog);
    dialog.selectOperation(QStringLiteral("Burn-in Metadata"));
    dialog.setOutputFolder(out);
    dialog.onStart();
    ASSERT_TRUE(dialog.jobRunning());
    QElapsedTimer timer;
    timer.start();
    while ((dialog.jobRunning() || !dialog.logView()->toPlainText().contains("Finished on ")) && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_FALSE(dialog.jobRunning()) << "the burn-in was never timed out";
    const QString log = dialog.logView()->toPlainText();
    EXPECT_TRUE(log.contains(
        "Output file: " + out +
        "/Tape-burn.avi\nERROR: Burn-in timed out - This is probably due to the selected "
        "3rd party MPEG-2 Decoder filter being unable to provide the features necessary for burning-in.\n\nPlease "
        "try selecting another \"HDV MPEG-2 Video Decoder\" in the Tools>Options menu.\n"))
        << log.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out + "/Tape-burn.avi"));
    EXPECT_TRUE(prompts.prompts.empty());  // a per-file failure is logged, not shown in a box
    EXPECT_EQ(dialog.overallBar()->value(), 100);
}

}  // namespace
}  // namespace zorv::app
