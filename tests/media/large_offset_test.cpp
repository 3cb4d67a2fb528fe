// Frame positions past 4 GiB in Raw DV and OpenDML AVI files, without writing gigabytes: the files are
// sparse, with real DV frames only where the test reads them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dv_test_media.h"
#include "odml_craft.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/avi_index.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"
#include "media/metadata_scan.h"

namespace zorv::media {
namespace {

using testing::Bytes;
using testing::TempDir;

constexpr int64_t k4GiB = int64_t{1} << 32;

// Writes bytes at pos of an existing file (growing it sparsely).
void writeAtPos(const std::string& path, int64_t pos, const Bytes& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), pos), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

class LargeOffsets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(clip_.open(gen::ntscClip(1, false))); }
    Bytes frame(int64_t n) const {
        Bytes f;
        clip_.render(n, f);
        return f;
    }
    gen::ClipFrames clip_;
    TempDir dir_;
};

TEST_F(LargeOffsets, RawDvFramesPastFourGiBReadBackWithTheirTimecodes) {
    const std::string path = dir_.file("long.dv");
    constexpr int64_t kSize = 120000;
    // Frame 40000 starts at 4.8 GB, past 2^32; the file holds 44000 frames.
    const int64_t far = 40000, count = 44000;
    writeAtPos(path, 0, frame(0));
    writeAtPos(path, kSize, frame(1));
    writeAtPos(path, far * kSize, frame(far));
    writeAtPos(path, (count - 1) * kSize, frame(count - 1));

    DvMediaFile f;
    ASSERT_TRUE(f.open(path));
    ASSERT_EQ(f.fileType(), FileType::kRawDv);
    EXPECT_EQ(f.frameCount(), count);
    EXPECT_EQ(f.frameDataPosition(far), far * kSize);
    EXPECT_GT(f.frameDataPosition(far), k4GiB);
    EXPECT_EQ(f.frameDataPosition(count - 1), (count - 1) * kSize);

    Bytes got(kSize);
    ASSERT_TRUE(f.readFrame(far, got.data()));
    EXPECT_EQ(got, frame(far));
    DvMediaFile::Timecode tc;
    ASSERT_TRUE(f.readTimecode(far, tc));
    // 40000 frames of 30-frame timecode from 00:00:00:00 is 00:22:13:10.
    EXPECT_EQ(tc.hours, 0);
    EXPECT_EQ(tc.minutes, 22);
    EXPECT_EQ(tc.seconds, 13);
    EXPECT_EQ(tc.frames, 10);
    ASSERT_TRUE(f.readFrame(count - 1, got.data()));
    EXPECT_EQ(got, frame(count - 1));
}

// An OpenDML AVI whose only standard index lies past 4 GiB with a 64-bit base offset past 4 GiB, as
// in the second AVIX chunk of a long recording.
TEST_F(LargeOffsets, OpenDmlIndexWithBaseOffsetPastFourGiB) {
    const std::string path = dir_.file("long.avi");
    const uint64_t ixPos = uint64_t{5} << 30;  // 5 GiB
    writeAtPos(path, 0, testing::odmlHeader({{ixPos, 24 + 3 * 8, 3}}));
    // The standard index: two frames from a base past 4 GiB (further than 32 bits can say from the
    // file start) and a dropped frame (size 0).
    const uint64_t base = (uint64_t{6} << 30) + 4;
    writeAtPos(path, static_cast<int64_t>(ixPos),
               testing::odmlChunkIndex(base, {{8, 120000}, {8 + 120008, 120000}, {0, 0}}));

    for (int k = 0; k < 2; ++k) {
        Bytes chunk(8, 0);
        testing::put32(chunk, 0, fourcc("00__"));
        testing::put32(chunk, 4, 120000);
        const Bytes f = frame(k);
        chunk.insert(chunk.end(), f.begin(), f.end());
        writeAtPos(path, static_cast<int64_t>(base + 120008 * uint64_t(k)), chunk);
    }

    File file;
    ASSERT_TRUE(file.open(path));
    FrameIndex index;
    core::Status error;
    error = buildAviIndex(file, index);
    ASSERT_TRUE(error) << error.message;
    ASSERT_EQ(index.frameCount(), 3);
    EXPECT_EQ(index.frameSize, 120000u);
    EXPECT_EQ(index.entries[0].offset, base + 8);
    EXPECT_EQ(index.entries[1].offset, base + 8 + 120008);
    EXPECT_GT(index.entries[1].offset, uint64_t{6} << 30);
    EXPECT_TRUE(index.entries[2].empty());
    EXPECT_EQ(index.nonEmptyFrames, 2);
    Bytes got(120000);
    for (int k = 0; k < 2; ++k) {
        ASSERT_TRUE(file.readExact(static_cast<int64_t>(index.entries[size_t(k)].offset), got.data(), got.size()));
        EXPECT_EQ(got, frame(k)) << k;
    }
}

TEST(LargeCountsMedia, ScanPercentOfFramesPastTwoToThe31) {
    const int64_t count = (int64_t{1} << 31) + 101;
    EXPECT_EQ(scanPercent(0, count), 0);
    EXPECT_EQ(scanPercent((count - 1) / 2, count), 50);
    EXPECT_EQ(scanPercent(count - 2, count), 99);
    EXPECT_EQ(scanPercent(count - 1, count), 100);
    EXPECT_EQ(scanPercent(0, 1), 100);
}

}  // namespace
}  // namespace zorv::media
