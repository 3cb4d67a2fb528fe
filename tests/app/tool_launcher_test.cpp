// Every tool started from its menu command on a generated file, with the dialogs answered as a user
// would, and the output checked.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/main_dialog.h"
#include "app/menu_state.h"
#include "app/options_sheet.h"
#include "app/progress_window.h"
#include "app/self_warning_dialog.h"
#include "gen/clip_writer.h"
#include "core/metadata_text.h"
#include "core/settings_store.h"
#include "gen/avchd_writer.h"
#include "gen/hdv_writer.h"
#include "media/codec/codec_registry.h"
#include "media/dv_media_file.h"
#include "media/recognize.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

using test::PromptRecorder;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The user bits of frame n as the metadata window shows them; empty when the file cannot be read.
std::string userBitsOf(const QString& path, int64_t n) {
    media::DvMediaFile dv;
    if (!dv.open(path.toStdString()) || !dv.buildIndex() || !dv.frameMetadata(n)) return {};
    core::TextBuf text;
    core::formatUserBits(text, dv.record(), core::TextVariant::MetadataWindow);
    return std::string(text.view());
}

int64_t framesOf(const QString& path) {
    media::DvMediaFile dv;
    return dv.open(path.toStdString()) && dv.buildIndex() ? dv.frameCount() : -1;
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
        setDialogHook({});
        window_.reset();
    }

    // Answers the direct-processing warning with "YES" or "No", noting what it showed.
    struct Warning {
        QString title, text;
        bool noIsDefault = false;
    };
    void answerWarning(bool yes) {
        setDialogHook([this, yes](QDialog& d) {
            auto* w = qobject_cast<CSelfWarningDialog*>(&d);
            ASSERT_NE(w, nullptr);
            QString text;
            for (QLabel* l : w->findChildren<QLabel*>()) text += l->text() + QLatin1Char('\n');
            warnings_.push_back({w->windowTitle(), text, w->noButton()->isDefault() && !w->yesButton()->isDefault()});
            (yes ? w->yesButton() : w->noButton())->click();
        });
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
    std::vector<Warning> warnings_;
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

TEST_F(ToolLauncherTest, AnOutputThatIsTheInputIsRefusedBeforeAnythingIsAsked) {
    const QString input = clip(QStringLiteral("clip.avi"));
    open(input);
    const QByteArray before = contents(input);
    const QString link = dir_.filePath(QStringLiteral("link.avi")), hard = dir_.filePath(QStringLiteral("hard.avi"));
    ASSERT_TRUE(QFile::link(input, link));
    ASSERT_EQ(::link(input.toLocal8Bit().constData(), hard.toLocal8Bit().constData()), 0);
    for (int command : {cmd::kConvertAvi2, cmd::kConvertRawDv, cmd::kExtractAudio, cmd::kBurnIn, cmd::kExportMetadata,
                        cmd::kExportSubtitles}) {
        for (const QString& out : {input, link, hard}) {
            SCOPED_TRACE(command);
            SCOPED_TRACE(out.toStdString());
            PromptRecorder prompts;
            prompts.paths = {out};
            run(command);
            for (const Prompt& p : prompts.prompts) EXPECT_NE(p.title, QStringLiteral("File Exists"));
            EXPECT_TRUE(prompts.lastMessage().startsWith(QStringLiteral("The output file is the input file: ")))
                << prompts.lastMessage().toStdString();
            EXPECT_EQ(contents(input), before);
        }
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QStringList{QStringLiteral(".*.zorv-*")}, QDir::Hidden | QDir::Files).size(), 0);
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
    EXPECT_EQ(userBitsOf(output, 0), "12:34:56:78");
    EXPECT_EQ(userBitsOf(output, 249), "12:34:56:78");
    EXPECT_NE(userBitsOf(input, 0), "12:34:56:78");
}

TEST_F(ToolLauncherTest, DateFromAFileNameWithoutOneIsRefused) {
    open(clip(QStringLiteral("clip.avi")));
    window_->options().changeDateTime = true;
    window_->options().dateTimeMode = core::stored(core::ModifyMode::kFromFileName);
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
    answerWarning(false);
    run(cmd::kDirectModify);
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0].title, QStringLiteral("Make Direct Changes to Input File?"));
    EXPECT_TRUE(warnings_[0].text.contains(QStringLiteral("WARNING!")));
    EXPECT_TRUE(warnings_[0].text.contains(QStringLiteral("Tools > Modify Metadata")));
    EXPECT_TRUE(warnings_[0].noIsDefault);
    ASSERT_EQ(prompts.prompts.size(), 1u);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Cancelled"));
    EXPECT_EQ(prompts.prompts[0].text, QStringLiteral("Operation Cancelled"));
    EXPECT_TRUE(sheetTitles_.empty());
    EXPECT_EQ(contents(input), before);

    answerWarning(true);
    run(cmd::kDirectModify);
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Metadata modification complete."));
    EXPECT_NE(contents(input), before);
    EXPECT_EQ(userBitsOf(input, 100), "AB:CD:EF:01");
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
    EXPECT_EQ(framesOf(output), 250);
}

