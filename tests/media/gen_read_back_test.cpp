// Generated files through the program's own recognition and frame index: every container and index
// style is recognised with its type, indexed with the right frame count and empty entries, and each
// indexed position holds the frame that was written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gen/clip_writer.h"
#include "media/avi_index.h"
#include "media/rawdv_index.h"
#include "media/recognize.h"

namespace zorv::gen {
namespace {

struct Case {
    const char* name;
    System system;
    Container container;
    IndexStyle style;
    uint64_t riffLimit;
    media::FileType type;
};

class GenReadBack : public ::testing::TestWithParam<Case> {};

TEST_P(GenReadBack, RecognisedAndIndexedFrameByFrame) {
    const Case& c = GetParam();
    std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("zorv-rb-" + std::to_string(::getpid()) + "-" + c.name);
    ClipSpec desc = c.system == System::Pal ? palClip(24) : ntscClip(24, true);
    desc.riffLimit = c.riffLimit;
    if (c.container != Container::RawDv) desc.dropped = {0, 9, 23};
    ASSERT_TRUE(writeClip(desc, file.string(), c.container, c.style).ok());

    media::Recognition r = media::recognize(file.string());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.type, c.type);

    media::File f;
    ASSERT_TRUE(f.open(file.string()));
    media::FrameIndex index;
    const core::Status built =
        c.container == Container::RawDv ? media::buildRawDvIndex(f, index) : media::buildAviIndex(f, index);
    ASSERT_TRUE(built) << built.message;
    EXPECT_EQ(index.frameSize, desc.frameSize());
    ASSERT_EQ(index.frameCount(), 24);
    EXPECT_EQ(index.nonEmptyFrames, 24 - static_cast<int64_t>(desc.dropped.size()));

    ClipFrames frames;
    ASSERT_TRUE(frames.open(desc).ok());
    std::vector<uint8_t> want, got(desc.frameSize());
    for (int64_t n = 0; n < 24; ++n) {
        const media::FrameEntry& e = index.entries[static_cast<size_t>(n)];
        ASSERT_EQ(e.empty(), desc.isDropped(n)) << n;
        if (e.empty()) continue;
        frames.render(n, want);
        ASSERT_TRUE(f.readExact(static_cast<int64_t>(e.offset), got.data(), got.size())) << n;
        ASSERT_TRUE(got == want) << "frame " << n;
    }
    std::filesystem::remove(file);
}

INSTANTIATE_TEST_SUITE_P(
    AllContainers, GenReadBack,
    ::testing::Values(
        Case{"rawdv_pal", System::Pal, Container::RawDv, IndexStyle::OpenDml, 1ull << 30, media::FileType::kRawDv},
        Case{"rawdv_ntsc", System::Ntsc, Container::RawDv, IndexStyle::OpenDml, 1ull << 30, media::FileType::kRawDv},
        Case{"avi1_idx1_file", System::Pal, Container::Avi1, IndexStyle::Idx1FromFile, 1ull << 30,
             media::FileType::kAviType1},
        Case{"avi1_idx1_movi", System::Ntsc, Container::Avi1, IndexStyle::Idx1FromMovi, 1ull << 30,
             media::FileType::kAviType1},
        Case{"avi2_idx1_movi", System::Pal, Container::Avi2, IndexStyle::Idx1FromMovi, 1ull << 30,
             media::FileType::kAviType2},
        Case{"avi1_odml", System::Pal, Container::Avi1, IndexStyle::OpenDml, 700000, media::FileType::kAviType1},
        Case{"avi2_odml", System::Ntsc, Container::Avi2, IndexStyle::OpenDml, 700000, media::FileType::kAviType2}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace zorv::gen
