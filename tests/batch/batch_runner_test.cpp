// The runner over a folder of generated DV, Raw DV, HDV, AVCHD and unrecognised files, for every
// operation: skip lines, outputs under unique names, the log's lines in order, the second log's
// name, the overall bar, abort, and the same log with several files at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "batch/batch_runner.h"
#include "batch_test_media.h"
#include "tools/stream_burn_factory.h"

namespace zorv::batch {
namespace {

namespace fs = std::filesystem;
using testing::BatchMedia;
using testing::TempFolder;

// Burn-in drawing that leaves the pictures as they are (the overlay layer has tests of its own).
class PlainDrawer : public overlay::PictureDrawer {
public:
    bool prepare(int, int, bool, int, int) override { return true; }
    void band(int& top, int& rows) const override { top = 0, rows = 16; }
    void draw(core::RgbPicture&, const overlay::BurnFrameInfo&) override {}
};

BatchSettings settingsFor(BatchOp op, const std::string& folder, int jobs = 1) {
    BatchSettings s;
    s.op = op;
    s.outputFolder = folder;
    s.jobs = jobs;
    s.drawers = [] { return std::make_unique<PlainDrawer>(); };
    // Stream burn-ins find no decoder here (the stream burn-in has tests of its own).
    s.burnJobs = [](const tools::BurnRequest& r) -> std::unique_ptr<tools::BurnJob> {
        if (!core::isStreamFamily(r.family)) return tools::makeBurnJob(r);
        return std::make_unique<tools::StreamBurnInJob>(
            r.family, core::Status::failure(core::ErrorCode::kOpenFailed, r.family == core::MediaFamily::kAvchd
                                                                               ? tools::kNoAvchdDecoder
                                                                               : tools::kNoHdvDecoder));
    };
    return s;
}

class BatchRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(BatchMedia::get().ok()) << "zorv-gen failed"; }
    const BatchMedia& media() { return BatchMedia::get(); }
};

// What each operation logs after the "Processing file" line of each input: the first line (skip or
// start line) and, for files that run, the last line of the block.
struct Expect {
    const char* file;
    const char* first;
    const char* last;  // nullptr: the block is the first line only
};

struct OpCase {
    BatchOp op;
    std::vector<Expect> files;
};

constexpr const char* kNotRecognised =
    "ERROR: Not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD file - file skipped";

