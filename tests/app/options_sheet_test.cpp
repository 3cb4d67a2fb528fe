// The options sheet driven as the user would: pages shown by their tree items, fields typed, OK.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/options_sheet.h"
#include "app/options_sheet_dialog.h"
#include "core/settings_store.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

using test::PromptRecorder;

class OptionsSheetTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApplication(); }

    template <class W>
    static W* field(COptionsSheet& sheet, OptionsPageId page, const char* name) {
        EXPECT_TRUE(sheet.showPage(page));
        COptPage* p = sheet.page(page);
        if (!p) return nullptr;
        return p->findChild<W*>(QString::fromLatin1(name));
    }
    static void type(QLineEdit* e, const QString& text) {
        ASSERT_NE(e, nullptr);
        e->setText(text);
    }
};

TEST_F(OptionsSheetTest, TreeHoldsEveryPageWithUserPositioningUnderBurnIn) {
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), core::Options::defaults());
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Options"));
    QTreeWidget* tree = sheet.tree();
    ASSERT_EQ(tree->topLevelItemCount(), 10);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("General"));
    EXPECT_EQ(tree->topLevelItem(4)->text(0), QStringLiteral("Burn-in"));
    ASSERT_EQ(tree->topLevelItem(4)->childCount(), 1);
    EXPECT_EQ(tree->topLevelItem(4)->child(0)->text(0), QStringLiteral("User Positioning"));
    EXPECT_EQ(tree->topLevelItem(9)->text(0), QStringLiteral("Export Subtitles"));
    // Only the first page exists until another is shown.
    EXPECT_NE(sheet.page(OptionsPageId::kGeneral), nullptr);
    EXPECT_EQ(sheet.page(OptionsPageId::kBurnIn), nullptr);
}

TEST_F(OptionsSheetTest, OutOfRangeRadioValuesShowTheirReadsAsChoice) {
    core::Options o = core::Options::defaults();
    o.dateFormat = 7;
    o.dropFrameDisplay = 3;
    o.subtitleLayout = 9;
    o.renderer = 0;
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), o);
    EXPECT_TRUE(field<QRadioButton>(sheet, OptionsPageId::kGeneral, "dateFormat1")->isChecked());
    EXPECT_EQ(field<QRadioButton>(sheet, OptionsPageId::kGeneral, "dateFormat1")->text(), QStringLiteral("dd/mm/yyyy"));
    EXPECT_TRUE(field<QRadioButton>(sheet, OptionsPageId::kGeneral, "dropFrame0")->isChecked());
    EXPECT_TRUE(field<QRadioButton>(sheet, OptionsPageId::kExportSubtitles, "subtitleLayout4")->isChecked());
    EXPECT_TRUE(field<QRadioButton>(sheet, OptionsPageId::kRendering, "renderer4")->isChecked());
}

TEST_F(OptionsSheetTest, UnvisitedPagesHandBackTheirValuesUnchanged) {
    core::Options o = core::Options::defaults();
    o.burnInDuration = 5000;
    o.textBrightness = 300;
    o.transparency = -4;
    o.textHeight = 999;
    o.burnPositions[3] = core::BurnPosition{200, 250};
    o.captureDurationHours = 0;
    o.captureDurationMinutes = 0;
    o.captureDurationSeconds = 0;
    PromptRecorder prompts;
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), o);
    field<QCheckBox>(sheet, OptionsPageId::kGeneral, "progressAsFrame")->setChecked(true);
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.messages().empty());
    core::Options expected = o;
    expected.progressAsFrameNumber = true;
    EXPECT_EQ(sheet.options(), expected);
}

TEST_F(OptionsSheetTest, VisitedBurnInPageShowsClampedValuesAndKeepsHiddenItemBits) {
    core::Options o = core::Options::defaults();
    o.burnInDuration = 5000;
    o.burnInItemMask = 0x19FF3;
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), o);
    EXPECT_EQ(field<QLineEdit>(sheet, OptionsPageId::kBurnIn, "burnDuration")->text(), QStringLiteral("999"));
    field<QCheckBox>(sheet, OptionsPageId::kBurnIn, "burnItem1")->setChecked(false);
    sheet.accept();
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.options().burnInDuration, 999);
    EXPECT_EQ(sheet.options().burnInItemMask, 0x19FF2u);  // 0x800 and 0x10000 kept
}

TEST_F(OptionsSheetTest, ZeroCaptureDurationRefusesOkEvenWhenStoppedManually) {
    core::Options o = core::Options::defaults();
    o.captureStopMode = 0;
    PromptRecorder prompts;
    COptionsSheet sheet(nullptr, QStringLiteral("Capture Options"), {OptionsPageId::kCapture, OptionsPageId::kSplitter}, o);
    QLineEdit* hours = field<QLineEdit>(sheet, OptionsPageId::kCapture, "captureHours");
    EXPECT_TRUE(field<QRadioButton>(sheet, OptionsPageId::kCapture, "stopMode0")->isChecked());
    type(hours, QStringLiteral("0"));
    sheet.accept();
    EXPECT_NE(sheet.result(), QDialog::Accepted);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.prompts[0].text, QStringLiteral("Duration must be greater than 00:00:00"));
    EXPECT_EQ(prompts.prompts[0].icon, QMessageBox::Warning);
    EXPECT_EQ(hours->selectedText(), QStringLiteral("0"));
    EXPECT_EQ(sheet.currentPage(), OptionsPageId::kCapture);
    // An empty field counts as invalid, in the page's order.
    type(hours, QString());
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Hours must be in the range 0 to 23"));
}