TEST_F(ToolLauncherTest, CancelInTheProgressWindowStopsTheRun) {
    open(clip(QStringLiteral("clip.avi")));
    ProgressWindow& progress = window_->progressWindow();
    QString caption, text;
    QTimer cancelWhenShown;
    cancelWhenShown.setInterval(20);
    QObject::connect(&cancelWhenShown, &QTimer::timeout, [&] {
        if (!progress.isVisible()) return;
        caption = progress.captionText();
        for (QLabel* l : progress.findChildren<QLabel*>())
            if (l->text().contains(QStringLiteral("clip-burn.avi"))) text = l->text();
        for (QPushButton* b : progress.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral(" Cancel ")) b->click();
        cancelWhenShown.stop();
    });
    cancelWhenShown.start();
    PromptRecorder prompts;
    run(cmd::kBurnIn);
    EXPECT_TRUE(caption.startsWith(QStringLiteral("Burning-in"))) << caption.toStdString();
    EXPECT_EQ(text, QStringLiteral("Burning-in to Output File ...\nclip-burn.avi"));
    ASSERT_FALSE(prompts.prompts.empty());
    EXPECT_EQ(prompts.prompts.back().title, QStringLiteral("Cancelled"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Operation Cancelled"));
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(window_->fileOpen());
}

TEST_F(ToolLauncherTest, DirectBurnInWarnsFirstAndDrawsIntoTheInput) {
    const QString input = clip(QStringLiteral("clip.avi"));
    open(input);
    const QByteArray before = contents(input);
    PromptRecorder prompts;
    answerWarning(false);
    run(cmd::kDirectBurnIn);
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_TRUE(warnings_[0].text.contains(QStringLiteral("Tools > Burn-In Metadata")));
    ASSERT_EQ(prompts.prompts.size(), 1u);
    EXPECT_EQ(prompts.prompts[0].text, QStringLiteral("Operation Cancelled"));
    EXPECT_TRUE(sheetTitles_.empty());
    EXPECT_EQ(contents(input), before);

    answerWarning(true);
    run(cmd::kDirectBurnIn);
    ASSERT_EQ(sheetTitles_.size(), 1u);
    EXPECT_EQ(sheetTitles_[0], QStringLiteral("Confirm Settings for Burn-in"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Burn-in complete."));
    for (const Prompt& p : prompts.prompts) EXPECT_NE(p.kind, PromptKind::kSaveFile);  // no output file
    const QByteArray after = contents(input);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_EQ(framesOf(input), 250);
    // Only the pictures change: the metadata packs stay as they were.
    const QString reference = clip(QStringLiteral("reference.avi"));
    EXPECT_FALSE(userBitsOf(input, 10).empty());
    EXPECT_EQ(userBitsOf(input, 10), userBitsOf(reference, 10));
    EXPECT_TRUE(window_->fileOpen());
}

TEST_F(ToolLauncherTest, AnsweringNoToFileExistsKeepsAModifyOutput) {
    open(clip(QStringLiteral("clip.avi")));
    window_->options().setUserBits = true;
    const QString existing = dir_.filePath(QStringLiteral("clip-mod.avi"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an earlier copy");
    }
    const auto stamp = QFileInfo(existing).lastModified();
    PromptRecorder prompts;
    prompts.buttons = {QMessageBox::No};
    run(cmd::kModify);
    ASSERT_EQ(prompts.prompts.size(), 2u);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Modify Metadata to output file"));
    EXPECT_EQ(prompts.prompts[1].title, QStringLiteral("File Exists"));
    EXPECT_EQ(contents(existing), QByteArray("an earlier copy"));
    EXPECT_EQ(QFileInfo(existing).lastModified(), stamp);
}

// HDV and AVCHD files open only with decoders chosen; the real libavcodec ones are configured here.
class StreamToolLauncherTest : public ToolLauncherTest {
protected:
    void SetUp() override {
        using media::codec::CodecRole;
        test::ensureApplication();
        ASSERT_TRUE(dir_.isValid());
        store_ = std::make_unique<core::SettingsStore>(std::filesystem::path(dir_.path().toStdString()) / "zorv.ini");
        auto mpeg2 = media::codec::findCodecByName(CodecRole::kMpeg2VideoDecoder, "mpeg2video");
        auto h264 = media::codec::findCodecByName(CodecRole::kH264VideoDecoder, "h264");
        auto ac3 = media::codec::findCodecByName(CodecRole::kAc3AudioDecoder, "ac3");
        ASSERT_TRUE(mpeg2 && h264 && ac3);
        store_->writeDecoderSelection(core::DecoderRole::kMpeg2Video, mpeg2->selection());
        store_->writeDecoderSelection(core::DecoderRole::kAvcVideo, h264->selection());
        store_->writeDecoderSelection(core::DecoderRole::kAvcAudio, ac3->selection());
        window_ = std::make_unique<CMainDialog>(*store_, false);
        setOptionsSheetHook([this](COptionsSheet& sheet) {
            sheetTitles_.push_back(sheet.windowTitle());
            sheet.accept();
        });
    }
    QString copied(const std::string& cached, const QString& name) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(QFile::copy(QString::fromStdString(cached), path));
        return path;
    }
};

TEST_F(StreamToolLauncherTest, AvchdAudioIsExtractedAsTheAc3FramesWritten) {
    gen::AvchdSpec desc;
    desc.frames = 250;
    desc.width = 640;
    desc.height = 352;
    desc.gps = gen::GpsMode::Track;
    gen::AvchdWritten written;
    const std::string cached = gen::cachedAvchd("tools-avchd.m2ts", desc, &written);
    open(copied(cached, QStringLiteral("clip.m2ts")));
    PromptRecorder prompts;
    run(cmd::kExtractAudio);
    ASSERT_FALSE(prompts.prompts.empty());
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Extract audio to AC-3 file"));
    EXPECT_EQ(prompts.prompts[0].proposedPath, dir_.filePath(QStringLiteral("clip.ac3")));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Audio extraction complete."));
    const QByteArray ac3 = contents(dir_.filePath(QStringLiteral("clip.ac3")));
    EXPECT_EQ(ac3, QByteArray(reinterpret_cast<const char*>(written.ac3.data()), static_cast<int>(written.ac3.size())));
}

TEST_F(StreamToolLauncherTest, AvchdMetadataExportHasARowPerPictureWithItsPosition) {
    gen::AvchdSpec desc;
    desc.frames = 250;
    desc.width = 640;
    desc.height = 352;
    desc.gps = gen::GpsMode::Track;
    const std::string cached = gen::cachedAvchd("tools-avchd.m2ts", desc);
    open(copied(cached, QStringLiteral("clip.m2ts")));
    window_->options().exportFrequency = 0;  // every picture
    PromptRecorder prompts;
    run(cmd::kExportMetadata);
    EXPECT_EQ(sheetTitles_.at(0), QStringLiteral("Confirm Settings for Exporting Metadata"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Export complete."));
    const QList<QByteArray> rows = contents(dir_.filePath(QStringLiteral("clip.csv"))).split('\n');
    ASSERT_EQ(rows.size(), 251);  // 250 rows and the empty rest after the last line end
    // The track moves north once a second: the last picture lies further north than the first.
    EXPECT_NE(rows.front().split(',').mid(15), rows.at(249).split(',').mid(15));
}

TEST_F(StreamToolLauncherTest, HdvAudioIsExtractedToWav) {
    gen::HdvSpec desc;
    desc.frames = 50;
    const std::string cached = gen::cachedHdv("tools-hdv.m2t", desc);
    open(copied(cached, QStringLiteral("tape.m2t")));
    PromptRecorder prompts;
    run(cmd::kExtractAudio);
    ASSERT_FALSE(prompts.prompts.empty());
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("Extract audio to WAV file"));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Audio extraction complete."));
    const QByteArray wav = contents(dir_.filePath(QStringLiteral("tape.wav")));
    ASSERT_GT(wav.size(), 44);
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    EXPECT_EQ(wav.mid(8, 4), QByteArray("WAVE"));
    // Two seconds of 48 kHz stereo 16-bit sound, give or take an audio frame at each end.
    EXPECT_NEAR(wav.size() - 44, 2 * 48000 * 4, 2 * 1152 * 4);
}

TEST_F(StreamToolLauncherTest, HdvBurnInWritesAnAviOfEveryPicture) {
    gen::HdvSpec desc;
    desc.frames = 50;
    const std::string cached = gen::cachedHdv("tools-hdv.m2t", desc);
    open(copied(cached, QStringLiteral("tape.m2t")));
    PromptRecorder prompts;
    run(cmd::kBurnIn);
    ASSERT_EQ(sheetTitles_.size(), 1u);
    EXPECT_EQ(sheetTitles_[0], QStringLiteral("Confirm Settings for Burn-in"));
    EXPECT_EQ(prompts.prompts.at(0).proposedPath, dir_.filePath(QStringLiteral("tape-burn.avi")));
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Burn-in complete."));
    const QByteArray avi = contents(dir_.filePath(QStringLiteral("tape-burn.avi")));
    ASSERT_GT(avi.size(), 12);
    EXPECT_EQ(avi.left(4), QByteArray("RIFF"));
    EXPECT_EQ(avi.mid(8, 4), QByteArray("AVI "));
    // Uncompressed 24-bit pictures: one 1440 x 1080 x 3 chunk per picture.
    EXPECT_GE(avi.size(), qint64{50} * 1440 * 1080 * 3);
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
