// Save Image's bitmap file arithmetic, byte for byte, and the Display Map request.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "playback/bitmap_writer.h"
#include "playback/map_request.h"
#include "playback/player.h"
#include "gen/file_bytes.h"

namespace zorv::playback {
namespace {

std::vector<uint8_t> infoHeader(int width, int height, int bits, uint32_t imageSize, uint32_t used, uint32_t size = 40) {
    std::vector<uint8_t> h(size, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, size, 4);
    put(4, static_cast<uint32_t>(width), 4);
    put(8, static_cast<uint32_t>(height), 4);
    put(12, 1, 2);
    put(14, static_cast<uint32_t>(bits), 2);
    put(20, imageSize, 4);
    put(32, used, 4);
    return h;
}

uint32_t at32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

TEST(BitmapFileHeader, TwentyFourBitPictureHasPixelsAt54) {
    auto h = infoHeader(720, 576, 24, 720 * 3 * 576, 0);
    auto f = bitmapFileHeader(h.data());
    const std::array<uint8_t, 14> want{0x42, 0x4D, 0x36, 0xFC, 0x12, 0x00, 0, 0, 0, 0, 0x36, 0, 0, 0};
    EXPECT_EQ(f, want);  // 14 + 40 + 1244160 = 0x12FC36; offset 54
}

TEST(BitmapFileHeader, ColourTableFromUsedCountOrBitCount) {
    // 8 bits with used count 0: 256 colours, offset 14 + 40 + 1024 = 1078.
    auto h = infoHeader(16, 16, 8, 256, 0);
    EXPECT_EQ(bitmapColourCount(h.data()), 256u);
    auto f = bitmapFileHeader(h.data());
    EXPECT_EQ(at32(&f[10]), 1078u);
    EXPECT_EQ(at32(&f[2]), 1078u + 256u);
    // A used count wins over the bit count.
    h = infoHeader(16, 16, 8, 256, 17);
    EXPECT_EQ(at32(&bitmapFileHeader(h.data())[10]), 14u + 40 + 68);
    // 1 and 4 bits: 2 and 16 colours; above 8 bits none unless used says so.
    EXPECT_EQ(bitmapColourCount(infoHeader(8, 8, 1, 0, 0).data()), 2u);
    EXPECT_EQ(bitmapColourCount(infoHeader(8, 8, 4, 0, 0).data()), 16u);
    EXPECT_EQ(bitmapColourCount(infoHeader(8, 8, 32, 0, 0).data()), 0u);
    EXPECT_EQ(bitmapColourCount(infoHeader(8, 8, 16, 0, 3).data()), 3u);
    // A larger (version 5) header moves the pixels on by its own size.
    h = infoHeader(2, 2, 24, 16, 0, 124);
    EXPECT_EQ(at32(&bitmapFileHeader(h.data())[10]), 14u + 124);
    // An uncompressed header with image size 0: rows padded to 4 bytes (3 x 2 x 3 -> 12 per row).
    h = infoHeader(3, -2, 24, 0, 0);
    EXPECT_EQ(bitmapImageSize(h.data()), 24u);
}

TEST(BitmapFile, WritesHeaderThenThePackedBitmapUnchanged) {
    ShownPicture pic;
    pic.width = 3;
    pic.height = 2;
    pic.stride = 12;
    pic.rgb = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,  // top row
               11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
    std::vector<uint8_t> packed;
    packBitmap(pic, packed);
    ASSERT_EQ(packed.size(), 40u + 24u);
    // Bottom-up BGR: the bottom row first.
    const std::vector<uint8_t> pixels{13, 12, 11, 16, 15, 14, 19, 18, 17, 0, 0, 0, 3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(packed.begin() + 40, packed.end()), pixels);

    const std::string path = ::testing::TempDir() + "/still.bmp";
    ASSERT_TRUE(writeBitmapFile(path, packed.data(), packed.size()).ok());
    const auto file = zorv::gen::fileBytes<std::vector<uint8_t>>(path);
    ASSERT_EQ(file.size(), 14u + packed.size());
    const auto header = bitmapFileHeader(packed.data());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
    EXPECT_EQ(at32(&file[2]), file.size());
    EXPECT_TRUE(std::equal(packed.begin(), packed.end(), file.begin() + 14));
    std::remove(path.c_str());

    core::Status st = writeBitmapFile("/nonexistent-dir/x.bmp", packed.data(), packed.size());
    EXPECT_EQ(st.message, "The output folder does not exist: /nonexistent-dir");
}

TEST(BitmapFile, ProposedName) {
    EXPECT_EQ(saveImageName("/v/clip.avi"), "/v/clip.bmp");
    EXPECT_EQ(saveImageName("/v.d/clip"), "/v.d/clip.bmp");
    EXPECT_EQ(saveImageName("/v/a.b.m2ts"), "/v/a.b.bmp");
}

void setRational(core::MetadataRecord& rec, uint8_t id, unsigned num, unsigned den) {
    rec.set(id, num >> 8, num & 0xFF, den >> 8, den & 0xFF);
}

TEST(MapRequest, PositionFillsBothPlaceholders) {
    core::MetadataRecord rec;
    EXPECT_FALSE(mapPosition(rec));
    rec.set(0xB0, 2, 2, 0, 0);
    rec.set(0xB1, 'N', 0, 0, 0);
    setRational(rec, 0xB2, 51, 1);
    setRational(rec, 0xB3, 30, 1);
    setRational(rec, 0xB4, 0, 1);
    rec.set(0xB5, 'W', 0, 0, 0);
    setRational(rec, 0xB6, 0, 1);
    setRational(rec, 0xB7, 7, 1);
    EXPECT_FALSE(mapPosition(rec));  // seconds of longitude missing
    setRational(rec, 0xB8, 3000, 100);
    auto pos = mapPosition(rec);
    ASSERT_TRUE(pos);
    EXPECT_EQ(*pos, "51.50000,-0.12500");
    EXPECT_EQ(mapRequestUrl(*pos),
              "https://maps.google.com/maps?&t=h&z=15&spn=0.01,0.01&ll=51.50000,-0.12500&q=51.50000,-0.12500");
    EXPECT_EQ(mapRequestUrl("1.00000,2.00000", "http://x"),
              "http://x/maps?&t=h&z=15&spn=0.01,0.01&ll=1.00000,2.00000&q=1.00000,2.00000");
    EXPECT_STREQ(noGeotagText(true), "No geotagging information available at this playback position");
    EXPECT_STREQ(noGeotagText(false), "No geotagging information available");
}

}  // namespace
}  // namespace zorv::playback
