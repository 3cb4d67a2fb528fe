// The decoder and compressor selection dialogs over the codecs libavcodec really has: the search on
// its worker, the reports with Shift held, the reject list, the completion messages, the current
// choice, Properties, and the choice reaching the option record through the Decoders page.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <filesystem>

#include "app_test_support.h"
#include "app/codec_select_dialog.h"
#include "app/options_sheet.h"
#include "app/options_sheet_dialog.h"
#include "core/settings_store.h"
#include "media/codec/codec_candidates.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

using media::codec::CodecEntry;
using media::codec::CodecRole;
using test::PromptRecorder;

class CodecSelectTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApplication(); }
    void TearDown() override {
        setCodecCandidateSource({});
        setDialogHook({});
        setOptionsSheetHook({});
    }
    static void waitForSearch(CCodecSelectDialog& d) {
        ASSERT_TRUE(apptest::pumpUntil([&] { return !d.searching(); }, 60000));
    }
    static QStringList names(const QComboBox* list) {
        QStringList n;
        for (int i = 0; i < list->count(); ++i) n << list->itemText(i);
        return n;
    }
    static CodecEntry entry(const char* name, const char* display, const core::Guid& id) {
        return CodecEntry{id, name, display};
    }
};

TEST_F(CodecSelectTest, SearchRunsBehindTheWaitLineAndSelectsTheCurrentChoice) {
    const auto& available = media::codec::availableCodecs(CodecRole::kMpeg2VideoDecoder);
    ASSERT_FALSE(available.empty()) << "libavcodec has no MPEG-2 video decoder";
    const CodecEntry& current = available.back();
    PromptRecorder prompts;
    CMpegDecoderSelect dialog(nullptr, current.selection(), false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select MPEG-2 Video Decoder"));
    // Until the worker's completion is delivered the list holds only the wait line.
    EXPECT_TRUE(dialog.searching());
    EXPECT_EQ(names(dialog.list()), QStringList{QStringLiteral("Searching, please wait ...")});
    EXPECT_EQ(dialog.list()->currentIndex(), 0);
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("properties"))->isEnabled());

    waitForSearch(dialog);
    ASSERT_EQ(dialog.list()->count(), static_cast<int>(available.size()));
    EXPECT_EQ(dialog.list()->currentText(), QString::fromStdString(current.displayName));
    EXPECT_TRUE(prompts.prompts.empty());  // silent without Shift

    dialog.accept();
    ASSERT_TRUE(dialog.selection().has_value());
    EXPECT_EQ(dialog.selection()->id, current.id);
    EXPECT_EQ(dialog.selection()->name, current.displayName);
}

TEST_F(CodecSelectTest, AnUnknownCurrentChoiceLeavesTheFirstEntrySelected) {
    const core::DecoderSelection stranger{media::codec::codecId("not-installed"), "Not installed"};
    CAC3DecoderSelect dialog(nullptr, stranger, false);
    waitForSearch(dialog);
    ASSERT_GT(dialog.list()->count(), 0);
    EXPECT_EQ(dialog.list()->currentIndex(), 0);
}

TEST_F(CodecSelectTest, ShiftReportsEveryExaminedCodecAndTheRejectListKeepsItsFilterOut) {
    // The real MPEG-2 decoder under a rejected identifier, a codec that does not exist, and every real one.
    const core::Guid rejected = CCodecSelectDialog::rejectList().at(3);
    EXPECT_EQ(rejected, *core::Guid::parse("{25AD5750-4DE0-4CF8-952A-2AEF53AC4321}"));
    const auto real = media::codec::codecCandidates(CodecRole::kMpeg2VideoDecoder);
    setCodecCandidateSource([&](CodecRole) {
        std::vector<CodecEntry> list{entry("mpeg2video", "Vendor MPEG-2 Decoder", rejected),
                                     entry("no-such-decoder", "Missing Decoder", media::codec::codecId("no-such-decoder"))};
        list.insert(list.end(), real.begin(), real.end());
        return list;
    });
    PromptRecorder prompts;
    CMpegDecoderSelect dialog(nullptr, core::DecoderSelection{}, true);
    waitForSearch(dialog);

    ASSERT_EQ(prompts.prompts.size(), real.size() + 2);
    for (const Prompt& p : prompts.prompts) {
        EXPECT_EQ(p.title, QStringLiteral("Codec Found"));
        EXPECT_EQ(p.icon, QMessageBox::Information);
    }
    EXPECT_EQ(prompts.prompts[0].text,
              QStringLiteral("Decoder:\tVendor MPEG-2 Decoder\r\nStatus:\tFailed\r\nReason:\tRejected"));
    EXPECT_EQ(prompts.prompts[1].text,
              QStringLiteral("Decoder:\tMissing Decoder\r\nStatus:\tFailed\r\nReason:\tInput connection 0x80004005"));
    int ok = 0;
    for (std::size_t i = 2; i < prompts.prompts.size(); ++i)
        if (prompts.prompts[i].text.endsWith(QStringLiteral("\r\nStatus:\tOK"))) ++ok;
    EXPECT_EQ(ok, dialog.list()->count());
    EXPECT_FALSE(names(dialog.list()).contains(QStringLiteral("Vendor MPEG-2 Decoder")));
    EXPECT_FALSE(names(dialog.list()).contains(QStringLiteral("Missing Decoder")));
}

