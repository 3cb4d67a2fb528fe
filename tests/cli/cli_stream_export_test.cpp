// zorv export on generated HDV and AVCHD files: the default output name, the twenty fields and the
// change mode.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli_run.h"

namespace zorv::testing {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int lines(const std::string& text) {
    int n = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

TEST(StreamExportCli, HdvAndAvchdRows) {
    TempDir dir;
    const std::string hdv = dir.file("clip.m2t"), avchd = dir.file("00001.MTS");
    ASSERT_EQ(runGen("hdv " + quote(hdv)).status, 0);
    ASSERT_EQ(runGen("avchd " + quote(avchd) + " --frames 120 --size 640x352 --gps-track").status, 0);

    RunResult r = runZorv("export " + quote(hdv) + " --mode all --header");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string hdvCsv = slurp(dir.file("clip.csv"));
    EXPECT_EQ(lines(hdvCsv), 51);
    EXPECT_EQ(hdvCsv.rfind("Position,Timecode,", 0), 0u);
    EXPECT_NE(hdvCsv.find("\r\n00:00:00.000,00:00:00:00,"), std::string::npos);

    const std::string out = dir.file("gps.csv");
    r = runZorv("export " + quote(avchd) + " --mode changes --frame-numbers -o " + quote(out));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string row = slurp(out);
    ASSERT_EQ(lines(row), 1);
    EXPECT_EQ(row.rfind("0,", 0), 0u);
    EXPECT_NE(row.find(",31/12/2008,23:16:24,"), std::string::npos) << row;
    size_t commas = 0;
    for (char c : row) commas += c == ',';
    EXPECT_EQ(commas, 19u);
}

}  // namespace
}  // namespace zorv::testing
