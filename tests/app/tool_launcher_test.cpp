// Every tool started from its menu command on a generated file, with the dialogs answered as a user
// would, and the output checked.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "app/main_dialog.h"
#include "app/menu_state.h"
#include "app/options_sheet.h"
#include "gen/clip_writer.h"
#include "core/settings_store.h"
#include "media/recognize.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

using test::PromptRecorder;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ToolLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        ASSERT_TRUE(dir_.isValid());
        store_ = std::make_unique<core::SettingsStore>(std::filesystem::path(dir_.path().toStdString()) / "zorv.ini");
        window_ = std::make_unique<CMainDialog>(*store_, false);
        setOptionsSheetHook([this](COptionsSheet& sheet) {
            sheetTitles_.push_back(sheet.windowTitle());
            sheet.accept();
        });
    }
    void TearDown() override {
        setOptionsSheetHook({});
        window_.reset();
    }

    // A PAL clip with a scene cut half-way, copied into the test folder as `name`.
    QString clip(const QString& name, gen::Container container = gen::Container::Avi1) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(gen::writeClip(gen::sampleClip(), path.toStdString(), container).ok());
        return path;
    }
    void open(const QString& path) { ASSERT_TRUE(window_->openFile(path)) << path.toStdString(); }
    void run(int command) {
        QAction* a = window_->action(command);
        ASSERT_NE(a, nullptr);
        ASSERT_TRUE(a->isEnabled()) << command;
        a->trigger();
    }
    static media::FileType typeOf(const QString& path) { return media::recognize(path.toStdString()).type; }

    QTemporaryDir dir_;
    std::unique_ptr<core::SettingsStore> store_;
    std::unique_ptr<CMainDialog> window_;
    std::vector<QString> sheetTitles_;
};

TEST_F(ToolLauncherTest, ConvertProposesTheSuffixedNameAndWritesTheOtherType) {
    const QString input = clip(QStringLiteral("clip.avi"));
    open(input);
    PromptRecorder prompts;
    run(cmd::kConvertAvi2);
    ASSERT_GE(prompts.prompts.size(), 2u);
    EXPECT_EQ(prompts.prompts[0].kind, PromptKind::kSaveFile);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Convert to AVI Type 2 file"));
    EXPECT_EQ(prompts.prompts[0].proposedPath, dir_.filePath(QStringLiteral("clip-conv.avi")));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Conversion complete."));
    EXPECT_EQ(typeOf(dir_.filePath(QStringLiteral("clip-conv.avi"))), media::FileType::kAviType2);

    run(cmd::kConvertRawDv);
    EXPECT_EQ(prompts.prompts.back().text, QStringLiteral("Conversion complete."));
    EXPECT_EQ(typeOf(dir_.filePath(QStringLiteral("clip-conv.dv"))), media::FileType::kRawDv);
}

TEST_F(ToolLauncherTest, AnsweringNoToFileExistsLeavesTheFileUntouched) {
    open(clip(QStringLiteral("clip.avi")));
    const QString existing = dir_.filePath(QStringLiteral("clip-conv.avi"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    PromptRecorder prompts;
    prompts.buttons = {QMessageBox::No};
    run(cmd::kConvertAvi2);
    ASSERT_EQ(prompts.prompts.size(), 2u);
    const Prompt& ask = prompts.prompts[1];
    EXPECT_EQ(ask.title, QStringLiteral("File Exists"));
    EXPECT_EQ(ask.text, QStringLiteral("The output file already exists        \n\nDo you wish to overwrite it ?"));
    EXPECT_EQ(ask.defaultButton, QMessageBox::No);
    EXPECT_EQ(ask.icon, QMessageBox::Question);
    EXPECT_EQ(contents(existing), QByteArray("keep me"));

    // Yes replaces it.
    prompts.buttons = {QMessageBox::Yes};
    run(cmd::kConvertAvi2);
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Conversion complete."));
    EXPECT_EQ(typeOf(existing), media::FileType::kAviType2);
}

TEST_F(ToolLauncherTest, ExtractAudioWritesAWavFile) {
    open(clip(QStringLiteral("clip.avi")));
    PromptRecorder prompts;
    run(cmd::kExtractAudio);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Extract audio to WAV file"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Audio extraction complete."));
    const QByteArray wav = contents(dir_.filePath(QStringLiteral("clip.wav")));
    ASSERT_GT(wav.size(), 44);
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    // 10 s of 48 kHz stereo 16-bit sound.
    EXPECT_NEAR(wav.size() - 44, 10 * 48000 * 4, 48000 * 4 / 25);
}

