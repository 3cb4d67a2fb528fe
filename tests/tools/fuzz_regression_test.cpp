// Inputs the fuzz targets found to misbehave, kept as bytes and fed the way the target feeds them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/dv_decode.h"
#include "core/metadata_record.h"
#include "core/metadata_text.h"
#include "tools/csv_export.h"

namespace zorv::tools {
namespace {

// The CSV row's fields (the row ends with CR LF).
std::vector<std::string> fields(const char* row, size_t len) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i + 2 < len; ++i) {
        if (row[i] == ',') out.emplace_back();
        else out.back() += row[i];
    }
    return out;
}

// fuzz_export_row: a shutter pack (0x7F) whose code is 0 made the exposure-time division produce
// infinity, converted to an integer (undefined; garbage in the shutter column).
TEST(FuzzRegression, ShutterCodeZeroExportsAsZero) {
    static const uint8_t kInput[] = {
        0x01, 0x02, 0x22, 0x10, 0x00, 0x02, 0x22, 0x10, 0x00, 0x00,  // settings and frame number
        0x15, 0x06, 0x11, 0x63, 0xbf, 0x31, 0x00, 0x10, 0x45, 0x70, 0x20, 0xff, 0xff, 0x71, 0xff,
        0x7f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0xff, 0xff, 0x71, 0xff, 0x7f, 0x0f};
    core::MetadataRecord rec;
    for (size_t i = 10; i + 5 <= sizeof kInput; i += 5) std::memcpy(rec.packs[kInput[i]].data(), kInput + i, 5);
    core::DecodedValues v;
    core::decodeRecord(rec, v);
    ASSERT_EQ(v.shutter, 0);

    for (double linePeriod : {6.4e-05, 6.3492e-05}) {
        CsvExportSettings s;
        s.mode = CsvExportMode::kAnyChange;
        CsvRowFormatter csv(s, linePeriod);
        const size_t len = csv.format(1, rec, v);
        const auto f = fields(csv.data(), len);
        ASSERT_EQ(f.size(), 15u) << std::string(csv.data(), len);
        EXPECT_EQ(f[5], "0");
    }
    // The window's shutter text and the bare computation agree, and a frame of unknown line period
    // gives 0 rather than dividing by zero.
    EXPECT_EQ(core::shutterDenominator(0, 2, 6.4e-05), 0);
    EXPECT_EQ(core::shutterDenominator(50, 2, 0.0), 0);
    EXPECT_GT(core::shutterDenominator(50, 2, 6.4e-05), 0);
}

}  // namespace
}  // namespace zorv::tools
