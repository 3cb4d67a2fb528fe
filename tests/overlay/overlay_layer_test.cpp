// Pixel tests of the overlay layer on synthetic pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "overlay/overlay_layer.h"

namespace zorv::overlay {
namespace {

struct Picture {
    int width, height, stride;
    std::vector<uint8_t> bytes;
    Picture(int w, int h, uint8_t r, uint8_t g, uint8_t b)
        : width(w), height(h), stride(core::RgbPicture::strideFor(w)), bytes(static_cast<size_t>(stride) * h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &bytes[static_cast<size_t>(y) * stride + x * 3];
                p[0] = r, p[1] = g, p[2] = b;
            }
    }
    void noise(unsigned seed) {
        std::mt19937 rng(seed);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 200 + 20);
    }
    core::RgbPicture view() { return core::RgbPicture{bytes.data(), width, height, stride, 0, height}; }
    const uint8_t* at(int x, int y) const { return &bytes[static_cast<size_t>(y) * stride + x * 3]; }
    bool rowEqual(const Picture& o, int y) const { return std::equal(at(0, y), at(0, y) + width * 3, o.at(0, y)); }
};

// A DV record with timecode 01:02:03:04, recording date and time, camera packs and audio.
core::MetadataRecord dvRecord() {
    core::MetadataRecord rec;
    rec.set(0x13, 0x04, 0x03, 0x02, 0x01);
    rec.set(0x62, 0xFF, 0x15, 0x06, 0x11);
    rec.set(0x63, 0xFF, 0x00, 0x30, 0x10);
    rec.set(0x70, 0xC5, 0x02, 0x20, 0x0F);
    rec.set(0x71, 0xFF, 0x7F, 0xFF, 0xFF);
    rec.set(0x7F, 0xFF, 0xFF, 0x32, 0x00);
    rec.set(0x50, 0xD0, 0x30, 0xC0, 0xC0);
    return rec;
}

OverlayLayer dvLayer(int mode, int text, int outline, int transparency) {
    OverlayLayer layer(core::MediaFamily::kDv);
    layer.setBrightness(text, outline, transparency);
    layer.setPositioning(core::choiceOf<core::TextPositioning>(mode), core::defaultBurnPositions(), false);
    return layer;
}

// out = base with the layer's drawing of the record; the layer's answer.
bool drawOnCopy(OverlayLayer& layer, const Picture& base, const core::MetadataRecord& rec, Picture& out) {
    out = base;
    auto v = out.view();
    return layer.draw(v, OverlayFrame{&rec});
}

TEST(OverlayLevels, BrightnessMapsToStudioGrey) {
    OverlayLayer layer(core::MediaFamily::kDv);
    layer.setBrightness(100, 0, 0);
    EXPECT_EQ(layer.textLevel(), 235);
    EXPECT_EQ(layer.outlineLevel(), 0);
    layer.setBrightness(90, 10, 0);
    EXPECT_EQ(layer.textLevel(), 211);
    EXPECT_EQ(layer.outlineLevel(), 23);
    layer.setBrightness(150, -5, 0);
    EXPECT_EQ(layer.textLevel(), 235);
    EXPECT_EQ(layer.outlineLevel(), 0);
}

TEST(OverlayLayerPixels, FullBrightnessTextIsGrey235AndOutlineZeroIsBlack) {
    OverlayLayer layer = dvLayer(2, 100, 0, 0);
    ASSERT_TRUE(layer.prepare(720, 576, {}));
    Picture pic(720, 576, 40, 60, 80);
    auto rec = dvRecord();
    auto v = pic.view();
    ASSERT_TRUE(layer.draw(v, OverlayFrame{&rec, 12}));
    int full = 0, black = 0;
    uint8_t maxByte = 0;
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 720; ++x) {
            const uint8_t* p = pic.at(x, y);
            maxByte = std::max({maxByte, p[0], p[1], p[2]});
            if (p[0] == 235 && p[1] == 235 && p[2] == 235) ++full;
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) ++black;
        }
    EXPECT_EQ(maxByte, 235);
    EXPECT_GT(full, 200);
    EXPECT_GT(black, 200);
}

