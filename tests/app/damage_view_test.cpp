// The damage of a generated DV clip in the main window: the strip's marks and their colour classes,
// Next/Previous Damaged Frame with their keys and ends, and the block outline of a damaged frame against
// the macroblock areas of the blocks the generator damaged.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <QAction>
#include <QTest>

#include "app/damage_colours.h"
#include "app/damage_outline.h"
#include "app/damage_scan.h"
#include "app/damage_strip.h"
#include "app/main_dialog.h"
#include "app/menu_state.h"
#include "app_test_support.h"
#include "core/dv_macroblock_map.h"
#include "core/settings_store.h"
#include "gen/clip_writer.h"

namespace zorv::app {
namespace {

namespace fs = std::filesystem;
using core::DamageSeverity;

// Twelve PAL frames: concealed blocks in 2 and 3, blocks in error in 5, audio error samples only in 7,
// concealed blocks again in 9 and frame 10 dropped from the index.
gen::ClipSpec damagedClip() {
    gen::ClipSpec c;
    c.frames = 12;
    c.damage = {{2, 0xA, 0.2, 0.5}, {3, 0xA, 0.2, 0.5}, {5, 0xF, 0.05, 0.9}, {9, 0x2, 0.01, 0.0}};
    c.audioErrors = {{7, 0, 6, 10}};
    c.dropped = {10};
    return c;
}

struct Mark {
    DamageSeverity severity;
    bool dropped;
    QColor colour;
};

class DamageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::ensureQtApplication();
        dir_ = apptest::testFolder("zorv-app-damage");
        store_ = std::make_unique<core::SettingsStore>(dir_ / "settings.ini");
    }
    void TearDown() override {
        window_.reset();
        fs::remove_all(dir_);
    }
    // A window with the clip open and its damage scan done.
    CMainDialog& open(const gen::ClipSpec& clip, const char* name) {
        const std::string path = gen::cachedClip(name, clip, gen::Container::Avi1);
        window_ = std::make_unique<CMainDialog>(*store_, false);
        window_->show();
        EXPECT_TRUE(window_->openFile(QString::fromStdString(path)));
        EXPECT_TRUE(apptest::pumpUntil([&] { return window_->damageScan().finished(); })) << "damage scan not done";
        return *window_;
    }
    int64_t index() { return window_->player() ? window_->player()->pictureIndex() : -1; }
    bool enabled(int id) { return window_->action(id) && window_->action(id)->isEnabled(); }

    fs::path dir_;
    std::unique_ptr<core::SettingsStore> store_;
    std::unique_ptr<CMainDialog> window_;
    apptest::Prompts prompts_;
};

TEST_F(DamageViewTest, StripMarksExactlyTheDamagedFramesBySeverity) {
    CMainDialog& w = open(damagedClip(), "app-damaged.avi");
    const std::map<int64_t, Mark> expected = {
        {2, {DamageSeverity::kConcealed, false, damage_colour::concealed()}},
        {3, {DamageSeverity::kConcealed, false, damage_colour::concealed()}},
        {5, {DamageSeverity::kUncorrected, false, damage_colour::uncorrected()}},
        {7, {DamageSeverity::kAudio, false, damage_colour::audio()}},
        {9, {DamageSeverity::kConcealed, false, damage_colour::concealed()}},
        {10, {DamageSeverity::kUncorrected, true, damage_colour::dropped()}},
    };
    DamageStrip* strip = w.damageStrip();
    ASSERT_NE(strip, nullptr);
    ASSERT_TRUE(strip->isVisible());
    for (int64_t n = 0; n < 12; ++n) {
        const tools::DamageRun* run = strip->runAt(n);
        const auto it = expected.find(n);
        if (it == expected.end()) {
            EXPECT_EQ(run, nullptr) << "frame " << n << " is whole";
            continue;
        }
        ASSERT_NE(run, nullptr) << "frame " << n;
        EXPECT_EQ(run->severity, it->second.severity) << "frame " << n;
        EXPECT_EQ(run->dropped, it->second.dropped) << "frame " << n;
        EXPECT_EQ(DamageStrip::colour(*run), it->second.colour) << "frame " << n;
        // The mark lies where the slider's handle stands for that frame, inside the strip.
        const auto [x0, x1] = strip->frameSpan(n);
        EXPECT_LT(x0, x1);
        EXPECT_GE(x0, 0);
        EXPECT_LE(x1, strip->width());
    }
    EXPECT_EQ(w.damageScan().runs().size(), 5u) << "frames 2 and 3 are one run";
}