std::vector<OpCase> cases() {
    const char* hdvAvi = "File skipped - conversion of HDV M2T to DV AVI not currently supported";
    const char* avchdAvi = "File skipped - conversion of AVCHD M2TS to DV AVI not currently supported";
    return {
        {BatchOp::kConvertAvi1,
         {{"a1", "File skipped - conversion to same file type was requested", nullptr},
          {"a2", "Converting from AVI Type 2 to AVI Type 1 ...", "Conversion Complete"},
          {"raw", "Converting from Raw DV to AVI Type 1 ...", "Conversion Complete"},
          {"hdv", hdvAvi, nullptr},
          {"hdv720", hdvAvi, nullptr},
          {"avchd", avchdAvi, nullptr}}},
        {BatchOp::kConvertAvi2,
         {{"a1", "Converting from AVI Type 1 to AVI Type 2 ...", "Conversion Complete"},
          {"a2", "File skipped - conversion to same file type was requested", nullptr},
          {"raw", "Converting from Raw DV to AVI Type 2 ...", "Conversion Complete"},
          {"hdv", hdvAvi, nullptr},
          {"avchd", avchdAvi, nullptr}}},
        {BatchOp::kConvertRawDv,
         {{"a1", "Converting from AVI Type 1 to Raw DV ...", "Conversion Complete"},
          {"a2", "Converting from AVI Type 2 to Raw DV ...", "Conversion Complete"},
          {"raw", "File skipped - conversion to same file type was requested", nullptr},
          {"hdv", "File skipped - conversion of HDV M2T to Raw DV not currently supported", nullptr},
          {"avchd", "File skipped - conversion of AVCHD M2TS to Raw DV not currently supported", nullptr}}},
        {BatchOp::kExtractAudio,
         {{"a1", "Extracting audio ...", "Audio Extraction Complete"},
          {"a2", "Extracting audio ...", "Audio Extraction Complete"},
          {"raw", "Extracting audio ...", "Audio Extraction Complete"},
          {"hdv", "Extracting audio ...", "Audio Extraction Complete"},
          {"hdv720", "File skipped - audio extraction from HDV1 (720 line) M2T file type not currently supported", nullptr},
          {"avchd", "Extracting audio ...", "Audio Extraction Complete"}}},
        {BatchOp::kBurnIn,
         {{"a1", "Burning-in metadata ...", "Burn-in Complete"},
          {"a2", "Burning-in metadata ...", "Burn-in Complete"},
          {"raw", "File skipped - burn-in of Raw DV file type not currently supported", nullptr},
          // This runner's stream burn-ins find no decoder: the HDV and AVCHD files fail at build.
          {"hdv", "Burning-in metadata ...", "ERROR: Build failed - No HDV MPEG-2 video decoder configured"},
          {"hdv720", "File skipped - burn-in of HDV1 (720 line) M2T file type not currently supported", nullptr},
          {"avchd", "Burning-in metadata ...", "ERROR: Build failed - No AVCHD video decoder configured"}}},
        {BatchOp::kModify,
         {{"a1", "Modifying metadata ...", "Metadata modification complete"},
          {"a2", "Modifying metadata ...", "Metadata modification complete"},
          {"raw", "File skipped - metadata modification of Raw DV file type not supported", nullptr},
          {"hdv", "File skipped - metadata modification of HDV M2T file type not currently supported", nullptr},
          {"avchd", "File skipped - metadata modification of AVCHD M2TS file type not currently supported", nullptr}}},
        {BatchOp::kSplit,
         {{"a1", "Splitting File ...", "Split Complete"},
          {"a2", "Splitting File ...", "Split Complete"},
          {"raw", "File skipped - splitting of Raw DV file type not supported", nullptr},
          {"hdv720", "File skipped - splitting of HDV M2T file type not currently supported", nullptr},
          {"avchd", "File skipped - splitting of AVCHD M2TS file type not currently supported", nullptr}}},
        {BatchOp::kExportMetadata,
         {{"a1", "Exporting metadata ...", "Metadata export complete"},
          {"raw", "Exporting metadata ...", "Metadata export complete"},
          {"hdv", "Exporting metadata ...", "Metadata export complete"},
          {"hdv720", "Exporting metadata ...", "Metadata export complete"},
          {"avchd", "Exporting metadata ...", "Metadata export complete"}}},
        {BatchOp::kExportSubtitles,
         {{"a2", "Exporting subtitles ...", "Subtitle export complete"},
          {"raw", "Exporting subtitles ...", "Subtitle export complete"},
          {"hdv", "Exporting subtitles ...", "Subtitle export complete"},
          {"hdv720", "Exporting subtitles ...", "Subtitle export complete"},
          {"avchd", "Exporting subtitles ...", "Subtitle export complete"}}},
        {BatchOp::kSetDateModified,
         {{"a1", "Setting \"Date Modified\" to start date/time ...", "Date Modified set"},
          {"raw", "Setting \"Date Modified\" to start date/time ...", "Date Modified set"},
          {"avchd", "File skipped - setting Date Modified of AVCHD M2TS file type not currently supported", nullptr}}},
        {BatchOp::kAppendDateToName,
         {{"a2", "Appending start date/time to file name ...", nullptr},
          {"hdv", "File skipped - appending start date/time to file name of HDV M2T file type not currently supported",
           nullptr}}},
        {BatchOp::kFixPremiere,
         {{"a1", "Fixing Premiere start timecode ...", "Fixed"},
          {"a2", "Fixing Premiere start timecode ...", "Fixed"},
          {"raw", "File skipped - Raw DV file type does not support a Premiere start timecode", nullptr},
          {"hdv", "File skipped - fixing Premiere start timecode in HDV M2T file type not currently supported", nullptr},
          {"avchd", "File skipped - AVCHD M2TS file type does not support a Premiere start timecode", nullptr}}},
    };
}

