// The fixed rules of a batch job: the operation list, skip lines, names, weights, bars and the
// remaining-time line.
#include <gtest/gtest.h>

#include <fstream>

#include "batch/batch_operation.h"
#include "batch/batch_progress.h"
#include "batch/batch_runner.h"
#include "batch_test_media.h"

namespace zorv::batch {
namespace {

using media::FileType;

TEST(BatchRules, OperationListOrderCodesAndStoredTexts) {
    const int codes[] = {0, 1, 2, 4, 5, 6, 3, 7, 8, 10, 9, 11};
    auto list = operationList();
    ASSERT_EQ(list.size(), 12u);
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(static_cast<int>(list[i].code), codes[i]) << i;
    EXPECT_EQ(operationByText("Set \"Date Modified\" to Start Date/Time")->code, BatchOp::kSetDateModified);
    EXPECT_EQ(operationByText("Split file"), nullptr);  // exact match only
    EXPECT_EQ(operationByCliName("avi2")->code, BatchOp::kConvertAvi2);
    EXPECT_TRUE(changesInputFiles(BatchOp::kAppendDateToName));
    EXPECT_FALSE(changesInputFiles(BatchOp::kExportSubtitles));
}

TEST(BatchRules, SkipLinesByOperationAndType) {
    EXPECT_STREQ(skipLine(BatchOp::kConvertAvi1, FileType::kAviType1),
                 "File skipped - conversion to same file type was requested");
    EXPECT_EQ(skipLine(BatchOp::kConvertAvi1, FileType::kRawDv), nullptr);
    EXPECT_STREQ(skipLine(BatchOp::kConvertRawDv, FileType::kHdv1),
                 "File skipped - conversion of HDV M2T to Raw DV not currently supported");
    EXPECT_STREQ(skipLine(BatchOp::kSplit, FileType::kRawDv), "File skipped - splitting of Raw DV file type not supported");
    EXPECT_EQ(skipLine(BatchOp::kExtractAudio, FileType::kHdv2), nullptr);
    EXPECT_EQ(skipLine(BatchOp::kExtractAudio, FileType::kAvchd), nullptr);
    EXPECT_NE(skipLine(BatchOp::kExtractAudio, FileType::kHdv1), nullptr);
    EXPECT_EQ(skipLine(BatchOp::kBurnIn, FileType::kAvchd), nullptr);
    EXPECT_STREQ(skipLine(BatchOp::kFixPremiere, FileType::kAvchd),
                 "File skipped - AVCHD M2TS file type does not support a Premiere start timecode");
    EXPECT_EQ(skipLine(BatchOp::kExportMetadata, FileType::kRawDv), nullptr);
    EXPECT_EQ(skipLine(BatchOp::kExportMetadata, FileType::kHdv2), nullptr);
    EXPECT_EQ(skipLine(BatchOp::kExportMetadata, FileType::kAvchd), nullptr);
    for (FileType t : {FileType::kHdv2, FileType::kHdv1, FileType::kAvchd})
        EXPECT_EQ(skipLine(BatchOp::kExportSubtitles, t), nullptr) << static_cast<int>(t);
    EXPECT_STREQ(skipLine(BatchOp::kExportSubtitles, FileType::kMod),
                 "File skipped - subtitle export of MPEG-2 MOD file type not supported");
    for (int t = 1; t <= 7; ++t) {
        // Every operation takes AVI Type 1 except conversion to the same type.
        for (const auto& e : operationList()) {
            if (t == 1 && e.code != BatchOp::kConvertAvi1) {
                EXPECT_EQ(skipLine(e.code, FileType::kAviType1), nullptr) << e.text;
            }
        }
        EXPECT_EQ(skipLine(BatchOp::kModify, static_cast<FileType>(t)) == nullptr, t == 1 || t == 2) << t;
    }
}

TEST(BatchRules, StartLinesAndOutputNames) {
    EXPECT_EQ(startLine(BatchOp::kConvertRawDv, FileType::kAviType2), "Converting from AVI Type 2 to Raw DV ...");
    EXPECT_EQ(startLine(BatchOp::kConvertAvi2, FileType::kRawDv), "Converting from Raw DV to AVI Type 2 ...");
    EXPECT_STREQ(outputSuffix(BatchOp::kExtractAudio, FileType::kAvchd), ".ac3");
    EXPECT_STREQ(outputSuffix(BatchOp::kExtractAudio, FileType::kHdv2), ".wav");
    EXPECT_EQ(outputStem("/out/", "/media/tape/Holiday.2008.avi"), "/out/Holiday.2008");
}

TEST(BatchRules, UniqueNamesCountUpBeforeTheExtension) {
    testing::TempFolder dir;
    const std::string clip = dir.file("Clip-conv.avi");
    EXPECT_EQ(uniquePath(clip), clip);
    std::ofstream(clip).put('x');
    EXPECT_EQ(uniquePath(clip), dir.file("Clip-conv (1).avi"));
    std::ofstream(dir.file("Clip-conv (1).avi")).put('x');
    EXPECT_EQ(uniquePath(clip), dir.file("Clip-conv (2).avi"));
}

TEST(BatchRules, WeightsByTypeAndOperation) {
    EXPECT_EQ(fileWeight(BatchOp::kConvertAvi1, FileType::kAviType2, 250, 0), 250);
    EXPECT_EQ(fileWeight(BatchOp::kConvertAvi1, FileType::kAviType2, -1, 0), -1);
    EXPECT_EQ(fileWeight(BatchOp::kBurnIn, FileType::kHdv2, 0, 48128 * 100), 140);
    EXPECT_EQ(fileWeight(BatchOp::kExtractAudio, FileType::kHdv2, 0, 48128 * 100), 40);
    EXPECT_EQ(fileWeight(BatchOp::kConvertAvi1, FileType::kHdv2, 0, 48128 * 100), 0);
    EXPECT_EQ(fileWeight(BatchOp::kBurnIn, FileType::kAvchd, 0, 49152 * 80), 240);
    EXPECT_EQ(fileWeight(BatchOp::kExportMetadata, FileType::kAvchd, 0, 49152 * 80), 10);
    EXPECT_EQ(fileWeight(BatchOp::kSplit, FileType::kMod, 0, 1 << 30), 1);
    EXPECT_EQ(fileWeight(BatchOp::kFixPremiere, FileType::kAviType1, 5000, 0), 1);
}

TEST(BatchRules, OverallBarStopsAt99UntilTheEnd) {
    EXPECT_EQ(overallPercent(0, 0, 0), 100);
    EXPECT_EQ(overallPercent(50, 25, 100), 75);
    EXPECT_EQ(overallPercent(100, 0, 100), 99);
    EXPECT_EQ(overallPercent(99.9, 0, 100), 99);
    EXPECT_EQ(filePercent(300, 250), 100);
    EXPECT_EQ(filePercent(10, 0), 0);
}

TEST(BatchRules, RemainingTimeLine) {
    EXPECT_EQ(remainingTimeText(60, 50), "2 Minutes Remaining");  // 60 s left: m = 1, shown plus one
    EXPECT_EQ(remainingTimeText(100, 95), "5 Seconds Remaining");
    EXPECT_EQ(remainingTimeText(3600, 50), "1 Hours 1 Mins Remaining");
    EXPECT_EQ(remainingTimeText(7, 99), "");                       // r = 0
    EXPECT_EQ(remainingTimeText(23, 50), "25 Seconds Remaining");  // s = 23 -> (26 / 5) * 5
}

TEST(BatchRules, OutputFolderChecks) {
    testing::TempFolder dir;
    EXPECT_EQ(checkOutputFolder(BatchOp::kSplit, ""), kNoOutputFolder);
    EXPECT_EQ(checkOutputFolder(BatchOp::kFixPremiere, ""), kNoOutputFolderInPlace);
    EXPECT_EQ(checkOutputFolder(BatchOp::kSplit, dir.file("missing")), kOutputFolderMissing);
    std::ofstream(dir.file("plain")).put('x');
    EXPECT_EQ(checkOutputFolder(BatchOp::kSplit, dir.file("plain")), kOutputFolderNotFolder);
    EXPECT_EQ(checkOutputFolder(BatchOp::kSplit, dir.str()), "");
}

}  // namespace
}  // namespace zorv::batch
