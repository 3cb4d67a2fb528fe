#include "core/settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace zorv::core {
namespace {

namespace fs = std::filesystem;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zorv-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        file_ = dir_ / "ZORV" / "ZORV Pro 4.ini";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void writeFile(const std::string& text) {
        fs::create_directories(file_.parent_path());
        std::ofstream(file_, std::ios::binary) << text;
    }
    std::string fileText() const {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    fs::path dir_;
    fs::path file_;
};

TEST_F(SettingsStoreTest, MissingFileGivesDefaults) {
    SettingsStore s(file_);
    EXPECT_EQ(s.readInt("Options", "RMWx", -1), -1);
    EXPECT_EQ(s.readString("Options", "BatchOp", ""), "");
    EXPECT_FALSE(s.rememberMainWindowPosition());
    EXPECT_EQ(s.readMainPlacement(), StoredMainPlacement{});
    EXPECT_EQ(s.readCapturePlacement(), StoredCapturePlacement{});
    EXPECT_EQ(s.progressWindowX(), -1);
    EXPECT_TRUE(s.recentFiles().empty());
    EXPECT_EQ(s.loadStartupOptions(true), Options::defaults(true));
    EXPECT_FALSE(fs::exists(file_));  // reading creates nothing
}

TEST_F(SettingsStoreTest, ValuesRoundTripAndWrongTypesGiveDefaults) {
    SettingsStore s(file_);
    s.writeInt("Options", "RMWx", -250);
    s.writeInt("Settings", "X", 2147483647);
    s.writeString("Options", "BatchOp", "Split File");
    SettingsStore again(file_);
    EXPECT_EQ(again.readInt("Options", "RMWx", -1), -250);
    EXPECT_EQ(again.readInt("Settings", "X", -1), 2147483647);
    EXPECT_EQ(again.readString("Options", "BatchOp", ""), "Split File");
    // Names compare without case, like registry names.
    EXPECT_EQ(again.readInt("options", "rmwx", -1), -250);
    // Wrong types.
    EXPECT_EQ(again.readString("Options", "RMWx", "dflt"), "dflt");
    EXPECT_EQ(again.readInt("Options", "BatchOp", 7), 7);
    // Overwrite keeps one value.
    s.writeInt("Options", "RMWx", 3);
    EXPECT_EQ(again.readInt("Options", "RMWx", -1), 3);
}

TEST_F(SettingsStoreTest, UnusualCharactersRoundTrip) {
    SettingsStore s(file_);
    const std::string texts[] = {
        "C:\\Video\\\"quoted\" name.avi",
        "  leading and trailing  ",
        "line1\nline2\r\nline3\ttab",
        "a=b; [c] #d",
        std::string("ctl\x01\x1f\x7f", 6),
        "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
        "",
        "\"",
        "\\",
    };
    int i = 0;
    for (const auto& t : texts) s.writeString("Recent File List", "File" + std::to_string(++i), t);
    i = 0;
    for (const auto& t : texts) EXPECT_EQ(s.readString("Recent File List", "File" + std::to_string(++i), "?"), t);
}

TEST_F(SettingsStoreTest, HandEditedFileIsReadTolerantly) {
    writeFile(
        "; settings\r\n"
        "junk line\r\n"
        "[Options]\r\n"
        "  RMWx = 12 \r\n"
        "RMWx=99\r\n"           // a repeated name: the first wins
        "RMWy=4294967295\r\n"   // written as an unsigned DWORD
        "RMWw=99999999999\r\n"  // no DWORD: not an integer
        "BatchFolder=/home/me/out dir\r\n"
        "BatchOp=\"broken \\q escape\"\r\n"
        "[ Settings ]\r\n"
        "X=-5\r\n"
        "[\r\n"
        "Y=8\r\n");  // under a broken header: ignored
    SettingsStore s(file_);
    EXPECT_EQ(s.readInt("Options", "RMWx", -1), 12);
    EXPECT_EQ(s.readInt("Options", "RMWy", 0), -1);
    EXPECT_EQ(s.readInt("Options", "RMWw", -1), -1);
    EXPECT_EQ(s.readString("Options", "BatchFolder", ""), "/home/me/out dir");
    EXPECT_EQ(s.readString("Options", "BatchOp", "none"), "none");
    EXPECT_EQ(s.readInt("Settings", "X", 0), -5);
    EXPECT_EQ(s.readInt("Settings", "Y", -1), -1);
}

TEST_F(SettingsStoreTest, WritesReplaceTheFileAndLeaveNoTemporaries) {
    SettingsStore s(file_);
    for (int i = 0; i < 5; ++i) s.writeInt("Options", "RCWx", i);
    int files = 0;
    for (const auto& e : fs::directory_iterator(file_.parent_path())) {
        const auto name = e.path().filename().string();
        if (name != "ZORV Pro 4.ini" && name != "ZORV Pro 4.ini.lock") ADD_FAILURE() << "left behind: " << name;
        ++files;
    }
    EXPECT_LE(files, 2);
    EXPECT_EQ(s.readInt("Options", "RCWx", -1), 4);
}

TEST_F(SettingsStoreTest, WriteFailureIsIgnored) {
    // The folder of the store is a plain file: nothing can be created there, whoever runs the test.
    std::ofstream(dir_ / "blocker") << "x";
    SettingsStore s(dir_ / "blocker" / "ZORV Pro 4.ini");
    s.writeInt("Options", "RMWPos", 1);
    s.writeString("Options", "BatchOp", "Convert");
    EXPECT_EQ(s.readInt("Options", "RMWPos", -1), -1);
    EXPECT_EQ(s.readString("Options", "BatchOp", "none"), "none");
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
    SettingsStore a(file_), b(file_);
    std::thread t1([&] {
        for (int i = 0; i < 40; ++i) a.writeInt("Options", "A" + std::to_string(i), i);
    });
    std::thread t2([&] {
        for (int i = 0; i < 40; ++i) b.writeInt("Options", "B" + std::to_string(i), i);
    });
    t1.join();
    t2.join();
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(a.readInt("Options", "A" + std::to_string(i), -1), i);
        EXPECT_EQ(a.readInt("Options", "B" + std::to_string(i), -1), i);
    }
}

