// The scan's shared reading hands back every stretch in order with each frame's own records, however
// the two threads divide the stretches between them.
#include "media/scan_fill_ahead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "core/dv_pack_fill.h"
#include "media/dv_frame_damage.h"
#include "media/dv_test_media.h"

namespace zorv::media {
namespace {

using testing::Bytes;
using testing::TempDir;

constexpr size_t kFrame = 120000;  // one NTSC frame

TEST(ScanFillAhead, EveryStretchComesBackInOrderWithItsOwnFrames) {
    // Frames of random bytes (every status nibble and pack ID turns up), one dropped index entry and one
    // entry past the end of the file; stretches of two frames, more than the slots that hold them.
    constexpr int kFrames = 23;
    Bytes bytes(kFrame * (kFrames - 1));
    std::mt19937 rng(7);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    TempDir dir;
    const std::string path = dir.file("frames.dv");
    testing::writeBytes(path, bytes);
    std::vector<FrameEntry> entries(kFrames);
    for (int i = 0; i < kFrames; ++i) entries[size_t(i)] = {uint64_t(i) * kFrame, uint32_t(kFrame)};
    entries[5] = FrameEntry{};

    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    for (int pass = 0; pass < 3; ++pass) {
        ScanFillAhead fill(fd, 3 * kFrame, entries, kFrame);
        ASSERT_EQ(fill.stretchFrames(), 2);
        for (int64_t n = 0; n < kFrames;) {
            const FilledStretch& s = fill.stretch(n);
            ASSERT_EQ(s.first, n);
            ASSERT_EQ(s.end, std::min<int64_t>(n + 2, kFrames));
            for (; n < s.end; ++n) {
                const auto i = static_cast<size_t>(n - s.first);
                if (n == 5) {
                    EXPECT_EQ(s.state[i], FillState::kEmpty);
                    continue;
                }
                if (n == kFrames - 1) {
                    EXPECT_EQ(s.state[i], FillState::kUnread);
                    continue;
                }
                ASSERT_EQ(s.state[i], FillState::kFilled) << n;
                core::MetadataRecord rec;
                core::FrameDamage damage;
                fillFrameRecords(rec, damage, bytes.data() + size_t(n) * kFrame, kFrame);
                EXPECT_TRUE(s.damage[i].sameAs(damage)) << "frame " << n;
                for (int id = 0; id < 255; ++id) {
                    const auto k = static_cast<uint8_t>(id);
                    ASSERT_EQ(s.records[i].has(k), rec.has(k)) << "frame " << n << " pack " << id;
                    if (rec.has(k)) {
                        EXPECT_EQ(s.records[i][k], rec[k]) << "frame " << n << " pack " << id;
                    }
                }
            }
        }
    }
    ::close(fd);
}

}  // namespace
}  // namespace zorv::media