TEST_F(BatchRunnerTest, EveryOperationSkipsRunsAndLogsEachFileInOrder) {
    for (const OpCase& c : cases()) {
        SCOPED_TRACE(operationEntry(c.op).text);
        TempFolder out, inputs;
        const std::vector<std::string> files = changesInputFiles(c.op) ? media().copiesIn(inputs) : media().all();
        BatchRunner runner(settingsFor(c.op, out.str()));
        runner.run(files);
        ASSERT_FALSE(runner.aborted());

        const std::string logPath = out.file("Batch-log.txt");
        EXPECT_EQ(runner.logPath(), logPath);
        const auto lines = testing::logLines(testing::readText(logPath));
        ASSERT_GE(lines.size(), 5u);
        EXPECT_EQ(lines[0], "ZORV Pro - Batch processing log file");
        EXPECT_EQ(lines[1], "Log pathname: " + logPath);
        EXPECT_EQ(lines[2].rfind("Started on ", 0), 0u);
        EXPECT_EQ(lines[lines.size() - 2], "");
        EXPECT_EQ(lines.back().rfind("Finished on ", 0), 0u);
        if (changesInputFiles(c.op)) {
            EXPECT_EQ(lines[3], "");
            EXPECT_EQ(lines[4], "Note: This operation directly modifies the INPUT files, so there");
        }

        // Files appear in the order given.
        size_t previous = 0;
        for (const auto& f : files) {
            const auto at = std::find(lines.begin(), lines.end(), "Processing file: " + f);
            ASSERT_NE(at, lines.end()) << f;
            EXPECT_GT(static_cast<size_t>(at - lines.begin()), previous);
            previous = static_cast<size_t>(at - lines.begin());
        }
        const auto blocks = testing::fileBlocks(lines);
        const std::string junk = files.back();
        ASSERT_EQ(blocks.at(junk).size(), 1u);
        EXPECT_EQ(blocks.at(junk)[0], kNotRecognised);

        auto index = [&](const std::string& name) {
            const auto all = media().all();
            const std::string file = fs::path(media().path(name)).filename().string();
            for (const auto& f : files)
                if (fs::path(f).filename() == file) return f;
            return std::string();
        };
        for (const Expect& e : c.files) {
            SCOPED_TRACE(e.file);
            const auto& b = blocks.at(index(e.file));
            ASSERT_FALSE(b.empty());
            EXPECT_EQ(b.front(), e.first);
            if (e.last) {
                EXPECT_EQ(b.back(), e.last);
            } else if (c.op != BatchOp::kAppendDateToName) {
                EXPECT_EQ(b.size(), 1u);
            }
            // A named output exists.
            for (const auto& l : b) {
                if (l.rfind("Output file: ", 0) == 0 && b.back().rfind("ERROR", 0) != 0) {
                    const std::string path = l.substr(13);
                    EXPECT_EQ(fs::path(path).parent_path(), fs::path(out.str()));
                    EXPECT_TRUE(fs::exists(path)) << path;
                    EXPECT_GT(fs::file_size(path), 0u);
                }
            }
        }
        if (c.op == BatchOp::kExtractAudio) {
            EXPECT_TRUE(fs::exists(out.file("Avchd.ac3")));
            EXPECT_TRUE(fs::exists(out.file("Hdv.wav")));
        }
        if (c.op == BatchOp::kExportSubtitles) {
            // One output per input that was taken, named after it.
            for (const char* name : {"Clip1.srt", "Clip2.srt", "Tape.srt", "Hdv.srt", "Hdv720.srt", "Avchd.srt"})
                EXPECT_GT(fs::file_size(out.file(name)), 0u) << name;
        }
        if (c.op == BatchOp::kSplit) {
            EXPECT_TRUE(fs::exists(out.file("Clip1 0001.avi")));
        }
        if (c.op == BatchOp::kAppendDateToName) {
            const auto& b = blocks.at(index("a2"));
            ASSERT_EQ(b.size(), 2u);
            EXPECT_EQ(b[1], "Renamed to: " + inputs.file("Clip2 11-06-15 10.30.00.avi"));
            EXPECT_TRUE(fs::exists(inputs.file("Clip2 11-06-15 10.30.00.avi")));
        }
        // In-place operations leave the log as the only file in the output folder.
        if (changesInputFiles(c.op)) {
            EXPECT_EQ(std::distance(fs::directory_iterator(out.str()), fs::directory_iterator()), 1);
        }
        EXPECT_EQ(runner.poll().overallPercent, 100);
    }
}

