// Metadata export of generated HDV and AVCHD streams: twenty columns per row, the DV text forms of the
// camera items, the AVCHD date from its own tags, GPS columns only for AVCHD, and row selection by mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gen/avchd_writer.h"
#include "gen/hdv_writer.h"
#include "core/scene_sets.h"
#include "core/timecode.h"
#include "tools/stream_csv_export.h"

namespace zorv::tools {
namespace {

struct Dir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("zorv-streamcsv-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Dir() { std::filesystem::create_directories(path); }
    ~Dir() { std::filesystem::remove_all(path); }
    std::string file(const char* n) const { return (path / n).string(); }
};

using Rows = std::vector<std::vector<std::string>>;

// Splits the file into rows of fields; every line must end in CR LF.
Rows readRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    Rows rows;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos) break;
        std::vector<std::string> fields;
        std::string line = text.substr(pos, end - pos);
        size_t f = 0;
        for (;;) {
            const size_t c = line.find(',', f);
            fields.push_back(line.substr(f, c == std::string::npos ? std::string::npos : c - f));
            if (c == std::string::npos) break;
            f = c + 1;
        }
        EXPECT_EQ(fields.size(), 20u) << line;
        rows.push_back(std::move(fields));
        pos = end + 2;
    }
    return rows;
}

CsvExportSettings settingsFor(CsvExportMode mode) {
    CsvExportSettings s;
    s.mode = mode;
    return s;
}

const std::string& hdvPath() {
    static const std::string path = gen::cachedHdv("streamcsv.m2t", gen::HdvSpec{});
    return path;
}

gen::AvchdSpec trackSpec() {
    gen::AvchdSpec desc;
    desc.gps = gen::GpsMode::Track;
    return desc;
}

const std::string& avchdPath() {
    static const std::string path = gen::cachedAvchd("streamcsv.mts", trackSpec());
    return path;
}

TEST(StreamCsvExport, HdvAllPicturesCarryTheDvColumns) {
    Dir dir;
    const std::string out = dir.file("hdv.csv");
    CsvExportSettings s = settingsFor(CsvExportMode::kAllFrames);
    s.header = true;
    ASSERT_TRUE(exportStreamMetadataCsvFile(hdvPath(), out, s, false).ok());
    const Rows rows = readRows(out);
    ASSERT_EQ(rows.size(), 51u);  // header + 50 pictures
    EXPECT_EQ(rows[0][0], "Position");
    EXPECT_EQ(rows[0][15], "Latitude");
    const auto& r0 = rows[1];
    EXPECT_EQ(r0[0], "00:00:00.000");
    EXPECT_EQ(r0[1], "00:00:00:00");
    EXPECT_EQ(r0[5], "25");   // shutter 1/25
    EXPECT_EQ(r0[6], "3.1");  // iris
    EXPECT_EQ(r0[7], "ON");
    EXPECT_EQ(r0[8], "3");  // gain in dB
    EXPECT_EQ(r0[9], "AUTO");
    EXPECT_FALSE(r0[2].empty());
    EXPECT_FALSE(r0[3].empty());
    EXPECT_FALSE(r0[4].empty());
    for (int c = 15; c < 20; ++c) EXPECT_TRUE(r0[static_cast<size_t>(c)].empty()) << c;
    // Picture 25 is one second in, one second of timecode on.
    EXPECT_EQ(rows[26][0], "00:00:01.000");
    EXPECT_EQ(rows[26][1], "00:00:01:00");
}

TEST(StreamCsvExport, FrameNumbersAndUnchangedMetadata) {
    Dir dir;
    CsvExportSettings s = settingsFor(CsvExportMode::kAllFrames);
    s.progressAsFrameNumber = true;
    ASSERT_TRUE(exportStreamMetadataCsvFile(hdvPath(), dir.file("n.csv"), s, false).ok());
    const Rows rows = readRows(dir.file("n.csv"));
    ASSERT_EQ(rows.size(), 50u);
    EXPECT_EQ(rows[0][0], "0");
    EXPECT_EQ(rows[49][0], "49");

    // Continuous timecode and clock, constant camera data: only picture 0 in modes 1 and 2.
    for (CsvExportMode mode : {CsvExportMode::kAnyChange, CsvExportMode::kSceneChanges}) {
        ASSERT_TRUE(exportStreamMetadataCsvFile(hdvPath(), dir.file("c.csv"), settingsFor(mode), true).ok());
        EXPECT_EQ(readRows(dir.file("c.csv")).size(), 1u);
    }
    // An existing output is kept unless overwriting.
    EXPECT_EQ(exportStreamMetadataCsvFile(hdvPath(), dir.file("c.csv"), s, false).message,
              "The output file already exists: " + dir.file("c.csv") + " (use --overwrite)");
}

TEST(StreamCsvExport, AvchdDateFromItsOwnTagsAndGps) {
    Dir dir;
    const std::string out = dir.file("avchd.csv");
    ASSERT_TRUE(exportStreamMetadataCsvFile(avchdPath(), out, settingsFor(CsvExportMode::kAllFrames), false).ok());
    const Rows rows = readRows(out);
    ASSERT_EQ(rows.size(), 50u);
    EXPECT_EQ(rows[0][3], "31/12/2008");
    EXPECT_EQ(rows[0][4], "23:16:24");
    EXPECT_EQ(rows[25][4], "23:16:25");
    EXPECT_EQ(rows[0][6], "3.1");
    for (int c = 15; c < 20; ++c) EXPECT_FALSE(rows[0][static_cast<size_t>(c)].empty()) << c;
    // Latitude and longitude are plain signed decimal degrees.
    EXPECT_NO_THROW(std::stod(rows[0][15]));
    EXPECT_EQ(rows[0][15].find_first_not_of("-0123456789."), std::string::npos) << rows[0][15];
    EXPECT_EQ(rows[0][16].find_first_not_of("-0123456789."), std::string::npos) << rows[0][16];
    // The track moves: the position differs between seconds.
    EXPECT_NE(rows[0][15] + rows[0][16], rows[49][15] + rows[49][16]);
}

TEST(StreamCsvExport, AvchdModeOneIgnoresGpsAndRejectsDv) {
    Dir dir;
    ASSERT_TRUE(
        exportStreamMetadataCsvFile(avchdPath(), dir.file("a.csv"), settingsFor(CsvExportMode::kAnyChange), false).ok());
    EXPECT_EQ(readRows(dir.file("a.csv")).size(), 1u);
    EXPECT_FALSE(isStreamExportType(media::FileType::kAviType1));
    EXPECT_TRUE(isStreamExportType(media::FileType::kHdv1));
}

TEST(StreamCsvExport, ChangeBitsFromConsecutivePictures) {
    StreamPicture a, b;
    a.values.timecodeStyle = b.values.timecodeStyle = 2;
    a.timecodeFrames = 100;
    b.timecodeFrames = 101;
    a.values.recValid = b.values.recValid = true;
    a.values.recSeconds = 1000;
    b.values.recSeconds = 1001;
    EXPECT_EQ(streamChangeBits(a, b), 0u);
    b.timecodeFrames = 150;
    b.values.recSeconds = 5000;
    b.values.iris = 5;
    EXPECT_EQ(streamChangeBits(a, b), core::kTriggerTimecode | core::kTriggerDateTime | core::kTriggerIris);
    // Timecode wrapping at midnight is continuous.
    a.timecodeFrames = core::framesPerDay(2) - 1;
    b.timecodeFrames = 0;
    b.values = a.values;
    EXPECT_EQ(streamChangeBits(a, b), 0u);
}

}  // namespace
}  // namespace zorv::tools
