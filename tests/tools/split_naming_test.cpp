#include "tools/split_naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zorv::tools {
namespace {

namespace fs = std::filesystem;

TEST(SplitNaming, ReelLetters) {
    EXPECT_EQ(reelWithLetter("Tape", 0), "TapeA");
    EXPECT_EQ(reelWithLetter("Tape", 1), "TapeB");
    EXPECT_EQ(reelWithLetter("Tape", 25), "TapeZ");
    EXPECT_EQ(reelWithLetter("Tape", 26), "TapeAA");
    EXPECT_EQ(reelWithLetter("Tape", 27), "TapeAB");
    EXPECT_EQ(reelWithLetter("Tape", 26 * 27 - 1), "TapeZZ");
    EXPECT_EQ(reelWithLetter("Tape", 26 * 27), "TapeA");  // past ZZ the letters start again
}

TEST(SplitNaming, SuffixForms) {
    SplitFrameInfo i;
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kNumber, 1, i), " 0001");
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kNumber, 12345, i), " 12345");
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kUserBits, 1, i), " --.--.--.--");
    i.tcHours = 1, i.tcMinutes = 2, i.tcSeconds = 3, i.tcFrames = 4;
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kTimecode, 7, i), " 01.02.03.04");
    i.recValid = true, i.recYear2 = 95, i.recMonth = 1, i.recDay = 2, i.recHour = 3, i.recMinute = 4, i.recSecond = 5;
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kDateTime, 7, i), " 1995-01-02 03.04.05");
    i.recYear2 = 89;
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kDateTime, 7, i), " 2089-01-02 03.04.05");
    i.userBitsValid = true;
    i.userBits = {0x01, 0x23, 0xAB, 0xF0};
    EXPECT_EQ(splitNameSuffix(SplitNameFormat::kUserBits, 7, i), " F0.AB.23.01");
    EXPECT_EQ(pathWithoutExtension("/a.b/Clip.avi"), "/a.b/Clip");
    EXPECT_EQ(pathWithoutExtension("/a.b/Clip"), "/a.b/Clip");
}

TEST(SplitNaming, UniqueNames) {
    fs::path dir = fs::temp_directory_path() / ("zorv_split_names_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string name = (dir / "Clip 0001.avi").string();
    EXPECT_EQ(uniqueFileName(name), name);
    std::ofstream(name).put('x');
    EXPECT_EQ(uniqueFileName(name), (dir / "Clip 0001 (1).avi").string());
    std::ofstream((dir / "Clip 0001 (1).avi").string()).put('x');
    EXPECT_EQ(uniqueFileName(name), (dir / "Clip 0001 (2).avi").string());

    std::string longName = dir.string() + "/" + std::string(300, 'n') + ".avi";
    std::string cut = uniqueFileName(longName);
    EXPECT_EQ(cut.size(), kMaxSplitPathLength);
    EXPECT_TRUE(cut.ends_with("nnn.avi"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace zorv::tools
