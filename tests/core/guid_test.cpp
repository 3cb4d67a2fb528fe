#include "core/guid.h"

#include <gtest/gtest.h>

#include <string>

namespace zorv::core {
namespace {

TEST(Guid, ParsesAndFormatsRegistryForm) {
    const auto g = Guid::parse("{51b4abf3-748f-4e3b-A276-C828330E926A}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->bytes[0], 0x51);
    EXPECT_EQ(g->bytes[15], 0x6A);
    EXPECT_EQ(g->toString(), "{51B4ABF3-748F-4E3B-A276-C828330E926A}");
    EXPECT_FALSE(g->isNull());

    const auto zero = Guid::parse(kNullGuidText);
    ASSERT_TRUE(zero);
    EXPECT_TRUE(zero->isNull());
    EXPECT_EQ(Guid{}.toString(), kNullGuidText);
}

TEST(Guid, RejectsAnythingButTheExactForm) {
    for (const char* bad : {"", "abc", "{}", "51B4ABF3-748F-4E3B-A276-C828330E926A",
                            "{51B4ABF3-748F-4E3B-A276-C828330E926A",    // no closing brace
                            "{51B4ABF3-748F-4E3B-A276-C828330E926AB}",  // one digit too many
                            "{51B4ABF3-748F-4E3B-A276-C828330E926}",    // one digit short
                            "{51B4ABF3-748F-4E3BA-276-C828330E926A}",   // dash moved
                            "{51B4ABF3-748F-4E3B-A276-C828330E926G}",   // not hex
                            " {51B4ABF3-748F-4E3B-A276-C828330E926A}",  // leading space
                            "{51B4ABF3+748F-4E3B-A276-C828330E926A}"}) {
        EXPECT_FALSE(Guid::parse(bad)) << bad;
    }
    const std::string withNul("{51B4ABF3-748F-4E3B-A276-C828330E926\0}", 38);
    EXPECT_FALSE(Guid::parse(withNul));
}

TEST(Guid, NameBasedIdentifiersAreStableVersion5) {
    // Reference values computed independently (RFC 4122 name-based, SHA-1, in the program's namespace).
    EXPECT_EQ(Guid::fromName("mpeg2video").toString(), "{4A8105D9-BC3B-5FB5-AC5F-217D8A790796}");
    EXPECT_EQ(Guid::fromName("").toString(), "{F406DBC0-D352-5745-A3AA-73DB8DF4E87B}");
    EXPECT_EQ(Guid::fromName("libavcodec h264").toString(), "{399B0BC7-42F8-5C78-962F-FA9D82C80359}");
    // Longer than one hash block.
    EXPECT_EQ(Guid::fromName(std::string(1000, 'x')).toString(), "{865DD89E-5056-5AA4-8D38-A5355A971E2F}");
    EXPECT_NE(Guid::fromName("h264"), Guid::fromName("H264"));
}

}  // namespace
}  // namespace zorv::core