TEST_F(BatchRunnerTest, SecondJobWritesANewLogAndNeverReplacesOutputs) {
    TempFolder out;
    std::ofstream(out.file("Clip1-conv.avi")) << "kept";
    for (int job = 0; job < 2; ++job) {
        BatchRunner runner(settingsFor(BatchOp::kConvertAvi2, out.str()));
        runner.run({media().path("a1")});
        EXPECT_EQ(runner.failedCount(), 0);
    }
    EXPECT_TRUE(fs::exists(out.file("Batch-log.txt")));
    EXPECT_TRUE(fs::exists(out.file("Batch-log (1).txt")));
    EXPECT_EQ(testing::readText(out.file("Clip1-conv.avi")), "kept");
    EXPECT_TRUE(fs::exists(out.file("Clip1-conv (1).avi")));
    EXPECT_TRUE(fs::exists(out.file("Clip1-conv (2).avi")));
    const auto second = testing::logLines(testing::readText(out.file("Batch-log (1).txt")));
    EXPECT_EQ(second[1], "Log pathname: " + out.file("Batch-log (1).txt"));
    EXPECT_NE(std::find(second.begin(), second.end(), "Output file: " + out.file("Clip1-conv (2).avi")), second.end());
}

TEST_F(BatchRunnerTest, OverallProgressStaysBelow100UntilTheEnd) {
    TempFolder out;
    BatchRunner runner(settingsFor(BatchOp::kBurnIn, out.str()));
    ASSERT_TRUE(runner.start({media().path("a1"), media().path("a2")}));
    int highest = 0, samples = 0;
    while (runner.running()) {
        const BatchSnapshot s = runner.poll();
        if (!s.finished) {
            EXPECT_LT(s.overallPercent, 100);
            EXPECT_LE(s.filePercent, 100);
            highest = std::max(highest, s.overallPercent);
            ++samples;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    runner.wait();
    EXPECT_GT(samples, 0);
    EXPECT_EQ(runner.poll().overallPercent, 100);
    EXPECT_EQ(runner.poll().filePercent, 0);
    EXPECT_EQ(runner.totalWeight(), 100);  // two files of 50 frames
}

TEST_F(BatchRunnerTest, AbortStopsAfterTheCurrentFile) {
    TempFolder out;
    BatchRunner runner(settingsFor(BatchOp::kConvertAvi2, out.str()));
    const std::vector<std::string> files = {media().path("a1"), media().path("raw"), media().path("a2")};
    // Aborted as the first file's first line is written: short files may all finish before a watcher
    // polling from outside sees that line.
    std::atomic<bool> aborted{false};
    runner.setLineCallback([&](const std::string& l) {
        if (l.find("Processing file: ") != std::string::npos && !aborted.exchange(true)) runner.abort();
    });
    ASSERT_TRUE(runner.start(files));
    runner.wait();
    ASSERT_TRUE(aborted);
    EXPECT_TRUE(runner.aborted());
    const auto lines = testing::logLines(testing::readText(runner.logPath()));
    const auto blocks = testing::fileBlocks(lines);
    EXPECT_EQ(blocks.count(files[0]), 1u);
    EXPECT_EQ(blocks.count(files[1]), 0u);
    EXPECT_EQ(blocks.count(files[2]), 0u);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Operation ABORTED by user!");
    EXPECT_EQ(lines.back().rfind("Finished on ", 0), 0u);
    const auto outcomes = runner.outcomes();
    EXPECT_EQ(outcomes[1], FileOutcome::kPending);
    EXPECT_EQ(outcomes[2], FileOutcome::kPending);
}

TEST_F(BatchRunnerTest, SeveralFilesAtOnceLogTheSameBlocksInFileOrder) {
    auto run = [&](int jobs, TempFolder& out) {
        BatchRunner runner(settingsFor(BatchOp::kConvertRawDv, out.str(), jobs));
        std::vector<std::string> files = media().all();
        files.push_back(media().path("a1"));  // the same input twice: two outputs
        runner.run(files);
        std::vector<std::string> body;
        for (auto l : testing::logLines(testing::readText(runner.logPath()))) {
            if (l.rfind("Started on", 0) == 0 || l.rfind("Finished on", 0) == 0 || l.rfind("Log pathname", 0) == 0) continue;
            const size_t at = l.find(out.str());
            if (at != std::string::npos) l.replace(at, out.str().size(), "OUT");
            body.push_back(l);
        }
        return body;
    };
    TempFolder one, two;
    const auto serial = run(1, one);
    const auto parallel = run(3, two);
    EXPECT_EQ(serial, parallel);
    EXPECT_TRUE(fs::exists(two.file("Clip1-conv.dv")));
    EXPECT_TRUE(fs::exists(two.file("Clip1-conv (1).dv")));
    EXPECT_EQ(fs::file_size(two.file("Clip1-conv.dv")), fs::file_size(two.file("Clip1-conv (1).dv")));
}

TEST_F(BatchRunnerTest, MissingFileIsLoggedAndCountsAsFailed) {
    TempFolder out;
    BatchRunner runner(settingsFor(BatchOp::kExtractAudio, out.str()));
    const std::string gone = out.file("gone.avi");
    runner.run({gone});
    const auto blocks = testing::fileBlocks(testing::logLines(testing::readText(runner.logPath())));
    ASSERT_EQ(blocks.at(gone).size(), 1u);
    EXPECT_EQ(blocks.at(gone)[0], "ERROR: File does not exist");
    EXPECT_EQ(runner.failedCount(), 1);
}

TEST_F(BatchRunnerTest, AbortedFilesLeaveNoPartialOutputNorTemporaryFile) {
    // Abort as soon as the first file names its output: the run is cancelled while it writes.
    for (BatchOp op :
         {BatchOp::kConvertAvi1, BatchOp::kConvertAvi2, BatchOp::kConvertRawDv, BatchOp::kExtractAudio, BatchOp::kBurnIn,
          BatchOp::kModify, BatchOp::kSplit, BatchOp::kExportMetadata, BatchOp::kExportSubtitles}) {
        SCOPED_TRACE(operationEntry(op).text);
        TempFolder out;
        BatchRunner runner(settingsFor(op, out.str()));
        std::string output;
        runner.setLineCallback([&](const std::string& l) {
            if (l.rfind("Output file: ", 0) == 0 || l.rfind("Output stem: ", 0) == 0) {
                if (output.empty()) output = l.substr(13);
                runner.abort();
            }
        });
        runner.run({media().path("a1"), media().path("a2")});
        EXPECT_TRUE(runner.aborted());
        ASSERT_FALSE(output.empty());
        for (const auto& e : fs::directory_iterator(out.str()))
            EXPECT_EQ(e.path().filename().string().find(".zorv-"), std::string::npos) << e.path();
        // The file's output exists only when its run completed before the abort was seen.
        const auto outcomes = runner.outcomes();
        const FileOutcome ran = outcomes[0] == FileOutcome::kSkipped ? outcomes[1] : outcomes[0];
        if (op != BatchOp::kSplit) {
            EXPECT_EQ(fs::exists(output), ran == FileOutcome::kDone) << output;
        }
    }
}

}  // namespace
}  // namespace zorv::batch