TEST_F(SettingsStoreTest, DecoderSelectionLoadRule) {
    SettingsStore s(file_);
    EXPECT_EQ(s.readDecoderSelection(DecoderRole::kMpeg2Video), (DecoderSelection{Guid{}, "Not selected"}));

    const Guid id = Guid::fromName("mpeg2video");
    s.writeDecoderSelection(DecoderRole::kAvcVideo, DecoderSelection{id, "FFmpeg H.264"});
    EXPECT_EQ(s.readString("Options", "AvcVGuid", ""), id.toString());
    EXPECT_EQ(s.readDecoderSelection(DecoderRole::kAvcVideo), (DecoderSelection{id, "FFmpeg H.264"}));

    s.writeString("Options", "Mpeg2Guid", "abc");
    s.writeString("Options", "Mpeg2Name", "Some Decoder");
    EXPECT_EQ(s.readDecoderSelection(DecoderRole::kMpeg2Video), (DecoderSelection{Guid{}, "Not selected"}));

    // A parsable GUID without a name gets the default name.
    s.writeString("Options", "AvcAGuid", id.toString());
    EXPECT_EQ(s.readDecoderSelection(DecoderRole::kAvcAudio), (DecoderSelection{id, "Not selected"}));
}

TEST_F(SettingsStoreTest, RecentFilesNewestFirstAtMostFour) {
    SettingsStore s(file_);
    for (const char* p : {"/a.avi", "/b.avi", "/c.m2t", "/d.mts", "/e.dv"}) s.addRecentFile(p);
    EXPECT_EQ(s.recentFiles(), (std::vector<std::string>{"/e.dv", "/d.mts", "/c.m2t", "/b.avi"}));
    s.addRecentFile("/c.m2t");
    EXPECT_EQ(s.recentFiles(), (std::vector<std::string>{"/c.m2t", "/e.dv", "/d.mts", "/b.avi"}));
    EXPECT_EQ(s.readString("Recent File List", "File1", ""), "/c.m2t");
    s.removeRecentFile("/e.dv");
    EXPECT_EQ(s.recentFiles(), (std::vector<std::string>{"/c.m2t", "/d.mts", "/b.avi"}));
    EXPECT_EQ(s.readString("Recent File List", "File4", "absent"), "absent");
}

TEST_F(SettingsStoreTest, MainWindowExitSaveFollowsRemember) {
    SettingsStore s(file_);
    const MainPlacement p{WindowRect{10, 20, 810, 620}, kShowMaximized};
    s.saveMainWindowOnExit(true, p);
    EXPECT_TRUE(s.rememberMainWindowPosition());
    EXPECT_EQ(s.readMainPlacement(), (StoredMainPlacement{10, 20, 800, 600, 3}));

    // Remember off: the position values stay as they were, RMWPos becomes 0.
    s.saveMainWindowOnExit(false, MainPlacement{WindowRect{0, 0, 100, 100}, kShowNormal});
    EXPECT_EQ(s.readInt("Options", "RMWPos", -1), 0);
    EXPECT_FALSE(s.rememberMainWindowPosition());
    EXPECT_EQ(s.readMainPlacement(), (StoredMainPlacement{10, 20, 800, 600, 3}));
}