TEST(OverlayLayerPixels, TransparencyBlendsOnlyChangedPixels) {
    Picture base(720, 576, 0, 0, 0);
    base.noise(7);
    auto rec = dvRecord();

    OverlayLayer opaque = dvLayer(1, 100, 0, 0);
    ASSERT_TRUE(opaque.prepare(720, 576, {}));
    Picture drawn = base;
    auto dv = drawn.view();
    ASSERT_TRUE(opaque.draw(dv, OverlayFrame{&rec}));

    OverlayLayer seeThrough = dvLayer(1, 100, 0, 99);
    ASSERT_TRUE(seeThrough.prepare(720, 576, {}));
    Picture faint = base;
    auto fv = faint.view();
    ASSERT_TRUE(seeThrough.draw(fv, OverlayFrame{&rec}));

    int changed = 0;
    for (size_t i = 0; i < base.bytes.size(); i += 3) {
        const uint8_t* b = &base.bytes[i];
        const uint8_t* d = &drawn.bytes[i];
        const uint8_t* f = &faint.bytes[i];
        if (b[0] == d[0] && b[1] == d[1] && b[2] == d[2]) {
            ASSERT_TRUE(f[0] == b[0] && f[1] == b[1] && f[2] == b[2]) << "unchanged pixel " << i / 3 << " moved";
            continue;
        }
        ++changed;
        for (int k = 0; k < 3; ++k) ASSERT_EQ(f[k], (b[k] * 99 + d[k] * 1) / 100) << "pixel " << i / 3;
    }
    EXPECT_GT(changed, 1000);
}

TEST(OverlayLayerLayout, WideDvFrameAt90PercentUsesCentred43Area) {
    OverlayLayer layer(core::MediaFamily::kDv);
    layer.setPositioning(core::TextPositioning::kFixed90, core::defaultBurnPositions(), true);
    ASSERT_TRUE(layer.prepare(720, 576, PictureAspect{true}));
    EXPECT_EQ(layer.safeWidth(), 486);
    EXPECT_EQ(layer.safeLeft(), 117);
    EXPECT_EQ(layer.columnStart(0), 117);

    layer.setPositioning(core::TextPositioning::kFixed90, core::defaultBurnPositions(), false);
    ASSERT_TRUE(layer.prepare(720, 576, PictureAspect{true}));
    EXPECT_EQ(layer.safeWidth(), 648);
    ASSERT_TRUE(layer.prepare(720, 576, PictureAspect{false}));
    EXPECT_EQ(layer.safeWidth(), 648);  // a 4:3 frame has no narrower area
}

TEST(OverlayLayerLayout, GridColumnsRowsAndSpread) {
    OverlayLayer layer(core::MediaFamily::kDv);
    layer.setPositioning(core::TextPositioning::kFixed80, core::defaultBurnPositions(), false);
    ASSERT_TRUE(layer.prepare(720, 576, {}));
    const int c = layer.cellWidth(), h = layer.cellHeight();
    EXPECT_EQ(h, 28);
    EXPECT_EQ(layer.safeWidth(), 576);
    const int e = layer.safeLeft() - (720 - 43 * c) / 2;
    const int d = e > 0 ? (2 * e + 3) / 4 : -(2 * -e / 4);
    EXPECT_EQ(layer.spread(), d);
    EXPECT_EQ(layer.columnStart(1), layer.safeLeft() + 13 * c - d);
    EXPECT_EQ(layer.columnStart(4), layer.safeLeft() + 37 * c - 4 * d);
    EXPECT_EQ(layer.rowTop(2), 90 * 576 / 100 - h);
    EXPECT_EQ(layer.rowTop(0), layer.rowTop(2) - 2 * h);
    EXPECT_EQ(layer.band().top, layer.rowTop(0));
    EXPECT_EQ(layer.band().rows, 3 * h);
}