TEST_F(OptionsSheetTest, LeavingAnInvalidPageIsRefusedAndTheFieldSelected) {
    PromptRecorder prompts;
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), core::Options::defaults());
    QLineEdit* preroll = field<QLineEdit>(sheet, OptionsPageId::kSplitter, "preroll");
    type(preroll, QString());
    EXPECT_FALSE(sheet.showPage(OptionsPageId::kGeneral));
    EXPECT_EQ(sheet.currentPage(), OptionsPageId::kSplitter);
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Preroll delay must be in the range 0 to 10 seconds"));
    // Three digits at most: a fourth cannot be typed.
    QLineEdit* frames = sheet.page(OptionsPageId::kSplitter)->findChild<QLineEdit*>(QStringLiteral("timecodeTrigger"));
    EXPECT_EQ(frames->maxLength(), 3);
    type(preroll, QStringLiteral("11"));
    EXPECT_FALSE(sheet.showPage(OptionsPageId::kGeneral));
    EXPECT_EQ(preroll->selectedText(), QStringLiteral("11"));
    type(preroll, QStringLiteral("10"));
    EXPECT_TRUE(sheet.showPage(OptionsPageId::kGeneral));
}

TEST_F(OptionsSheetTest, SplitterThresholdFieldIsEnabledOnlyForItsTrigger) {
    core::Options o = core::Options::defaults();
    o.splitTrigger = 2;
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), o);
    auto* frames = field<QLineEdit>(sheet, OptionsPageId::kSplitter, "timecodeTrigger");
    auto* secs = field<QLineEdit>(sheet, OptionsPageId::kSplitter, "dateTimeTrigger");
    EXPECT_FALSE(frames->isEnabled());
    EXPECT_TRUE(secs->isEnabled());
    field<QRadioButton>(sheet, OptionsPageId::kSplitter, "splitTrigger1")->setChecked(true);
    EXPECT_TRUE(frames->isEnabled());
    EXPECT_FALSE(secs->isEnabled());
}

TEST_F(OptionsSheetTest, ModifyPageMessagesCarryTheModePrefix) {
    PromptRecorder prompts;
    core::Options o = core::Options::defaults();
    o.changeTimecode = true;
    o.timecodeMode = core::stored(core::ModifyMode::kStartFrom);
    COptionsSheet sheet(nullptr, QStringLiteral("Confirm Settings for Modifying Metadata"), {OptionsPageId::kModifyMetadata},
                        o);
    QLineEdit* hours = field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "tcHours");
    type(hours, QStringLiteral("-1"));
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("\"Start from\" Timecode Hours must be in the range 0 to 23"));
    EXPECT_EQ(hours->selectedText(), QStringLiteral("-1"));

    field<QRadioButton>(sheet, OptionsPageId::kModifyMetadata, "tcAdjust")->setChecked(true);
    type(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "tcFrames"), QStringLiteral("30"));
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("\"Adjust by\" Timecode Frames must be in the range -29 to 29"));

    field<QPushButton>(sheet, OptionsPageId::kModifyMetadata, "tcZero")->click();
    EXPECT_EQ(hours->text(), QStringLiteral("0"));
    field<QCheckBox>(sheet, OptionsPageId::kModifyMetadata, "changeDateTime")->setChecked(true);
    field<QRadioButton>(sheet, OptionsPageId::kModifyMetadata, "dtStart")->setChecked(true);
    type(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "dateMonths"), QStringLiteral("0"));
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("\"Start from\" Months must be in the range 1 to 12"));
    type(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "dateMonths"), QStringLiteral("5"));
    type(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "dateDays"), QStringLiteral("3"));

    field<QCheckBox>(sheet, OptionsPageId::kModifyMetadata, "setUserBits")->setChecked(true);
    type(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "userBits2"), QStringLiteral("G1"));
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("User bit values must be hexadecimal values in the range 00 to FF"));
    type(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "userBits2"), QStringLiteral("a5"));
    sheet.accept();
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.options().userBits[2], 0xA5);
    EXPECT_EQ(sheet.options().dateMonths, 5);
    EXPECT_EQ(sheet.options().timecodeMode, core::stored(core::ModifyMode::kAdjustBy));
}