TEST_F(DamageViewTest, NextAndPreviousDamagedFrameVisitEachRunAndWrapAtTheEnds) {
    CMainDialog& w = open(damagedClip(), "app-damaged.avi");
    EXPECT_TRUE(enabled(cmd::kNextDamage) && enabled(cmd::kPreviousDamage));
    // From frame 0 forwards (the first by its key), round past the end; then backwards from inside a run.
    QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(index(), 2);
    for (int64_t want : {5, 7, 9, 10, 2}) {
        w.command(cmd::kNextDamage);
        EXPECT_EQ(index(), want);
    }
    w.command(cmd::kFwdFrame);
    EXPECT_EQ(index(), 3);
    for (int64_t want : {2, 10, 9, 7}) {
        w.command(cmd::kPreviousDamage);
        EXPECT_EQ(index(), want);
    }
    EXPECT_TRUE(prompts_.seen.empty());

    // A whole clip: nothing to go to, both commands grey.
    gen::ClipSpec clean;
    clean.frames = 4;
    open(clean, "app-whole.avi");
    EXPECT_TRUE(window_->damageScan().runs().empty());
    EXPECT_FALSE(enabled(cmd::kNextDamage) || enabled(cmd::kPreviousDamage));
    EXPECT_TRUE(enabled(cmd::kNextScene)) << "the file is open";
}

TEST_F(DamageViewTest, OutlineHoldsTheMacroblockAreasOfTheDamagedBlocksAndIsRemembered) {
    const gen::ClipSpec clip = damagedClip();
    CMainDialog& w = open(clip, "app-damaged.avi");
    ASSERT_FALSE(w.action(cmd::kShowDamagedBlocks)->isChecked()) << "off by default";
    w.command(cmd::kShowDamagedBlocks);
    EXPECT_TRUE(w.action(cmd::kShowDamagedBlocks)->isChecked());
    for (const gen::BlockDamage& d : clip.damage) {
        w.command(cmd::kFirstFrame);
        for (int64_t i = 0; i < d.frame; ++i) w.command(cmd::kFwdFrame);
        ASSERT_EQ(index(), d.frame);
        const DamageOutline& outline = w.damageOutline();
        ASSERT_EQ(outline.frame(), d.frame);
        const gen::DamagedRun run = gen::damagedRun(d, 144000);
        std::vector<std::tuple<int, int, int, int, bool>> want, got;
        for (int i = 0; i < run.count; ++i) {
            const int p = (run.first + i) % (12 * 135);
            const core::dv::PictureArea a = core::dv::videoBlockArea(true, p / 135, p % 135);
            want.emplace_back(a.x, a.y, a.width, a.height, d.sta != 0xF);
        }
        for (const DamageOutline::Block& b : outline.blocks())
            got.emplace_back(b.area.x, b.area.y, b.area.width, b.area.height, b.concealed);
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want) << "frame " << d.frame;
    }
    // A whole frame has no outline.
    w.command(cmd::kFirstFrame);
    EXPECT_TRUE(w.damageOutline().blocks().empty());

    // The choice is in the store: the next window starts with it.
    EXPECT_TRUE(store_->loadStartupOptions(false).showDamagedBlocks);
    window_ = std::make_unique<CMainDialog>(*store_, false);
    EXPECT_TRUE(window_->action(cmd::kShowDamagedBlocks)->isChecked());
}

}  // namespace
}  // namespace zorv::app
