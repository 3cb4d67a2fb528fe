// zorv capture and zorv devices: a capture from a simulated deck playing the generator's sample tape
// (two recordings) gives two files with log and batch list; refused arguments give the system's
// messages.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli_run.h"

namespace zorv::testing {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CaptureCli, SimulatedDeckCapturesOneFilePerRecording) {
    TempDir dir;
    const std::string tape = dir.file("tape.avi");
    ASSERT_EQ(runGen("sample " + quote(tape)).status, 0);
    const std::string base = dir.file("Cap");
    RunResult r = runZorv("capture --device " + quote("sim:" + tape) + " --out " + quote(base) +
                          " --fast --stop-after-idle 1 --name timecode --reel R1 --type avi1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Cap 00.00.00.00.avi\t125 frames\treel R1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Cap 00.10.00.00.avi\t125 frames\treel R1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Dropped frames: 0"), std::string::npos) << r.out;
    EXPECT_EQ(slurp(base + ".csv"),
              "\"Cap 00.00.00.00.avi\",\"00:00:00:00\",\"00:00:04:24\",125,\"R1\"\r\n"
              "\"Cap 00.10.00.00.avi\",\"00:10:00:00\",\"00:10:04:24\",125,\"R1\"\r\n");
    RunResult info = runZorv("info " + quote(base + " 00.10.00.00.avi"));
    EXPECT_NE(info.out.find("AVI Type 1"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("00:10:00:00"), std::string::npos) << info.out;  // Premiere timecode
}

TEST(CaptureCli, DurationStopAndRefusals) {
    TempDir dir;
    const std::string tape = dir.file("tape.avi");
    ASSERT_EQ(runGen("sample " + quote(tape)).status, 0);
    RunResult r = runZorv("capture --device " + quote("sim:" + tape) + " --out " + quote(dir.file("D")) +
                          " --fast --duration 00:00:01");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("D 0001.avi\t25 frames"), std::string::npos) << r.out;

    r = runZorv("capture --device " + quote("sim:" + tape) + " --out x --duration 00:00:00");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Duration must be greater than 00:00:00"), std::string::npos) << r.out;
    r = runZorv("capture --device " + quote("sim:" + tape) + " --out x --stop-after-idle 100");
    EXPECT_EQ(r.status, 2);
    r = runZorv("capture --device " + quote("sim:" + dir.file("none.avi")) + " --out x");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Unable to build the capture graph."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Could not find Capture Device"), std::string::npos) << r.out;
    r = runZorv("capture --device " + quote("sim:" + tape) + " --out ''");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("A Capture file pathname is required"), std::string::npos) << r.out;
    EXPECT_EQ(runZorv("devices").status, 0);
}

}  // namespace
}  // namespace zorv::testing
