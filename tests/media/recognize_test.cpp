// Recognition of every file type from its first bytes, including short, corrupt and foreign files.
#include "media/recognize.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "media/dv_test_media.h"
#include "media/file_type.h"
#include "media/formats/format_table.h"

namespace zorv::media {
namespace {

using namespace testing;

Bytes aviHeader(const char* streamType, const char* handler, const char* compression) {
    Bytes b(212, 0);
    std::memcpy(&b[0], "RIFF", 4);
    put32(b, 4, 10000);
    std::memcpy(&b[8], "AVI ", 4);
    std::memcpy(&b[108], streamType, 4);
    std::memcpy(&b[112], handler, 4);
    std::memcpy(&b[188], compression, 4);
    return b;
}

TEST(FileTypeNames, LongAndShortNames) {
    EXPECT_STREQ(typeName(FileType::kAviType1), "AVI Type 1");
    EXPECT_STREQ(shortTypeName(FileType::kAviType2), "AVI 2");
    EXPECT_STREQ(typeName(FileType::kHdv2), "HDV2 (1080)");
    EXPECT_STREQ(shortTypeName(FileType::kHdv1), "HDV1");
    EXPECT_STREQ(typeName(FileType::kAvchd), "AVCHD M2TS");
    EXPECT_STREQ(shortTypeName(FileType::kMod), "MOD");
    for (int bad : {0, 8, -1, 100}) {
        EXPECT_STREQ(typeName(bad), "?");
        EXPECT_STREQ(shortTypeName(bad), "?");
    }
}

// The descriptor table: every stored type number once, each with a probe, names unique, and tools only
// where the family can carry them.
TEST(FormatTable, OneDescriptorPerTypeConsistentWithItsFamily) {
    std::set<int> types;
    std::set<std::string> names;
    for (const FormatDescriptor* d : formatTable()) {
        SCOPED_TRACE(d->name);
        EXPECT_TRUE(types.insert(static_cast<int>(d->type)).second);
        EXPECT_TRUE(names.insert(d->name).second);
        EXPECT_NE(d->probe, nullptr);
        EXPECT_EQ(&formatOf(d->type), d);
        EXPECT_EQ(d->extension[0], '.');
        EXPECT_EQ(d->playRefusal == nullptr, d->has(format_tool::kPlay));
        EXPECT_TRUE(!d->has(format_tool::kPlay) || d->family != core::MediaFamily::kNone);
        EXPECT_TRUE(!d->has(format_tool::kExtractAudio) || d->audioExtension[0] == '.');
        EXPECT_TRUE(!(d->has(format_tool::kConvert) || d->convertTargets != 0) || d->isDv());
        EXPECT_TRUE(!d->has(format_tool::kStreamExport) || d->isStream());
        EXPECT_EQ(d->aviType != 0, d->has(format_tool::kRepair));
    }
    for (int t = 1; t <= 7; ++t) EXPECT_EQ(types.count(t), 1u) << t;
    EXPECT_EQ(formatOf(FileType::kUnknown).family, core::MediaFamily::kNone);
    EXPECT_EQ(formatOf(FileType::kUnknown).tools, 0u);
}

TEST(Recognize, AviHeaders) {
    TempDir dir;
    struct Case {
        const char *type, *handler, *compression;
        FileType expect;
        const char* fourcc;
    } cases[] = {
        {"iavs", "dvsd", "xxxx", FileType::kAviType1, "dvsd"}, {"iavs", "dvhd", "xxxx", FileType::kUnknown, ""},
        {"vids", "dvsd", "CDVC", FileType::kAviType2, "CDVC"}, {"vids", "xxxx", "dv25", FileType::kAviType2, "dv25"},
        {"vids", "dvsd", "H264", FileType::kUnknown, ""},      {"auds", "dvsd", "dvsd", FileType::kUnknown, ""},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("a.avi");
        writeBytes(path, aviHeader(c.type, c.handler, c.compression));
        const Recognition r = recognize(path);
        SCOPED_TRACE(std::string(c.type) + "/" + c.handler + "/" + c.compression);
        EXPECT_EQ(r.type, c.expect);
        if (c.expect == FileType::kUnknown) {
            EXPECT_EQ(r.status.code, core::ErrorCode::kNotRecognised);
        } else {
            EXPECT_EQ(r.status.code, core::ErrorCode::kNone);
            EXPECT_EQ(fourccText(r.fourcc), c.fourcc);
        }
    }
}

TEST(Recognize, ShortAndMissingFiles) {
    TempDir dir;
    writeBytes(dir.file("short"), Bytes(163, 0));
    Recognition r = recognize(dir.file("short"));
    EXPECT_EQ(r.status.code, core::ErrorCode::kReadFailed);

    // A "vids" header cut before its stream format.
    Bytes cut = aviHeader("vids", "dvsd", "dvsd");
    cut.resize(180);
    writeBytes(dir.file("cut"), cut);
    EXPECT_EQ(recognize(dir.file("cut")).status.code, core::ErrorCode::kReadFailed);

    r = recognize(dir.file("missing"));
    EXPECT_EQ(r.status.code, core::ErrorCode::kOpenFailed);
    EXPECT_NE(r.status.sysError, 0);

    // A RIFF that is not AVI, and plain zeros, are readable but unsupported.
    Bytes wave = aviHeader("iavs", "dvsd", "dvsd");
    std::memcpy(&wave[8], "WAVE", 4);
    writeBytes(dir.file("wave"), wave);
    EXPECT_EQ(recognize(dir.file("wave")).status.code, core::ErrorCode::kNotRecognised);
    writeBytes(dir.file("zeros"), Bytes(200000, 0));
    r = recognize(dir.file("zeros"));
    EXPECT_EQ(r.status.code, core::ErrorCode::kNotRecognised);
}

TEST(Recognize, RawDvNeedsBlockIdsAndSize) {
    TempDir dir;
    const auto frames = palFrames(2);
    writeRawDv(dir.file("two.dv"), frames);
    Recognition r = recognize(dir.file("two.dv"));
    EXPECT_EQ(r.type, FileType::kRawDv);
    EXPECT_EQ(fourccText(r.fourcc), "dvsd");

    // 100000 bytes of the same frame: below the smallest frame.
    Bytes small(frames[0].begin(), frames[0].begin() + 100000);
    writeBytes(dir.file("small.dv"), small);
    EXPECT_EQ(recognize(dir.file("small.dv")).status.code, core::ErrorCode::kNotRecognised);

    // A wrong ID in sequence 6 fails the test.
    Bytes bad = frames[0];
    bad[72161] = 0x07;
    bad.insert(bad.end(), frames[1].begin(), frames[1].end());
    writeBytes(dir.file("bad.dv"), bad);
    EXPECT_EQ(recognize(dir.file("bad.dv")).status.code, core::ErrorCode::kNotRecognised);

    DvFrame ntsc(false);
    writeRawDv(dir.file("ntsc.dv"), {ntsc.bytes()});
    EXPECT_EQ(recognize(dir.file("ntsc.dv")).type, FileType::kRawDv);
}

TEST(Recognize, TransportStreamGeometry) {
    TsGeometry g;
    Bytes s = tsStream({}, 20000);
    ASSERT_TRUE(findTsGeometry(s.data(), s.size(), g));
    EXPECT_EQ(g.packetSize, 188);
    EXPECT_EQ(g.start, 0);

    s = tsStream({}, 20000, 192);
    ASSERT_TRUE(findTsGeometry(s.data(), s.size(), g));
    EXPECT_EQ(g.packetSize, 192);
    EXPECT_EQ(g.start, 4);

    // 204-byte packets (188 + 16 bytes of error correction) starting at byte 7.
    Bytes odd(7, 0x00);
    for (int i = 0; i < 20; ++i) {
        Bytes p = tsPacket(0x1FFF);
        p.resize(204, 0x00);
        odd.insert(odd.end(), p.begin(), p.end());
    }
    ASSERT_TRUE(findTsGeometry(odd.data(), odd.size(), g));
    EXPECT_EQ(g.packetSize, 204);
    EXPECT_EQ(g.start, 7);

    Bytes none(5000, 0x00);
    EXPECT_FALSE(findTsGeometry(none.data(), none.size(), g));
}

std::vector<Bytes> hdvPackets(uint16_t videoPid) {
    return {tsPacket(0x1002), tsPacket(0x811), pesPacket(videoPid, true, {0x00, 0x00, 0x01, 0xB3, 0x78})};
}

TEST(Recognize, HdvByPidsAndSequenceHeader) {
    TempDir dir;
    writeBytes(dir.file("hdv2.m2t"), tsStream(hdvPackets(0x810), kTsTestBytes + 1000));
    Recognition r = recognize(dir.file("hdv2.m2t"));
    EXPECT_EQ(r.type, FileType::kHdv2);
    EXPECT_EQ(r.tsPacketSize, 188);
    EXPECT_EQ(fourccText(r.fourcc), "    ");

    writeBytes(dir.file("hdv1.m2t"), tsStream(hdvPackets(0x1000), kTsTestBytes));
    EXPECT_EQ(recognize(dir.file("hdv1.m2t")).type, FileType::kHdv1);

    // Without DTS the video packet does not count.
    std::vector<Bytes> noDts = {tsPacket(0x814), tsPacket(0xF02), pesPacket(0x810, false, {0x00, 0x00, 0x01, 0xB3})};
    writeBytes(dir.file("nodts.m2t"), tsStream(noDts, kTsTestBytes));
    EXPECT_EQ(recognize(dir.file("nodts.m2t")).status.code, core::ErrorCode::kNotRecognised);

    // The HDV test needs the whole 3145616 bytes.
    writeBytes(dir.file("shorthdv.m2t"), tsStream(hdvPackets(0x810), kTsTestBytes - 188));
    EXPECT_EQ(recognize(dir.file("shorthdv.m2t")).status.code, core::ErrorCode::kNotRecognised);

    // A broken sync byte on the way ends the walk before the needed packets.
    Bytes broken =
        tsStream({tsPacket(0x1002), tsPacket(0x1FFF), tsPacket(0x811), pesPacket(0x810, true, {0x00, 0x00, 0x01, 0xB3})},
                 kTsTestBytes);
    broken[188 * 3] = 0x00;
    writeBytes(dir.file("broken.m2t"), broken);
    EXPECT_EQ(recognize(dir.file("broken.m2t")).status.code, core::ErrorCode::kNotRecognised);
}

TEST(Recognize, AvchdWith192BytePackets) {
    TempDir dir;
    std::vector<Bytes> pk = {pesPacket(0x1011, false, {0x00, 0x00, 0x00, 0x01, 0x09, 0xF0}), tsPacket(0x1100)};
    writeBytes(dir.file("a.mts"), tsStream(pk, 400000, 192));
    Recognition r = recognize(dir.file("a.mts"));
    EXPECT_EQ(r.type, FileType::kAvchd);
    EXPECT_EQ(r.tsPacketSize, 192);
    EXPECT_EQ(r.tsStart, 4);

    // Fewer than 376000 bytes read: not AVCHD.
    writeBytes(dir.file("small.mts"), tsStream(pk, 300000, 192));
    EXPECT_EQ(recognize(dir.file("small.mts")).status.code, core::ErrorCode::kNotRecognised);

    // No packet on PID 0x1100.
    writeBytes(dir.file("nopid.mts"), tsStream({pk[0]}, 400000, 192));
    EXPECT_EQ(recognize(dir.file("nopid.mts")).status.code, core::ErrorCode::kNotRecognised);
}

TEST(Recognize, ModProgramStream) {
    TempDir dir;
    Bytes mod(70000, 0);
    for (size_t at : {size_t{0}, size_t{2048}, size_t{4096}}) std::memcpy(&mod[at], "\x00\x00\x01\xBA", 4);
    std::memcpy(&mod[14], "\x00\x00\x01\xBB", 4);
    writeBytes(dir.file("a.mod"), mod);
    EXPECT_EQ(recognize(dir.file("a.mod")).type, FileType::kMod);

    mod.resize(65535);
    writeBytes(dir.file("short.mod"), mod);
    EXPECT_EQ(recognize(dir.file("short.mod")).status.code, core::ErrorCode::kNotRecognised);
}

}  // namespace
}  // namespace zorv::media