TEST(OverlayLayerLayout, WideDvFrameGetsTheNarrowerFont) {
    OverlayLayer layer(core::MediaFamily::kDv);
    ASSERT_TRUE(layer.prepare(720, 576, PictureAspect{false}));
    const int normalWidth = layer.cellWidth();
    EXPECT_EQ(layer.cellHeight(), 30);
    ASSERT_TRUE(layer.prepare(720, 576, PictureAspect{true}));
    EXPECT_EQ(layer.cellHeight(), (3 * 30 + 2) / 4);
    EXPECT_LT(layer.cellWidth(), normalWidth);
}

TEST(OverlayLayerPixels, OnlyTheBandChanges) {
    OverlayLayer layer = dvLayer(2, 90, 10, 30);
    ASSERT_TRUE(layer.prepare(720, 576, {}));
    Picture base(720, 576, 0, 0, 0);
    base.noise(3);
    Picture pic = base;
    auto rec = dvRecord();
    auto v = pic.view();
    ASSERT_TRUE(layer.draw(v, OverlayFrame{&rec}));
    const Band band = layer.band();
    int changedRows = 0;
    for (int y = 0; y < 576; ++y) {
        const bool inBand = y >= band.top && y < band.top + band.rows;
        if (!inBand) EXPECT_TRUE(pic.rowEqual(base, y)) << "row " << y;
        else if (!pic.rowEqual(base, y)) ++changedRows;
    }
    EXPECT_GT(changedRows, band.rows / 2);

    // A view holding only the band's rows gives the same result.
    Picture part = base;
    core::RgbPicture bandView{
        part.bytes.data() + static_cast<size_t>(band.top) * part.stride, 720, 576, part.stride, band.top, band.rows};
    ASSERT_TRUE(layer.draw(bandView, OverlayFrame{&rec}));
    EXPECT_EQ(part.bytes, pic.bytes);
}

// Burn-in decodes and re-encodes only where the ink boxes say the text can go: every changed pixel must
// lie inside one, for the fixed layout, the wide 16:9 font and user positioning, and the drawing that
// follows the boxes is the same as one without them.
TEST(OverlayLayerPixels, InkBoxesHoldEveryChangedPixel) {
    struct Case {
        int mode;
        bool wide;
    };
    for (const Case c : {Case{2, false}, Case{1, true}, Case{0, false}}) {
        OverlayLayer layer = dvLayer(c.mode, 100, 0, 0);
        layer.setItems(0x1FFFF);
        ASSERT_TRUE(layer.prepare(720, 576, PictureAspect{c.wide}));
        Picture base(720, 576, 0, 0, 0);
        base.noise(5);
        auto rec = dvRecord();
        std::vector<InkBox> boxes;
        ASSERT_TRUE(layer.inkBoxes(OverlayFrame{&rec}, boxes));
        ASSERT_FALSE(boxes.empty());
        Picture pic = base, plain = base;
        ASSERT_TRUE(drawOnCopy(layer, base, rec, pic));
        ASSERT_TRUE(drawOnCopy(layer, base, rec, plain));
        EXPECT_EQ(pic.bytes, plain.bytes) << "mode " << c.mode;
        int changed = 0, outside = 0;
        for (int y = 0; y < 576; ++y)
            for (int x = 0; x < 720; ++x) {
                if (std::equal(pic.at(x, y), pic.at(x, y) + 3, base.at(x, y))) continue;
                ++changed;
                const bool inside = std::any_of(boxes.begin(), boxes.end(), [&](const InkBox& b) {
                    return x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
                });
                if (!inside) ++outside;
            }
        EXPECT_GT(changed, 1000) << "mode " << c.mode;
        EXPECT_EQ(outside, 0) << "mode " << c.mode;
    }
}