TEST_F(SettingsStoreTest, CaptureAndProgressPositions) {
    SettingsStore s(file_);
    s.writeCapturePlacement(storedFromCaptureRect(WindowRect{5, 6, 505, 706}));
    EXPECT_EQ(s.readCapturePlacement(), (StoredCapturePlacement{5, 6, 700}));
    s.writeProgressWindowPosition(-3, 44);
    EXPECT_EQ(s.progressWindowX(), -3);
    EXPECT_EQ(s.progressWindowY(), 44);
}

TEST_F(SettingsStoreTest, SavedDefaultsReplaceBuiltInDefaultsAtNextStart) {
    Options o = Options::defaults(true);
    o.dateFormat = 3;
    o.showGpsItems = true;
    o.renderer = 7;  // out of range values are kept as they were
    o.sceneTriggerMask = 0x8000FFFF;
    o.burnInItemMask = 0xFFFFFFFF;
    o.fontFace = "DejaVu Sans \"Mono\"";
    o.outputCompressor = DecoderSelection{Guid::fromName("ffv1"), "FFV1 lossless"};
    o.burnPositions[0] = BurnPosition{250, 0};
    o.burnPositions[31] = BurnPosition{1, 2};
    o.captureStopMode = 2;
    o.useSplitter = false;
    o.prerollDelaySeconds = 4;
    o.changeDateTime = true;
    o.dateTimeMode = stored(ModifyMode::kFromFileName);
    o.userBits = {1, 2, 0xAB, 0xFF};
    o.timecodeHours = -5;
    o.subtitleLayout = 3;
    o.saveAllSettingsAsDefault = true;

    SettingsStore s(file_);
    EXPECT_FALSE(s.hasSavedDefaults());
    s.saveOptionsAsDefaults(o);
    EXPECT_TRUE(s.hasSavedDefaults());

    SettingsStore next(file_);
    const Options loaded = next.loadStartupOptions(true);
    EXPECT_EQ(loaded, o);

    // The decoder selections and the remember flag come from their own values, not the defaults.
    const Guid dec = Guid::fromName("mpeg2video");
    next.writeDecoderSelection(DecoderRole::kMpeg2Video, DecoderSelection{dec, "MPEG-2"});
    next.writeInt("Options", "RMWPos", 1);
    const Options again = next.loadStartupOptions(true);
    EXPECT_EQ(again.mpeg2Decoder, (DecoderSelection{dec, "MPEG-2"}));
    EXPECT_TRUE(again.rememberMainWindowPosition);

    next.clearSavedDefaults();
    EXPECT_FALSE(next.hasSavedDefaults());
    EXPECT_EQ(next.loadStartupOptions(false).dateFormat, 1);
    EXPECT_EQ(next.loadStartupOptions(false).renderer, stored(Renderer::kVmr7Windowless));
}

TEST_F(SettingsStoreTest, DamagedSavedDefaultsFallBackPerValue) {
    writeFile(
        "[Defaults]\n"
        "DateFormat=2\n"
        "BurnTextBright=\"ninety\"\n"  // wrong type: built-in default
        "BurnPositions=\"1,2 3,4\"\n"  // too few pairs: built-in table
        "BurnCompGuid=\"abc\"\n"
        "BurnCompName=\"Lost\"\n");
    const Options o = SettingsStore(file_).loadStartupOptions(true);
    EXPECT_EQ(o.dateFormat, 2);
    EXPECT_EQ(o.textBrightness, 90);
    EXPECT_EQ(o.burnPositions, defaultBurnPositions());
    EXPECT_EQ(o.outputCompressor.name, "Uncompressed");
}

TEST(SettingsStorePath, FollowsXdgConfigHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
    EXPECT_EQ(SettingsStore::defaultPath(), fs::path("/x/cfg/ZORV/ZORV Pro 4.ini"));
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);  // not absolute: ignored
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SettingsStore::defaultPath(), fs::path("/home/u/.config/ZORV/ZORV Pro 4.ini"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::defaultPath(), fs::path("/home/u/.config/ZORV/ZORV Pro 4.ini"));

    if (oldXdg) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);
    else ::unsetenv("HOME");
}

TEST(BurnPositionsText, RoundTripAndStrictness) {
    BurnPositionTable t = defaultBurnPositions();
    t[31] = BurnPosition{255, 99};
    EXPECT_EQ(parseBurnPositions(formatBurnPositions(t)), t);
    EXPECT_FALSE(parseBurnPositions(""));
    EXPECT_FALSE(parseBurnPositions(formatBurnPositions(t) + " 1,1"));
    std::string big = formatBurnPositions(t);
    big.replace(big.rfind("255"), 3, "256");
    EXPECT_FALSE(parseBurnPositions(big));
}

}  // namespace
}  // namespace zorv::core
