#include "media/output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include "gen/file_bytes.h"

namespace zorv::media {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zorv_output_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string at(const std::string& name) const { return (dir_ / name).string(); }
    static void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string read(const std::string& path) { return zorv::gen::fileBytes(path); }
    // Files in the folder other than the named ones: temporary files left behind show here.
    size_t entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

    fs::path dir_;
};

TEST_F(OutputFileTest, NoSpellingOfAnInputIsAccepted) {
    const std::string input = at("tape.avi");
    put(input, "recording");
    fs::create_symlink(input, at("link.avi"));
    fs::create_hard_link(input, at("hard.avi"));
    const std::string relative = fs::relative(input, fs::current_path()).string();
    for (const std::string& out : {input, relative, at("./tape.avi"), at("link.avi"), at("hard.avi")}) {
        for (bool overwrite : {false, true}) {
            OutputFile file;
            core::Status s = file.begin(out, {overwrite, {input}});
            EXPECT_EQ(s.code, core::ErrorCode::kOutputIsInput) << out;
            EXPECT_NE(s.message.find(out), std::string::npos) << s.message;
            EXPECT_NE(s.message.find(input), std::string::npos) << s.message;
            EXPECT_FALSE(file.active());
        }
    }
    EXPECT_EQ(read(input), "recording");
    EXPECT_EQ(entries(), 3u);
}

TEST_F(OutputFileTest, ExistingOutputIsReplacedOnlyAtCommitAndOnlyWhenAllowed) {
    const std::string out = at("out.dv");
    put(out, "old");
    OutputFile refused;
    EXPECT_EQ(refused.begin(out, {false, {}}).code, core::ErrorCode::kOutputExists);

    OutputFile file;
    ASSERT_TRUE(file.begin(out, {true, {}}).ok());
    put(file.tempPath(), "new");
    EXPECT_EQ(read(out), "old");  // nothing replaced while the run goes on
    ASSERT_TRUE(file.commit().ok());
    EXPECT_EQ(read(out), "new");
    EXPECT_FALSE(file.active());
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, AnUncommittedOutputLeavesNothingAndTheOldFileAsItWas) {
    const std::string out = at("out.avi");
    put(out, "old");
    {
        OutputFile file;
        ASSERT_TRUE(file.begin(out, {true, {}}).ok());
        EXPECT_EQ(fs::path(file.tempPath()).parent_path(), dir_);
        put(file.tempPath(), "partial");
    }
    EXPECT_EQ(read(out), "old");
    EXPECT_EQ(entries(), 1u);

    OutputFile fresh;
    ASSERT_TRUE(fresh.begin(at("new.avi"), {}).ok());
    fresh.discard();
    fresh.discard();
    EXPECT_FALSE(fs::exists(at("new.avi")));
    EXPECT_EQ(entries(), 1u);

    // The end of a run: a failure is passed on and leaves nothing, a success takes the name.
    ASSERT_TRUE(fresh.begin(at("new.avi"), {}).ok());
    EXPECT_EQ(fresh.finish(core::Status::failure(core::ErrorCode::kCancelled)).code, core::ErrorCode::kCancelled);
    EXPECT_EQ(entries(), 1u);
    ASSERT_TRUE(fresh.begin(at("new.avi"), {}).ok());
    put(fresh.tempPath(), "done");
    EXPECT_TRUE(fresh.finish(core::Status::success()).ok());
    EXPECT_EQ(read(at("new.avi")), "done");
    EXPECT_EQ(entries(), 2u);
}

TEST_F(OutputFileTest, LinksAsOutputs) {
    put(at("target.csv"), "old");
    fs::create_symlink(at("target.csv"), at("link.csv"));
    fs::create_symlink(at("missing.csv"), at("dangling.csv"));

    OutputFile dangling;
    EXPECT_EQ(dangling.begin(at("dangling.csv"), {true, {}}).code, core::ErrorCode::kOpenFailed);
    EXPECT_FALSE(fs::exists(at("missing.csv")));

    OutputFile noOverwrite;
    EXPECT_EQ(noOverwrite.begin(at("link.csv"), {false, {}}).code, core::ErrorCode::kOutputExists);

    OutputFile file;
    ASSERT_TRUE(file.begin(at("link.csv"), {true, {}}).ok());
    put(file.tempPath(), "new");
    ASSERT_TRUE(file.commit().ok());
    EXPECT_TRUE(fs::is_symlink(at("link.csv")));  // the link is kept, the file behind it replaced
    EXPECT_EQ(read(at("target.csv")), "new");
}

TEST_F(OutputFileTest, ANameTakenDuringTheRunIsNotReplacedWithoutOverwrite) {
    const std::string out = at("out.wav");
    OutputFile file;
    ASSERT_TRUE(file.begin(out, {}).ok());
    put(file.tempPath(), "ours");
    put(out, "someone else's");
    EXPECT_EQ(file.commit().code, core::ErrorCode::kOutputExists);
    EXPECT_EQ(read(out), "someone else's");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, FoldersAndMissingFoldersAreRefused) {
    fs::create_directory(at("sub"));
    OutputFile folder, missing;
    EXPECT_FALSE(folder.begin(at("sub"), {true, {}}).ok());
    EXPECT_FALSE(missing.begin(at("nowhere/out.avi"), {}).ok());
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, ASignalHandlerCanRemoveEveryPendingOutput) {
    OutputFile a, b;
    ASSERT_TRUE(a.begin(at("a.avi"), {}).ok());
    ASSERT_TRUE(b.begin(at("b.avi"), {}).ok());
    removePendingOutputsFromSignal();
    EXPECT_EQ(entries(), 0u);
}

}  // namespace
}  // namespace zorv::media
