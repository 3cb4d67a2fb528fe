// Codec test outcomes kept between runs: found again by the same build only, merged with what other
// processes wrote, and never in the way when the folder cannot be written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "media/codec/avcodec_loader.h"
#include "media/codec/codec_test_cache.h"

namespace zorv::media::codec {
namespace {

namespace fs = std::filesystem;

class CodecTestCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zorv-codec-cache-" + std::to_string(::getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_F(CodecTestCacheTest, OutcomesAreFoundAgainByTheSameBuildOnly) {
    {
        CodecTestCache cache(folder_, "build A");
        EXPECT_FALSE(cache.lookup(3, "ffv1").has_value());
        cache.store(3, "ffv1", true);
        cache.store(1, "h264_broken", false);
        cache.store(1, "h264", true);
    }
    CodecTestCache again(folder_, "build A");
    EXPECT_EQ(again.lookup(3, "ffv1"), std::optional<bool>(true));
    EXPECT_EQ(again.lookup(1, "h264_broken"), std::optional<bool>(false));
    EXPECT_EQ(again.lookup(1, "h264"), std::optional<bool>(true));
    EXPECT_FALSE(again.lookup(1, "ffv1").has_value());  // another role

    CodecTestCache other(folder_, "build B");
    EXPECT_NE(other.file(), again.file());
    EXPECT_FALSE(other.lookup(3, "ffv1").has_value());

    // A file at the build's name written for another identity is not read.
    std::ofstream(again.file()) << "build something else\n3 ffv1 pass\n";
    EXPECT_FALSE(CodecTestCache(folder_, "build A").lookup(3, "ffv1").has_value());
}

TEST_F(CodecTestCacheTest, OutcomesOfOtherProcessesAreKeptAndDamagedLinesSkipped) {
    CodecTestCache first(folder_, "build");
    CodecTestCache second(folder_, "build");
    EXPECT_FALSE(first.lookup(3, "x").has_value());  // both have read the (missing) file
    EXPECT_FALSE(second.lookup(3, "x").has_value());
    first.store(3, "ffv1", true);
    second.store(3, "mjpeg", false);  // written after first's, from what second read before
    {
        std::ofstream out(second.file(), std::ios::app);
        out << "3 huffyuv maybe\nnot a line\n3\n2 ac3 pass\n";
    }
    CodecTestCache reader(folder_, "build");
    EXPECT_EQ(reader.lookup(3, "ffv1"), std::optional<bool>(true));
    EXPECT_EQ(reader.lookup(3, "mjpeg"), std::optional<bool>(false));
    EXPECT_FALSE(reader.lookup(3, "huffyuv").has_value());
    EXPECT_EQ(reader.lookup(2, "ac3"), std::optional<bool>(true));
    // Only the cache file is left: no temporary files.
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder_)) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(CodecTestCacheTest, AFolderThatCannotBeWrittenOnlyMeansTestingAgain) {
    std::ofstream(folder_.string() + "-file") << "x";
    const fs::path blocked = fs::path(folder_.string() + "-file") / "cache";  // below a regular file
    CodecTestCache cache(blocked, "build");
    cache.store(3, "ffv1", true);
    EXPECT_EQ(cache.lookup(3, "ffv1"), std::optional<bool>(true));  // this process still knows
    EXPECT_FALSE(CodecTestCache(blocked, "build").lookup(3, "ffv1").has_value());
    fs::remove(folder_.string() + "-file");
}

TEST_F(CodecTestCacheTest, FilesOfOtherBuildsLeftUnwrittenForMonthsAreRemoved) {
    CodecTestCache old(folder_, "old build");
    old.store(3, "ffv1", true);
    CodecTestCache recent(folder_, "recent build");
    recent.store(3, "ffv1", true);
    fs::last_write_time(old.file(), fs::file_time_type::clock::now() - std::chrono::hours(24 * 200));
    CodecTestCache current(folder_, "current build");
    current.store(3, "ffv1", true);
    EXPECT_FALSE(fs::exists(old.file()));
    EXPECT_TRUE(fs::exists(recent.file()));
    EXPECT_TRUE(fs::exists(current.file()));
}

TEST(CodecTestCacheIdentity, NamesTheLoadedLibavcodecFile) {
    ASSERT_TRUE(avcodecAvailable());
    const std::string id = loadedLibrariesIdentity();
    EXPECT_NE(id.find("libavcodec.so"), std::string::npos) << id;
    EXPECT_EQ(id.find('\n'), std::string::npos);
    EXPECT_EQ(id, loadedLibrariesIdentity());
}

}  // namespace
}  // namespace zorv::media::codec