TEST_F(OptionsSheetTest, UntickedModifyGroupsAreDisabled) {
    COptionsSheet sheet(nullptr, QStringLiteral("x"), {OptionsPageId::kModifyMetadata}, core::Options::defaults());
    auto* hours = field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "tcHours");
    EXPECT_FALSE(hours->isEnabled());
    field<QCheckBox>(sheet, OptionsPageId::kModifyMetadata, "changeTimecode")->setChecked(true);
    EXPECT_TRUE(hours->isEnabled());
    field<QCheckBox>(sheet, OptionsPageId::kModifyMetadata, "changeDateTime")->setChecked(true);
    field<QRadioButton>(sheet, OptionsPageId::kModifyMetadata, "dtFromName")->setChecked(true);
    EXPECT_FALSE(field<QLineEdit>(sheet, OptionsPageId::kModifyMetadata, "dateYears")->isEnabled());
}

TEST_F(OptionsSheetTest, BurnUserPageChecksHeightAndPositions) {
    PromptRecorder prompts;
    COptionsSheet sheet(nullptr, QStringLiteral("Confirm Settings for Burn-in"),
                        {OptionsPageId::kBurnIn, OptionsPageId::kBurnInUser}, core::Options::defaults());
    ASSERT_EQ(sheet.tree()->topLevelItemCount(), 1);
    auto* height = field<QLineEdit>(sheet, OptionsPageId::kBurnInUser, "textHeight");
    EXPECT_EQ(height->text(), QStringLiteral("5.0"));
    type(height, QStringLiteral("30.1"));
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Text height must be a percentage in the range 1.0 to 30.0"));
    type(height, QStringLiteral("12.5"));
    auto* y = field<QLineEdit>(sheet, OptionsPageId::kBurnInUser, "posY5");
    type(y, QStringLiteral("100"));
    sheet.accept();
    EXPECT_EQ(prompts.lastMessage(), QStringLiteral("Text positions must be a percentage in the range 0 to 99"));
    EXPECT_EQ(y->selectedText(), QStringLiteral("100"));
    type(y, QStringLiteral("42"));
    sheet.accept();
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.options().textHeight, 125);
    EXPECT_EQ(sheet.options().burnPositions[5].y, 42);
}

TEST_F(OptionsSheetTest, SaveAllSettingsAsDefaultReachesTheNextStart) {
    QTemporaryDir dir;
    core::SettingsStore store(std::filesystem::path(dir.path().toStdString()) / "zorv.ini");
    core::Options options = store.loadStartupOptions(true);
    setOptionsSheetHook([this](COptionsSheet& sheet) {
        field<QCheckBox>(sheet, OptionsPageId::kGeneral, "saveDefaults")->setChecked(true);
        field<QRadioButton>(sheet, OptionsPageId::kGeneral, "dateFormat3")->setChecked(true);
        field<QCheckBox>(sheet, OptionsPageId::kExportMetadata, "exportHeader")->setChecked(true);
        sheet.accept();
    });
    EXPECT_TRUE(runOptionsSheet(nullptr, options, store));
    setOptionsSheetHook({});
    EXPECT_EQ(options.dateFormat, 3);
    ASSERT_TRUE(store.hasSavedDefaults());
    const core::Options next = store.loadStartupOptions(true);
    EXPECT_EQ(next.dateFormat, 3);
    EXPECT_TRUE(next.exportHeader);
}

TEST_F(OptionsSheetTest, CancelChangesNothing) {
    QTemporaryDir dir;
    core::SettingsStore store(std::filesystem::path(dir.path().toStdString()) / "zorv.ini");
    core::Options options = core::Options::defaults();
    setOptionsSheetHook([this](COptionsSheet& sheet) {
        field<QRadioButton>(sheet, OptionsPageId::kGeneral, "dateFormat2")->setChecked(true);
        sheet.reject();
    });
    EXPECT_FALSE(runOptionsSheet(nullptr, options, store));
    setOptionsSheetHook({});
    EXPECT_EQ(options, core::Options::defaults());
    EXPECT_FALSE(store.hasSavedDefaults());
}

TEST_F(OptionsSheetTest, DamageSceneTriggerIsSavedWithTheOtherTriggers) {
    QTemporaryDir dir;
    core::SettingsStore store((dir.path() + QStringLiteral("/settings.ini")).toStdString());
    core::Options options = core::Options::defaults();
    options.saveAllSettingsAsDefault = true;
    // Switched on, then off again: each time the box shows what was stored and the other bits stay.
    for (const bool on : {true, false}) {
        bool shownBefore = !on;
        setOptionsSheetHook([&](COptionsSheet& sheet) {
            auto* box = field<QCheckBox>(sheet, OptionsPageId::kScenes, "scene80000");
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), QStringLiteral("Damage"));
            shownBefore = box->isChecked();
            box->setChecked(on);
            sheet.accept();
        });
        ASSERT_TRUE(runOptionsSheet(nullptr, options, store));
        setOptionsSheetHook({});
        EXPECT_EQ(shownBefore, !on);
        options = store.loadStartupOptions(true);
        EXPECT_EQ((options.sceneTriggerMask & core::scene_trigger::kDamage) != 0, on);
        EXPECT_EQ(options.sceneTriggerMask & ~core::scene_trigger::kDamage, core::scene_trigger::kRecordingDateTime);
    }
}

}  // namespace
}  // namespace zorv::app
