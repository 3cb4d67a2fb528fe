// Inputs the fuzz targets found to misbehave, rebuilt as the frames the target made of them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include <cstdint>
#include <vector>

#include "core/dv_layout.h"
#include "dv_test_media.h"
#include "media/avi_chunks.h"
#include "media/avi_index.h"
#include "media/dv_audio.h"
#include "media/file_io.h"
#include "odml_craft.h"

namespace zorv::media {
namespace {

// fuzz_dv_audio: a frame whose AAUX source pack (16-bit, 48 kHz) sits in the first pack slot of each
// sequence rather than where camcorders put it. Writing 12-bit audio then set a second source pack
// in the usual slot and left the first one saying 16-bit: readers, which take the first, de-shuffled
// the 12-bit samples as 16-bit ones.
TEST(FuzzRegression, TwelveBitInsertRewritesTheSourcePackReadersFind) {
    for (bool pal : {false, true}) {
        const size_t size = pal ? core::dv::kFrameSize625 : core::dv::kFrameSize525;
        std::vector<uint8_t> frame(size, 0xFF);
        const int seqs = core::dv::sequenceCount(size);
        for (int s = 0; s < seqs; ++s) {
            uint8_t* p = frame.data() + size_t(s) * core::dv::kSequenceSize + core::dv::aauxPackOffset(0);
            const uint8_t pack[5] = {0x50, 0x00, 0x00, 0x00, 0x00};  // 48 kHz, 16-bit
            std::copy(pack, pack + 5, p);
        }
        auto before = dvaudio::readAudioInfo(frame.data(), size);
        ASSERT_TRUE(before);
        ASSERT_EQ(before->bits, 16);

        const int samples = pal ? 1280 : 1067;
        std::vector<int16_t> a(2 * samples), b(2 * samples);
        for (int i = 0; i < 2 * samples; ++i) {
            a[size_t(i)] = int16_t(i * 7 - 3000);
            b[size_t(i)] = int16_t(1000 - i * 3);
        }
        ASSERT_TRUE(dvaudio::insertPcm12(frame.data(), size, a.data(), b.data(), samples));
        auto after = dvaudio::readAudioInfo(frame.data(), size);
        ASSERT_TRUE(after);
        EXPECT_EQ(after->bits, 12);
        EXPECT_EQ(after->pairs, 2);
        EXPECT_EQ(after->sampleRate, 32000);
        EXPECT_EQ(after->samples, samples);
        // Every pack of the sequence that says "source" agrees.
        for (int s = 0; s < seqs; ++s)
            for (int k = 0; k < core::dv::kAauxPacksPerSequence; ++k) {
                const uint8_t* p = frame.data() + size_t(s) * core::dv::kSequenceSize + core::dv::aauxPackOffset(k);
                if (p[0] == 0x50) {
                    EXPECT_EQ(p[4] & 7, 1) << "sequence " << s << " slot " << k;
                }
            }
        // The 12-bit code is lossy: the samples come back close, both pairs.
        std::vector<int16_t> back(2 * dvaudio::kMaxSamplesPerFrame);
        for (int pair = 0; pair < 2; ++pair) {
            ASSERT_EQ(dvaudio::extractPcm(frame.data(), size, *after, pair, back.data()), samples);
            const std::vector<int16_t>& want = pair == 0 ? a : b;
            for (int i = 0; i < 2 * samples; ++i)
                ASSERT_NEAR(back[size_t(i)], want[size_t(i)], 64) << "pair " << pair << " value " << i;
        }
    }
}

// An index of indexes naming one index chunk at each of 70 000 consecutive byte positions (each an
// unknown index type, so skipped) and then a real index of chunks. Every named chunk was remembered
// in a list searched from the start, so the walk took time growing with the square of the entries;
// such an index is now refused once it names more index chunks than any real file has.
TEST(FuzzRegression, IndexOfIndexesNamingTooManyChunksIsRefused) {
    constexpr uint32_t kOverlapping = 70000;
    std::vector<testing::SuperEntry> entries;
    const uint64_t junkAt = 212 + 24 + 16 * uint64_t(kOverlapping + 1);
    for (uint32_t i = 0; i < kOverlapping; ++i) entries.push_back({junkAt + i, 24, 1});
    const uint64_t ixAt = junkAt + kOverlapping + 32;
    entries.push_back({ixAt, 24 + 8, 1});
    testing::Bytes file = testing::odmlHeader(entries);
    file.resize(ixAt, 0xFF);  // the junk chunks: index type 0xFF
    const testing::Bytes ix = testing::odmlChunkIndex(0, {{uint32_t(ixAt + 40 + 8), 120000}});
    file.insert(file.end(), ix.begin(), ix.end());
    testing::Bytes chunk(8 + 120000, 0);
    testing::put32(chunk, 0, fourcc("00__"));
    testing::put32(chunk, 4, 120000);
    file.insert(file.end(), chunk.begin(), chunk.end());

    testing::TempDir dir;
    const std::string path = dir.file("fan-out.avi");
    testing::writeBytes(path, file);
    File f;
    ASSERT_TRUE(f.open(path));
    FrameIndex index;
    EXPECT_FALSE(buildAviIndex(f, index));
    EXPECT_TRUE(index.entries.empty());

    // The same file naming only the real index chunk reads its frame.
    testing::Bytes small = testing::odmlHeader({{ixAt, 24 + 8, 1}});
    std::copy(small.begin(), small.end(), file.begin());
    testing::writeBytes(path, file);
    File g;
    ASSERT_TRUE(g.open(path));
    ASSERT_TRUE(buildAviIndex(g, index));
    ASSERT_EQ(index.frameCount(), 1);
    EXPECT_EQ(index.entries[0].offset, ixAt + 40 + 8);
}

// fuzz_avi_chunks: an output file whose reserved "INFO"/"ZoRv" list claims 4 GiB. Copying the
// editor chunks into it filled the room past the chunks with one buffer of zeros the size of the
// rest: a 4 GiB allocation, and a file grown to match. The copy now refuses a reserved list that
// runs past the end of the output and leaves the output alone.
TEST(FuzzRegression, ReservedListPastTheEndOfTheOutputIsNotFilled) {
    static const uint8_t kHeader[] = {
        0x52, 0x49, 0x46, 0x46, 0x50, 0xd6, 0x01, 0x00, 0x41, 0x56, 0x49, 0x20, 0x4c, 0x49, 0x53, 0x54, 0xb8, 0x00, 0x00,
        0x00, 0x68, 0x64, 0x72, 0x6c, 0x61, 0x76, 0x69, 0xc7, 0x38, 0x00, 0x00, 0x00, 0x57, 0x82, 0x00, 0x00, 0x80, 0xee,
        0x36, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x09, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
        0x00, 0x00, 0x00, 0xc8, 0xd4, 0x01, 0x00, 0xd0, 0x02, 0x00, 0x00, 0xe0, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
        0x00, 0xf9, 0x46, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf9, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x4c, 0x49, 0x53, 0x54, 0x6c, 0x00, 0x00, 0x00, 0x73, 0x74, 0x72, 0x6c, 0x73, 0x74, 0x72, 0x68, 0x38, 0x00,
        0x00, 0x00, 0x69, 0x61, 0x76, 0x73, 0x64, 0x76, 0x73, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0xe9, 0x03, 0x00, 0x00, 0x30, 0x75, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
        0xc0, 0xd4, 0x01, 0x00, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xd0, 0x02, 0xe0,
        0x01, 0x73, 0x74, 0x72, 0x6e, 0x20, 0x00, 0x00, 0x00, 0x54, 0x30, 0xc0, 0xc0, 0x33, 0xcf, 0xa0, 0xff, 0x54, 0x30,
        0xc0, 0xc0, 0x33, 0xcf, 0xa0, 0xff, 0xff, 0xff, 0xc0, 0xff, 0x33, 0x48, 0xfc, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x4c, 0x49, 0x53, 0x54, 0x68, 0xff, 0xff, 0xff, 0x49, 0x4e, 0x46, 0x4f, 0x5a, 0x6f, 0x52, 0x76,
        0x8c, 0x00, 0x00, 0x00, 0x7a, 0x6f, 0x72, 0xff};
    // The rest of the 345-byte input: pack-like filler and zeros.
    testing::Bytes bytes(kHeader, kHeader + sizeof kHeader);
    bytes.resize(345, 0xFF);
    std::fill(bytes.begin() + 0x140, bytes.end(), 0);

    testing::TempDir dir;
    const std::string in = dir.file("in.avi"), out = dir.file("out.avi");
    testing::writeBytes(in, bytes);
    testing::writeBytes(out, bytes);
    const int inFd = ::open(in.c_str(), O_RDONLY);
    const int outFd = ::open(out.c_str(), O_RDWR);
    ASSERT_GE(inFd, 0);
    ASSERT_GE(outFd, 0);
    AviChunks chunks(inFd, static_cast<FileType>(1 + bytes[0] % 4));
    chunks.collectEditorChunks(true);
    EXPECT_FALSE(chunks.copyEditorChunks(outFd));
    ::close(inFd);
    ::close(outFd);
    EXPECT_EQ(testing::readAll(out), bytes);
}

}  // namespace
}  // namespace zorv::media
