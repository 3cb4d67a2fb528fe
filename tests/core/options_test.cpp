#include "core/options.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zorv::core {
namespace {

TEST(Options, DefaultsOfEveryPage) {
    const Options o = Options::defaults();
    EXPECT_EQ(o.dateFormat, 1);
    EXPECT_EQ(o.dropFrameDisplay, 0);
    EXPECT_FALSE(o.progressAsFrameNumber || o.gpsInDecimal || o.showGpsItems || o.saveAllSettingsAsDefault);
    EXPECT_EQ(o.dvDecoderResolution, 0);
    EXPECT_TRUE(o.mpeg2Decoder.id.isNull());
    EXPECT_EQ(o.mpeg2Decoder.name, "Not selected");
    EXPECT_EQ(o.avcAudioDecoder.name, "Not selected");
    EXPECT_EQ(o.renderer, stored(Renderer::kVmr9Windowless));
    EXPECT_EQ(Options::defaults(false).renderer, stored(Renderer::kVmr7Windowless));
    EXPECT_EQ(o.sceneTriggerMask, 0x10u);
    EXPECT_EQ(o.burnInMode, 0);
    EXPECT_EQ(o.burnInDuration, 5);
    EXPECT_EQ(o.burnInDurationUnit, 0);
    EXPECT_EQ(o.textPositioning, 2);
    EXPECT_EQ(o.textBrightness, 90);
    EXPECT_EQ(o.outlineBrightness, 10);
    EXPECT_EQ(o.transparency, 0);
    EXPECT_EQ(o.burnInItemMask, 0x19FF3u);
    EXPECT_EQ(o.outputCompressor.name, "Uncompressed");
    EXPECT_TRUE(o.outputCompressor.id.isNull());
    EXPECT_EQ(o.fontFace, "Courier New");
    EXPECT_EQ(o.textHeight, 50);
    EXPECT_EQ(o.styleFlags, 1);
    EXPECT_EQ(o.captureStopMode, 0);
    EXPECT_EQ(o.captureDurationHours, 1);
    EXPECT_EQ(o.noFramesSeconds, 10);
    EXPECT_EQ(o.captureAviType, 2);
    EXPECT_TRUE(o.useSplitter);
    EXPECT_FALSE(o.slaveToCamera || o.useCurrentDateTime);
    EXPECT_EQ(o.splitTrigger, 1);
    EXPECT_EQ(o.splitFileNameFormat, 1);
    EXPECT_EQ(o.timecodeTriggerFrames, 1);
    EXPECT_EQ(o.dateTimeTriggerSeconds, 1);
    EXPECT_EQ(o.prerollDelaySeconds, 0);
    EXPECT_FALSE(o.changeTimecode || o.changeDateTime || o.setUserBits || o.changeDropFrame || o.changeWidescreen);
    EXPECT_EQ(o.userBits, (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(o.exportFrequency, 1);
    EXPECT_FALSE(o.exportHeader);
    EXPECT_EQ(o.subtitleLayout, 0);
    EXPECT_EQ(o.normalized(), o);  // the defaults are all in range
}

TEST(Options, DefaultItemMaskCarriesTheTwoHiddenBits) {
    const std::uint32_t m = Options::defaults().burnInItemMask;
    EXPECT_TRUE(m & 0x800);
    EXPECT_TRUE(m & 0x10000);
    EXPECT_FALSE(m & burnItemBit(BurnItem::kFileProgress));
    EXPECT_FALSE(m & burnItemBit(BurnItem::kFrameType));
    EXPECT_FALSE(m & burnItemBit(BurnItem::kLatitude));
}

TEST(Options, DefaultUserPositions) {
    const auto& t = defaultBurnPositions();
    auto at = [&](BurnItem i) { return t[static_cast<int>(i)]; };
    EXPECT_EQ(at(BurnItem::kTimecode), (BurnPosition{5, 10}));
    EXPECT_EQ(at(BurnItem::kFileProgress), (BurnPosition{5, 20}));
    EXPECT_EQ(at(BurnItem::kAudio), (BurnPosition{83, 20}));
    EXPECT_EQ(at(BurnItem::kTrack), (BurnPosition{35, 30}));
    std::set<int> columns, cameraRows, gpsRows;
    std::set<std::pair<int, int>> cells;
    for (int i = 0; i < kBurnItemCount; ++i) {
        columns.insert(t[i].x);
        (i >= static_cast<int>(BurnItem::kLatitude) ? gpsRows : cameraRows).insert(t[i].y);
        EXPECT_TRUE(cells.insert({t[i].x, t[i].y}).second) << "two items share a cell at item " << i;
    }
    EXPECT_EQ(columns, (std::set<int>{5, 24, 35, 59, 71, 83}));
    EXPECT_EQ(cameraRows, (std::set<int>{10, 15, 20}));
    EXPECT_EQ(gpsRows, (std::set<int>{25, 30, 35}));
    for (int i = kBurnItemCount; i < kBurnPositionSlots; ++i) EXPECT_EQ(t[i], (BurnPosition{0, 0}));
}

TEST(Options, ReadsAsRules) {
    EXPECT_EQ(clampDateFormat(7), 1);  // a stored 7 shows "dd/mm/yyyy"
    EXPECT_EQ(clampDateFormat(0), 1);
    EXPECT_EQ(clampDateFormat(3), 3);
    EXPECT_EQ(clampDropFrameDisplay(2), 0);
    EXPECT_EQ(clampRenderer(0), stored(Renderer::kVmr9Windowed));
    EXPECT_EQ(clampRenderer(9), stored(Renderer::kVmr9Windowed));
    EXPECT_EQ(clampRenderer(3), stored(Renderer::kVmr7Windowed));
    EXPECT_EQ(clampBurnInMode(5), 1);
    EXPECT_EQ(clampBurnInDuration(1000), 999);
    EXPECT_EQ(clampBurnInDuration(0), 1);
    EXPECT_EQ(clampBurnInDurationUnit(3), 1);
    EXPECT_EQ(clampPercent(101, 100), 100);
    EXPECT_EQ(clampPercent(100, 99), 99);
    EXPECT_EQ(clampPercent(-4, 100), 0);
    EXPECT_EQ(clampTextHeight(301), 300);
    EXPECT_EQ(clampTextHeight(9), 10);
    EXPECT_EQ(clampPositionPercent(200), 99);
    EXPECT_EQ(clampCaptureStopMode(3), 0);
    EXPECT_EQ(clampCaptureStopMode(-1), 0);
    EXPECT_EQ(clampCaptureAviType(0), 2);
    EXPECT_EQ(clampCaptureAviType(1), 1);
    EXPECT_EQ(clampSplitTrigger(5), 1);
    EXPECT_EQ(clampSplitTrigger(4), 4);
    EXPECT_EQ(clampSplitFileNameFormat(0), 1);
    EXPECT_EQ(clampSplitThreshold(0), 1);
    EXPECT_EQ(clampSplitThreshold(1000), 999);
    EXPECT_EQ(clampPrerollDelay(11), 10);
    EXPECT_EQ(clampPrerollDelay(10), 10);
    EXPECT_EQ(clampSubtitleLayout(5), 4);
    EXPECT_EQ(clampSubtitleLayout(-1), 4);
    EXPECT_EQ(clampSubtitleLayout(3), 3);
}

TEST(Options, RecordKeepsOutOfRangeValuesUntilNormalized) {
    Options o = Options::defaults();
    o.textBrightness = 150;
    o.burnInDuration = 5000;
    o.burnPositions[3] = BurnPosition{120, 255};
    o.userBits = {0x1FF, -3, 0x10, 0xFF};
    const Options n = o.normalized();
    EXPECT_EQ(o.textBrightness, 150);  // an unvisited page hands back what it was given
    EXPECT_EQ(n.textBrightness, 100);
    EXPECT_EQ(n.burnInDuration, 999);
    EXPECT_EQ(n.burnPositions[3], (BurnPosition{99, 99}));
    EXPECT_EQ(n.userBits, (std::array<int, 4>{0xFF, 0, 0x10, 0xFF}));
}

TEST(Options, CaptureDurationLimitOnlyInDurationMode) {
    Options o = Options::defaults();
    o.captureDurationHours = 2;
    o.captureDurationMinutes = 3;
    o.captureDurationSeconds = 4;
    EXPECT_EQ(captureDurationLimitSeconds(o), 0);
    o.captureStopMode = 1;
    EXPECT_EQ(captureDurationLimitSeconds(o), 7384);
    o.captureStopMode = 2;
    EXPECT_EQ(captureDurationLimitSeconds(o), 0);
}

class NameCollector final : public OptionFieldVisitor {
public:
    std::set<std::string> names;
    int count = 0;
    void add(std::string_view n) {
        ++count;
        names.insert(std::string(n));
    }
    void intField(std::string_view n, int&) override { add(n); }
    void maskField(std::string_view n, std::uint32_t&) override { add(n); }
    void flagField(std::string_view n, bool&) override { add(n); }
    void textField(std::string_view n, std::string&) override { add(n); }
    void selectionField(std::string_view n, DecoderSelection&) override { add(n); }
    void positionsField(std::string_view n, BurnPositionTable&) override { add(n); }
};

TEST(Options, FieldNamesAreUnique) {
    Options o;
    NameCollector c;
    visitOptionFields(o, c);
    EXPECT_EQ(static_cast<std::size_t>(c.count), c.names.size());
    EXPECT_GT(c.count, 60);
}

}  // namespace
}  // namespace zorv::core