// Draw copies and blends back only the spans the boxes cover: where boxes overlap (user positions
// crowded together) and with transparency, a pixel must still be blended once, as without the boxes.
TEST(OverlayLayerPixels, OverlappingInkBoxesBlendEachPixelOnce) {
    core::BurnPositionTable crowded{};
    for (size_t i = 0; i < crowded.size(); ++i)
        crowded[i] = core::BurnPosition{static_cast<uint8_t>(10 + i % 3), static_cast<uint8_t>(20 + i % 2)};
    for (const int transparency : {0, 40, 99}) {
        OverlayLayer layer(core::MediaFamily::kDv);
        layer.setBrightness(90, 10, transparency);
        layer.setPositioning(core::TextPositioning::kUser, crowded, false);
        layer.setItems(0x1FFFF);
        ASSERT_TRUE(layer.prepare(720, 576, {}));
        Picture base(720, 576, 0, 0, 0);
        base.noise(9);
        auto rec = dvRecord();
        std::vector<InkBox> boxes;
        ASSERT_TRUE(layer.inkBoxes(OverlayFrame{&rec}, boxes));
        ASSERT_GT(boxes.size(), 2u);
        Picture viaBoxes = base, plain = base;
        ASSERT_TRUE(drawOnCopy(layer, base, rec, viaBoxes));
        ASSERT_TRUE(drawOnCopy(layer, base, rec, plain));
        EXPECT_NE(plain.bytes, base.bytes) << "transparency " << transparency;
        EXPECT_EQ(viaBoxes.bytes, plain.bytes) << "transparency " << transparency;
    }
}

// A layout taken for one picture size is dropped when the layer is prepared again: the next drawing
// lays itself out for the new size, as a fresh layer would.
TEST(OverlayLayerPixels, PreparingAgainDropsTheLayoutOfTheInkBoxes) {
    OverlayLayer layer = dvLayer(2, 90, 10, 30);
    layer.setItems(0x1FFFF);
    ASSERT_TRUE(layer.prepare(720, 576, {}));
    auto rec = dvRecord();
    std::vector<InkBox> boxes;
    ASSERT_TRUE(layer.inkBoxes(OverlayFrame{&rec}, boxes));
    ASSERT_TRUE(layer.prepare(720, 480, {}));
    Picture base(720, 480, 0, 0, 0);
    base.noise(3);
    Picture pic = base, expected = base;
    ASSERT_TRUE(drawOnCopy(layer, base, rec, pic));
    OverlayLayer fresh = dvLayer(2, 90, 10, 30);
    fresh.setItems(0x1FFFF);
    ASSERT_TRUE(fresh.prepare(720, 480, {}));
    ASSERT_TRUE(drawOnCopy(fresh, base, rec, expected));
    EXPECT_NE(pic.bytes, base.bytes);
    EXPECT_EQ(pic.bytes, expected.bytes);
}

TEST(OverlayLayerPixels, BurnInDrawsNothingForAFrameWithoutMetadata) {
    OverlayLayer layer = dvLayer(2, 90, 10, 0);
    ASSERT_TRUE(layer.prepare(720, 576, {}));
    layer.setItems(core::burnItemBit(core::BurnItem::kTimecode) | core::burnItemBit(core::BurnItem::kRecDate));
    Picture base(720, 576, 50, 50, 50);
    Picture pic = base;
    auto v = pic.view();
    EXPECT_TRUE(layer.draw(v, OverlayFrame{nullptr}));
    EXPECT_EQ(pic.bytes, base.bytes);
}

TEST(OverlayLayerPixels, UnpreparedOrMismatchedPicturePassesThrough) {
    OverlayLayer layer(core::MediaFamily::kDv);
    Picture base(720, 576, 10, 20, 30);
    Picture pic = base;
    auto rec = dvRecord();
    auto v = pic.view();
    EXPECT_FALSE(layer.draw(v, OverlayFrame{&rec}));
    ASSERT_TRUE(layer.prepare(720, 480, {}));
    EXPECT_FALSE(layer.draw(v, OverlayFrame{&rec}));
    EXPECT_EQ(pic.bytes, base.bytes);
}