TEST_F(CodecSelectTest, NothingFoundSaysSoAndOkReturnsNothing) {
    setCodecCandidateSource([](CodecRole) { return std::vector<CodecEntry>{}; });
    PromptRecorder prompts;
    CAVCDecoderSelect dialog(nullptr, core::DecoderSelection{}, false);
    waitForSearch(dialog);
    ASSERT_EQ(prompts.prompts.size(), 1u);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("No decoders found"));
    EXPECT_EQ(prompts.prompts[0].text, QStringLiteral("No suitable installed AVCHD video decoders could be found"));
    EXPECT_EQ(dialog.list()->count(), 0);
    dialog.accept();
    EXPECT_FALSE(dialog.selection().has_value());
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // The compressor list always has "Uncompressed", so it is never empty.
    COutputCompressorSelect compressors(nullptr, core::DecoderSelection{}, false);
    waitForSearch(compressors);
    EXPECT_EQ(names(compressors.list()), QStringList{QStringLiteral("Uncompressed")});
    EXPECT_EQ(prompts.prompts.size(), 1u);
}

TEST_F(CodecSelectTest, ClosingDuringTheSearchIsSafe) {
    for (int i = 0; i < 3; ++i) {
        auto dialog = std::make_unique<COutputCompressorSelect>(nullptr, core::DecoderSelection{}, false);
        dialog.reset();
    }
    // Completions of searches whose dialogs are gone are dropped.
    QApplication::processEvents();
}

TEST_F(CodecSelectTest, PropertiesShowTheCodecSettingsOrSayThereAreNone) {
    PromptRecorder prompts;
    COutputCompressorSelect dialog(nullptr, core::DecoderSelection{}, false);
    waitForSearch(dialog);
    auto* properties = dialog.findChild<QPushButton*>(QStringLiteral("properties"));
    ASSERT_EQ(dialog.list()->itemText(0), QStringLiteral("Uncompressed"));
    dialog.list()->setCurrentIndex(0);
    properties->click();
    ASSERT_EQ(prompts.prompts.size(), 1u);
    EXPECT_EQ(prompts.prompts[0].title, QStringLiteral("No properties dialog"));
    EXPECT_EQ(prompts.prompts[0].text, QStringLiteral("Filter does not have a properties dialog box"));

    // A compressor with settings of its own shows them, one row each, and stays listed.
    const auto& found = media::codec::availableCodecs(CodecRole::kVideoCompressor);
    int withSettings = -1;
    std::size_t settingCount = 0;
    for (std::size_t i = 1; i < found.size() && withSettings < 0; ++i) {
        settingCount = media::codec::codecSettings(CodecRole::kVideoCompressor, found[i].name).size();
        if (settingCount > 0) withSettings = static_cast<int>(i);
    }
    if (withSettings < 0) GTEST_SKIP() << "no compressor with settings of its own";
    const QString name = QString::fromStdString(found[static_cast<std::size_t>(withSettings)].displayName);
    dialog.list()->setCurrentIndex(withSettings);
    QString shownTitle;
    int rows = -1;
    setDialogHook([&](QDialog& pages) {
        shownTitle = pages.windowTitle();
        if (auto* table = pages.findChild<QTableWidget*>()) rows = table->rowCount();
        pages.reject();
    });
    properties->click();
    EXPECT_EQ(shownTitle, name);
    EXPECT_EQ(rows, static_cast<int>(settingCount));
    EXPECT_EQ(prompts.prompts.size(), 1u);
    EXPECT_TRUE(names(dialog.list()).contains(name));
}

TEST_F(CodecSelectTest, SelectOnTheDecodersPageReplacesTheChoiceAndTheStoreKeepsIt) {
    const auto& available = media::codec::availableCodecs(CodecRole::kH264VideoDecoder);
    ASSERT_FALSE(available.empty());
    QTemporaryDir dir;
    core::SettingsStore store(std::filesystem::path(dir.path().toStdString()) / "zorv.ini");
    core::Options options = store.loadStartupOptions(true);
    ASSERT_TRUE(options.avcVideoDecoder.id.isNull());
    QString dialogTitle;
    setDialogHook([&](QDialog& d) {
        auto* select = qobject_cast<CCodecSelectDialog*>(&d);
        ASSERT_NE(select, nullptr);
        dialogTitle = d.windowTitle();
        waitForSearch(*select);
        select->list()->setCurrentIndex(select->list()->count() - 1);
        select->accept();
    });
    QString shownName;
    setOptionsSheetHook([&](COptionsSheet& sheet) {
        ASSERT_TRUE(sheet.showPage(OptionsPageId::kDecoders));
        COptPage* page = sheet.page(OptionsPageId::kDecoders);
        page->findChild<QPushButton*>(QStringLiteral("decoderSelect1"))->click();
        shownName = page->findChild<QLineEdit*>(QStringLiteral("decoderName1"))->text();
        sheet.accept();
    });
    ASSERT_TRUE(runOptionsSheet(nullptr, options, store));
    EXPECT_EQ(dialogTitle, QStringLiteral("Select AVCHD Video Decoder"));
    EXPECT_EQ(shownName, QString::fromStdString(available.back().displayName));
    EXPECT_EQ(options.avcVideoDecoder.id, available.back().id);
    EXPECT_EQ(store.loadStartupOptions(true).avcVideoDecoder.id, available.back().id);
}

}  // namespace
}  // namespace zorv::app
