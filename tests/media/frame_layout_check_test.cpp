// The index check made before frames are written back: each way an index can mislead a writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "media/avi_index.h"
#include "media/dv_test_media.h"
#include "media/frame_layout_check.h"

namespace zorv::media {
namespace {

using namespace testing;

TEST(FrameLayoutCheck, NamesTheFirstFrameAWriterCouldNotTrust) {
    TempDir dir;
    AviWriterOptions o;
    o.openDml = false;
    writeAvi(dir.file("four.avi"), palFrames(4), o);
    File file;
    ASSERT_TRUE(file.open(dir.file("four.avi")));
    FrameIndex good;
    ASSERT_TRUE(buildAviIndex(file, good));
    const uint64_t size = static_cast<uint64_t>(file.size());

    struct Case {
        const char* damage;
        std::function<void(FrameIndex&)> apply;
        const char* text;  // nullptr: accepted
    };
    const std::vector<Case> cases = {
        {"none", [](FrameIndex&) {}, nullptr},
        {"an empty entry", [](FrameIndex& x) { x.entries[1] = FrameEntry{}; }, nullptr},
        {"moved 16 bytes", [](FrameIndex& x) { x.entries[1].offset += 16; },
         "frame 1 does not start with a DV frame header"},
        {"at byte 12", [](FrameIndex& x) { x.entries[2].offset = 20; }, "frame 2 lies outside the file's movie data"},
        {"overlapping", [](FrameIndex& x) { x.entries[2].offset = x.entries[1].offset + 16; }, "frame 2 overlaps frame 1"},
        {"out of order", [](FrameIndex& x) { std::swap(x.entries[1], x.entries[2]); }, "frame 2 lies before frame 1"},
        {"past the end", [size](FrameIndex& x) { x.entries[3].offset = size - 100; },
         "frame 3 lies past the end of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        FrameIndex index = good;
        c.apply(index);
        const core::Status s = checkFrameLayout(file, index);
        if (!c.text) {
            EXPECT_TRUE(s.ok()) << s.message;
            continue;
        }
        EXPECT_EQ(s.code, core::ErrorCode::kReadFailed);
        EXPECT_EQ(s.message, std::string("The index of the file is damaged: ") + c.text);
    }
}

}  // namespace
}  // namespace zorv::media