TEST(OverlayLayerLayout, HdvLayerTakesOnly1440x1080) {
    OverlayLayer hdv(core::MediaFamily::kHdv);
    EXPECT_FALSE(hdv.prepare(1920, 1080, {}));
    EXPECT_FALSE(hdv.prepared());
    ASSERT_TRUE(hdv.prepare(1440, 1080, PictureAspect{false, 16, 9}));
    EXPECT_EQ(hdv.safeWidth(), (90 * 1440 + 50) / 100);
    OverlayLayer avc(core::MediaFamily::kAvchd);
    ASSERT_TRUE(avc.prepare(1920, 1080, {}));
    const int square = avc.cellWidth();
    // Non-square pixels: the characters are narrowed by the pixel aspect (4:3 -> three quarters).
    ASSERT_TRUE(avc.prepare(1440, 1080, PictureAspect{false, 16, 9}));
    EXPECT_NEAR(avc.cellWidth(), square * 3 / 4.0, 1.0);
    avc.setPositioning(core::TextPositioning::kFixed80, core::defaultBurnPositions(), true);
    ASSERT_TRUE(avc.prepare(1920, 1080, {}));
    EXPECT_EQ(avc.safeWidth(), (80 * 1080 * 4 + 150) / 300);
}

TEST(OverlayLayerPixels, UserPositionAtRightEdgeIsClipped) {
    core::BurnPositionTable pos{};
    pos[0] = core::BurnPosition{99, 0};
    OverlayLayer layer(core::MediaFamily::kDv);
    layer.setBrightness(100, 0, 0);
    layer.setPositioning(core::TextPositioning::kUser, pos, false);
    layer.setItems(core::burnItemBit(core::BurnItem::kTimecode));
    ASSERT_TRUE(layer.prepare(720, 576, {}));
    EXPECT_EQ(layer.band().rows, 576);
    Picture base(720, 576, 60, 60, 60);
    Picture pic = base;
    auto rec = dvRecord();
    auto v = pic.view();
    ASSERT_TRUE(layer.draw(v, OverlayFrame{&rec}));
    const int left = (99 * 720 + 50) / 100;
    const int top = 576 - 0 - layer.cellHeight();
    int changed = 0;
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 720; ++x) {
            if (std::equal(pic.at(x, y), pic.at(x, y) + 3, base.at(x, y))) continue;
            ++changed;
            EXPECT_GE(x, left - 2);
            EXPECT_GE(y, top - 2);
        }
    EXPECT_GT(changed, 0);
}

TEST(MetadataWindow, HdvShowsWhiteBalanceModeAndLightingAndEveryItemHasACell) {
    auto rec = dvRecord();
    rec.set(0x70, 0xC5, 0x02, 0x60, 0x0F);  // white balance PRESET, lighting CANDLE
    std::vector<WindowItem> items;
    metadataWindowItems(core::BurnGrid::kHdv, OverlayFrame{&rec, 100}, core::DisplaySettings{}, items);
    std::vector<std::string> texts;
    for (const WindowItem& i : items) texts.push_back(i.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "PRESET"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "CANDLE"), texts.end());
    for (core::BurnGrid kind :
         {core::BurnGrid::kDv, core::BurnGrid::kHdv, core::BurnGrid::kAvchd, core::BurnGrid::kAvchdGps}) {
        metadataWindowItems(kind, OverlayFrame{&rec, 100}, core::DisplaySettings{}, items);
        const auto cells = metadataWindowCells(kind);
        for (const WindowItem& i : items) {
            EXPECT_LT(static_cast<size_t>(i.column), windowColumnCells(kind).size());
            EXPECT_TRUE(std::any_of(cells.begin(), cells.end(), [&](const WindowCell& c) {
                return c.row == i.row && c.column == i.column;
            })) << i.text;
        }
    }
}

TEST(FontFaceTest, CourierNewResolvesToAMonospacedFace) {
    FontFace f;
    ASSERT_TRUE(f.open("Courier New", true, false));
    EXPECT_NE(f.file().find("Mono"), std::string::npos) << f.file();
    ASSERT_TRUE(f.setCharacterHeight(20));
    EXPECT_EQ(f.textWidth("00:00:00:00"), 11 * f.cellWidth());
}

}  // namespace
}  // namespace zorv::overlay
