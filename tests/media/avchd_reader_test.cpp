// The AVC reader on generated AVCHD streams (libx264 video with MDPM SEI, AC-3 audio): open reasons,
// time stamps and SPS, the synthetic auxiliary packets (presentation order, continuity, clamped tag
// count, repeated tags for pictures without metadata), and agreement with ffprobe.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "gen/avchd_writer.h"
#include "media/avchd_avc_reader.h"
#include "media/h264_nal.h"
#include "media/metadata_cache.h"
#include "media/avi_test_util.h"
#include "media/dv_test_media.h"
#include "media/recognize.h"
#include "gen/file_bytes.h"

namespace zorv::media {
namespace {

using testing::Bytes;
using testing::TempDir;
using testing::writeBytes;

gen::AvchdSpec smallSpec(int64_t frames = 40) {
    gen::AvchdSpec s;
    s.frames = frames;
    s.width = 640;
    s.height = 352;
    s.gps = gen::GpsMode::Track;
    return s;
}

struct Picture {
    AvchdMetadataRecord rec;
    int64_t pts;
};

std::vector<Picture> readAll(const std::string& path, core::Status* status = nullptr) {
    std::vector<Picture> out;
    const core::Status r = readAvchdMetadata(path, [&](const AvchdMetadataRecord& rec, int64_t pts) {
        out.push_back({rec, pts});
        return true;
    });
    if (status) *status = r;
    return out;
}

void expectTags(const AvchdMetadataRecord& rec, const std::vector<uint8_t>& tags) {
    AvchdMetadataRecord want;
    applyMdpmTags(tags, want);
    EXPECT_EQ(rec.tagSlots, want.tagSlots);
}

TEST(AvcReader, OpensGeneratedStreamsOfBothPacketSizes) {
    for (int size : {192, 188}) {
        gen::AvchdSpec desc = smallSpec(30);
        desc.packetSize = size;
        const std::string path = gen::cachedAvchd("open" + std::to_string(size) + ".m2ts", desc);
        ASSERT_FALSE(path.empty());
        AvcReader r;
        ASSERT_TRUE(r.open(path)) << size;
        EXPECT_EQ(r.packetSize(), size);
        EXPECT_EQ(r.startPts(), desc.ptsBase);
        EXPECT_EQ(r.endPts(), desc.ptsBase + 29 * 3600);
        EXPECT_EQ(r.duration(), 30 * 400000);  // first to last picture shown, plus one picture
        EXPECT_EQ(r.sps().profileIdc, 100);
        EXPECT_EQ(r.sps().codedWidth, 640);
        EXPECT_EQ(r.sps().codedHeight, 352);
        EXPECT_TRUE(r.sps().hasTiming);
        EXPECT_EQ(r.sps().rateNum / r.sps().rateDen, 25);  // time_scale / (2 x num_units_in_tick), as ffprobe
        EXPECT_TRUE(r.pcrOnOwnPid());
    }
}

TEST(AvcReader, FullHdStreamIsRecognisedWithItsCodedAndShownSize) {
    gen::AvchdSpec desc;
    desc.frames = 50;  // recognition reads at least 376000 bytes
    const std::string path = gen::cachedAvchd("hd.mts", desc);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(recognize(path).type, FileType::kAvchd);
    AvcReader r;
    ASSERT_TRUE(r.open(path));
    EXPECT_EQ(r.sps().codedWidth, 1920);
    EXPECT_EQ(r.sps().codedHeight, 1088);  // coded macroblock rows
    EXPECT_EQ(r.sps().width, 1920);
    EXPECT_EQ(r.sps().height, 1080);  // the SPS crops the last 8 rows
    EXPECT_EQ(h264ProfileText(r.sps().profileIdc), "High");
}

TEST(AvcReader, SyntheticPacketsCarryEveryPictureInPresentationOrder) {
    gen::AvchdSpec desc = smallSpec(40);
    desc.dropMeta = {5, 6, 13};
    desc.oversizePicture = 20;
    gen::AvchdWritten written;
    const std::string path = gen::cachedAvchd("order.m2ts", desc, &written);
    ASSERT_FALSE(path.empty());

    AvcReader r;
    ASSERT_TRUE(r.open(path));
    std::vector<uint8_t> sample(r.maxSampleBytes());
    std::vector<std::array<uint8_t, 188>> aux;
    int64_t total = 0;
    for (int64_t n; (n = r.fillSample(sample.data(), sample.size())) > 0;) {
        ASSERT_EQ(n % 192, 0);
        for (int64_t pos = 0; pos < n; pos += 192) {
            ASSERT_EQ(sample[static_cast<size_t>(pos) + 4], 0x47);
            if (tsPid(&sample[static_cast<size_t>(pos) + 4]) == avchd_pid::kAux) {
                aux.emplace_back();
                std::memcpy(aux.back().data(), &sample[static_cast<size_t>(pos) + 4], 188);
            }
        }
        total += n;
    }
    EXPECT_EQ(total, written.fileSize + static_cast<int64_t>(aux.size()) * 192);
    ASSERT_EQ(aux.size(), 40u);
    for (size_t i = 0; i < aux.size(); ++i) {
        const auto& p = aux[i];
        EXPECT_EQ(p[3] & 0x0F, static_cast<int>(i % 16));
        EXPECT_EQ(p[7], 0xBD);
        EXPECT_EQ(p[9], 0xB2);
        EXPECT_EQ(p[13] >> 4, 3);
        EXPECT_EQ(avchdAuxPacketPts(p.data()), written.pictures[i].pts) << i;
        EXPECT_EQ(readPesTimestamp(&p[13]), written.pictures[i].pts);
        EXPECT_EQ(p[34], written.pictures[i].pictureType) << i;
    }
    // Count 40 goes out as 30 with 30 tags.
    EXPECT_EQ(aux[20][35], 30);
    EXPECT_EQ(aux[19][35], gen::avchdMdpmTags(desc, 19)[0]);

    const auto pics = readAll(path);
    ASSERT_EQ(pics.size(), 40u);
    for (size_t i = 0; i < pics.size(); ++i) {
        EXPECT_EQ(pics[i].pts, written.pictures[i].pts);
        EXPECT_EQ(pics[i].rec.startTime, static_cast<int64_t>(i) * 400000);
    }
    // A picture without MDPM repeats the tags of the picture before it in decode order; its own
    // time is still its own.
    for (int64_t i : {int64_t{0}, int64_t{19}, int64_t{39}})
        expectTags(pics[static_cast<size_t>(i)].rec, gen::avchdMdpmTags(desc, i));
    EXPECT_FALSE(pics[5].rec.tagSlots == AvchdMetadataRecord().tagSlots);
    EXPECT_TRUE(pics[5].rec.has(0x19));
}

TEST(AvcReader, OpenFailureReasons) {
    TempDir dir;
    AvcReader r;
    EXPECT_EQ(r.open(dir.file("missing.m2ts")).message, avcFailureText(kAvcOpenFailed));
    EXPECT_EQ(avcFailureText(8), "Could not load AVC file (reason 8)");

    Bytes small(49151, 0x47);
    writeBytes(dir.file("small.m2ts"), small);
    EXPECT_EQ(r.open(dir.file("small.m2ts")).message, avcFailureText(kAvcTooSmall));
    Bytes noise(60000);
    uint32_t x = 12345;
    for (auto& b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>((x >> 16) == 0x47 ? 0 : x >> 16);
    }
    writeBytes(dir.file("noise.m2ts"), noise);
    EXPECT_EQ(r.open(dir.file("noise.m2ts")).message, avcFailureText(kAvcNoPackets));

    // Null packets only: no video time stamp.
    Bytes nulls(188 * 400);
    for (size_t i = 0; i < nulls.size(); i += 188) {
        nulls[i] = 0x47;
        nulls[i + 1] = 0x1F;
        nulls[i + 2] = 0xFF;
        nulls[i + 3] = 0x10;
    }
    writeBytes(dir.file("nulls.m2ts"), nulls);
    EXPECT_EQ(r.open(dir.file("nulls.m2ts")).message, avcFailureText(kAvcNoFirstTimeStamp));
    EXPECT_FALSE(r.isOpen());

    gen::AvchdSpec desc = smallSpec(60);
    desc.audio = false;
    ASSERT_TRUE(gen::writeAvchd(desc, dir.file("silent.m2ts")));
    EXPECT_EQ(r.open(dir.file("silent.m2ts")).message, avcFailureText(kAvcNoHeaderPackets));

    // PCR on the video PID and nothing on 0x1001: valid.
    desc.audio = true;
    desc.pcrOnVideo = true;
    ASSERT_TRUE(gen::writeAvchd(desc, dir.file("pcr.m2ts")));
    ASSERT_TRUE(r.open(dir.file("pcr.m2ts")));
    EXPECT_FALSE(r.pcrOnOwnPid());
    EXPECT_EQ(readAll(dir.file("pcr.m2ts")).size(), 60u);
}

TEST(AvcReader, WithoutMetadataFlagPassesTheFileThrough) {
    const std::string path = gen::cachedAvchd("open192.m2ts", [] {
        gen::AvchdSpec s = smallSpec(30);
        return s;
    }());
    AvcReader r;
    ASSERT_TRUE(r.open(path, false));
    std::vector<uint8_t> sample(r.maxSampleBytes()), all;
    for (int64_t n; (n = r.fillSample(sample.data(), sample.size())) > 0;)
        all.insert(all.end(), sample.begin(), sample.begin() + n);
    const auto file = zorv::gen::fileBytes<std::vector<uint8_t>>(path);
    EXPECT_EQ(all, file);
}

TEST(AvcReader, FfprobeAgreesOnCodecsSizeAndFrames) {
    gen::AvchdSpec desc = smallSpec(30);
    const std::string path = gen::cachedAvchd("open192.m2ts", desc);
    AvcReader r;
    ASSERT_TRUE(r.open(path));
    const std::string codecs =
        avitest::run("ffprobe -v error -show_entries stream=codec_name,width,height -of compact '" + path + "'");
    EXPECT_NE(codecs.find("codec_name=h264|width=" + std::to_string(r.sps().codedWidth) +
                          "|height=" + std::to_string(r.sps().codedHeight)),
              std::string::npos)
        << codecs;
    EXPECT_NE(codecs.find("codec_name=ac3"), std::string::npos);
    EXPECT_EQ(avitest::ffprobeFrames(path), static_cast<long>(readAll(path).size()));
}

TEST(AvcReader, RecordsInTheMetadataCache) {
    const std::string path = gen::cachedAvchd("open192.m2ts", smallSpec(30));
    MetadataCache<AvchdMetadataRecord> cache;
    cache.setActive(true);
    for (const auto& p : readAll(path)) EXPECT_TRUE(cache.add(p.rec.startTime, p.rec, 2));
    EXPECT_EQ(cache.size(), 30u);
    // Before the first record: the first; between two: the next; after the last: nothing.
    auto first = cache.lookUp(-5000000);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->startTime, 0);
    auto mid = cache.lookUp(400000 * 10 + 1);
    ASSERT_TRUE(mid);
    EXPECT_EQ(mid->startTime, 400000 * 11);
    EXPECT_EQ(cache.size(), 19u);  // older records freed
    EXPECT_FALSE(cache.lookUp(400000 * 30));
}

TEST(AvcGrab, RecordFromAnAccessUnit) {
    // Delimiter (B picture), an SEI that is not MDPM, then the MDPM SEI, then a slice.
    std::vector<uint8_t> au = {0, 0, 0, 1, 0x09, 0x50};
    std::vector<uint8_t> other = {5, 17};
    other.resize(other.size() + 17, 0x11);
    other.push_back(0x80);
    au.insert(au.end(), {0, 0, 1, 0x06});
    au.insert(au.end(), other.begin(), other.end());
    std::vector<uint8_t> rbsp = {5, 30};
    rbsp.resize(2 + 16, 0xAB);
    rbsp.insert(rbsp.end(), {'M', 'D', 'P', 'M', 2, 0x18, 0x02, 0x20, 0x08, 0x12, 0x62, 0, 0, 0, 0, 0x80});
    au.insert(au.end(), {0, 0, 1, 0x06});
    appendEscaped(rbsp.data(), rbsp.size(), au);
    au.insert(au.end(), {0, 0, 1, 0x01, 0x9E, 0x00});
    std::array<uint8_t, kSeiWorkBytes> work;
    AvchdMetadataRecord rec;
    avchdRecordFromAccessUnit(au.data(), au.size(), 1234, work, rec);
    EXPECT_EQ(rec.startTime, 1234);
    EXPECT_EQ(rec.pictureType, 2);
    EXPECT_TRUE(rec.has(0x18));
    EXPECT_EQ(rec.tagSlots[2][4], 0x12);
    // Without a delimiter or SEI: time and type only.
    const std::vector<uint8_t> bare = {0, 0, 1, 0x65, 0x88, 0x80};
    avchdRecordFromAccessUnit(bare.data(), bare.size(), 99, work, rec);
    EXPECT_EQ(rec.pictureType, kNoPictureType);
    EXPECT_FALSE(rec.has(0x18));
}

}  // namespace
}  // namespace zorv::media
