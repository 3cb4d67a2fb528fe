// The codec registry against the libavcodec of this machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "media/codec/codec_registry.h"

namespace zorv::media::codec {
namespace {

TEST(CodecRegistry, UncompressedIsAlwaysTheFirstCompressor) {
    const auto& list = availableCodecs(CodecRole::kVideoCompressor);
    ASSERT_FALSE(list.empty());
    EXPECT_TRUE(list.front().uncompressed());
    EXPECT_EQ(list.front().displayName, "Uncompressed");
    EXPECT_TRUE(list.front().id.isNull());
    // ffv1 is part of every libavcodec and can be stored in AVI.
    auto ffv1 = findCodecByName(CodecRole::kVideoCompressor, "ffv1");
    ASSERT_TRUE(ffv1.has_value());
    EXPECT_EQ(aviFourcc("ffv1"), 0x31564646u);  // "FFV1"
    for (size_t i = 1; i < list.size(); ++i) EXPECT_NE(aviFourcc(list[i].name), 0u) << list[i].name;
}

TEST(CodecRegistry, DecodersOfEachRoleDecodeARealSample) {
    auto mpeg2 = findCodecByName(CodecRole::kMpeg2VideoDecoder, "mpeg2video");
    ASSERT_TRUE(mpeg2.has_value());
    EXPECT_EQ(mpeg2->displayName, "MPEG-2 video");
    EXPECT_TRUE(findCodecByName(CodecRole::kH264VideoDecoder, "h264").has_value());
    EXPECT_TRUE(findCodecByName(CodecRole::kAc3AudioDecoder, "ac3").has_value());
    // A decoder of another format never appears under a role.
    EXPECT_FALSE(findCodecByName(CodecRole::kMpeg2VideoDecoder, "h264").has_value());
    EXPECT_FALSE(testCodec(CodecRole::kAc3AudioDecoder, "mp3"));
    EXPECT_FALSE(testCodec(CodecRole::kVideoCompressor, "no-such-codec"));
}

TEST(CodecRegistry, IdsAreStableAndDistinct) {
    EXPECT_EQ(codecId("ffv1"), codecId("ffv1"));
    EXPECT_NE(codecId("ffv1"), codecId("mjpeg"));
    std::set<std::string> ids;
    for (auto role : {CodecRole::kMpeg2VideoDecoder, CodecRole::kH264VideoDecoder, CodecRole::kAc3AudioDecoder,
                      CodecRole::kVideoCompressor})
        for (const auto& e : availableCodecs(role)) {
            if (e.uncompressed()) continue;
            EXPECT_EQ(e.id, codecId(e.name));
            auto found = findCodec(role, e.id);
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(found->name, e.name);
            ids.insert(e.id.toString() + std::to_string(static_cast<int>(role)));
        }
    EXPECT_FALSE(findCodec(CodecRole::kVideoCompressor, codecId("no-such-codec")).has_value());
}

}  // namespace
}  // namespace zorv::media::codec

namespace zorv::media::codec {
namespace {

// Run in a process of its own (one test per process under CTest), so the single lookups come before
// any full list is built: they must find what the full lists later hold, and nothing else.
TEST(CodecRegistry, SingleLookupsAgreeWithTheFullLists) {
    EXPECT_TRUE(findCodecByName(CodecRole::kVideoCompressor, "uncompressed").value().uncompressed());
    EXPECT_TRUE(findCodec(CodecRole::kVideoCompressor, core::Guid{}).value().uncompressed());
    const auto ffv1 = findCodecByName(CodecRole::kVideoCompressor, "FFV1");
    ASSERT_TRUE(ffv1.has_value());
    EXPECT_EQ(ffv1->name, "ffv1");
    EXPECT_EQ(findCodec(CodecRole::kVideoCompressor, codecId("ffv1")).value().name, "ffv1");
    EXPECT_FALSE(findCodecByName(CodecRole::kVideoCompressor, "h264").has_value());  // a decoder only
    const auto h264 = firstAvailableCodec(CodecRole::kH264VideoDecoder);
    ASSERT_TRUE(h264.has_value());

    const auto& compressors = availableCodecs(CodecRole::kVideoCompressor);
    EXPECT_NE(std::find_if(compressors.begin(), compressors.end(), [](const CodecEntry& e) { return e.name == "ffv1"; }),
              compressors.end());
    const auto& decoders = availableCodecs(CodecRole::kH264VideoDecoder);
    ASSERT_FALSE(decoders.empty());
    EXPECT_EQ(decoders.front().name, h264->name);
    EXPECT_EQ(firstAvailableCodec(CodecRole::kVideoCompressor).value().name, compressors.at(1).name);
}

}  // namespace
}  // namespace zorv::media::codec