TEST_F(ToolLauncherTest, ModifyMetadataConfirmsChecksAndWritesTheCopy) {
    const QString input = clip(QStringLiteral("clip.avi"));
    open(input);
    PromptRecorder prompts;
    run(cmd::kModify);  // nothing selected
    ASSERT_EQ(sheetTitles_.size(), 1u);
    EXPECT_EQ(sheetTitles_[0], QStringLiteral("Confirm Settings for Modifying Metadata"));
    EXPECT_EQ(prompts.lastMessage(),
              QStringLiteral("No Metadata items are currently selected for modification.\r\n\r\nCheck the settings in  "
                             "Tools > Options > Modify"));
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("clip-mod.avi"))));

    window_->options().setUserBits = true;
    window_->options().userBits = {0x12, 0x34, 0x56, 0x78};
    run(cmd::kModify);
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Metadata modification complete."));
    const QString output = dir_.filePath(QStringLiteral("clip-mod.avi"));
    EXPECT_EQ(typeOf(output), media::FileType::kAviType1);
    EXPECT_EQ(QFileInfo(output).size(), QFileInfo(input).size());
    EXPECT_NE(contents(output), contents(input));
}

TEST_F(ToolLauncherTest, DateFromAFileNameWithoutOneIsRefused) {
    open(clip(QStringLiteral("clip.avi")));
    window_->options().changeDateTime = true;
    window_->options().dateTimeMode = core::modify_mode::kFromFileName;
    PromptRecorder prompts;
    run(cmd::kModify);
    EXPECT_EQ(prompts.lastMessage(),
              QStringLiteral("File name does not end with a recognised date/time format of\r\n\"yy-mm-dd hh.mm.ss\" or "
                             "\"yy-mm-dd\"\r\n\r\nclip.avi"));
}

TEST_F(ToolLauncherTest, DirectModifyAnsweredNoIsCancelledAndYesChangesTheInput) {
    const QString input = clip(QStringLiteral("clip.avi"));
    open(input);
    const QByteArray before = contents(input);
    window_->options().setUserBits = true;
    window_->options().userBits = {0xAB, 0xCD, 0xEF, 0x01};
    PromptRecorder prompts;
    prompts.buttons = {QMessageBox::No};
    run(cmd::kDirectModify);
    ASSERT_EQ(prompts.prompts.size(), 2u);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Make Direct Changes to Input File?"));
    EXPECT_TRUE(prompts.prompts[0].text.contains(QStringLiteral("Tools > Modify Metadata")));
    EXPECT_EQ(prompts.prompts[1].title, QStringLiteral("Cancelled"));
    EXPECT_EQ(prompts.prompts[1].text, QStringLiteral("Operation Cancelled"));
    EXPECT_TRUE(sheetTitles_.empty());
    EXPECT_EQ(contents(input), before);

    prompts.buttons = {QMessageBox::Yes};
    run(cmd::kDirectModify);
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Metadata modification complete."));
    EXPECT_NE(contents(input), before);
    EXPECT_TRUE(window_->fileOpen());  // opened again after the run
}

TEST_F(ToolLauncherTest, BurnInWritesTheBurnFile) {
    open(clip(QStringLiteral("clip.avi")));
    PromptRecorder prompts;
    run(cmd::kBurnIn);
    ASSERT_EQ(sheetTitles_.size(), 1u);
    EXPECT_EQ(sheetTitles_[0], QStringLiteral("Confirm Settings for Burn-in"));
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Burn-in metadata to output file"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Burn-in complete."));
    const QString output = dir_.filePath(QStringLiteral("clip-burn.avi"));
    EXPECT_EQ(typeOf(output), media::FileType::kAviType1);
}

TEST_F(ToolLauncherTest, SplitCreatesOneFilePerScene) {
    open(clip(QStringLiteral("clip.avi")));
    QTemporaryDir out;
    PromptRecorder prompts;
    prompts.paths = {out.filePath(QStringLiteral("clip"))};
    window_->options().splitTrigger = 1;
    window_->options().splitFileNameFormat = 1;
    run(cmd::kSplit);
    EXPECT_EQ(sheetTitles_.at(0), QStringLiteral("Confirm Settings for File Splitting"));
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Split to output file ..."));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Split complete."));
    int aviFiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(out.path().toStdString()))
        if (e.path().extension() == ".avi") ++aviFiles;
    EXPECT_EQ(aviFiles, 2);
}

TEST_F(ToolLauncherTest, ExportsWriteRowsAndSubtitles) {
    open(clip(QStringLiteral("clip.avi")));
    PromptRecorder prompts;
    window_->options().exportFrequency = 0;  // every frame
    run(cmd::kExportMetadata);
    EXPECT_EQ(sheetTitles_.at(0), QStringLiteral("Confirm Settings for Exporting Metadata"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Export complete."));
    EXPECT_EQ(contents(dir_.filePath(QStringLiteral("clip.csv"))).count("\r\n"), 250);

    run(cmd::kExportSubtitles);
    EXPECT_EQ(sheetTitles_.at(1), QStringLiteral("Confirm Settings for Subtitle Export"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Export complete."));
    EXPECT_TRUE(contents(dir_.filePath(QStringLiteral("clip.srt"))).contains("-->"));
}

}  // namespace
}  // namespace zorv::app
