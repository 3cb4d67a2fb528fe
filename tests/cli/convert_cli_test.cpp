// zorv convert and zorv extract-audio on generated files: default output names, the existing-output
// rule (refusal off a terminal, the question on one, --overwrite), failure texts and exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/cli_run.h"
#include "gen/file_bytes.h"

using zorv::testing::quote;
using zorv::testing::runCommand;
using zorv::testing::runGen;
using zorv::testing::runZorv;
using zorv::testing::TempDir;

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path) { return zorv::gen::fileBytes(path); }

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// Runs zorv with stdin that is not a terminal (as in a script or a pipe).
zorv::testing::RunResult runZorvScripted(const std::string& args) { return runZorv(args + " </dev/null"); }

// Runs zorv on a pseudo-terminal, typing `answer` and Return.
zorv::testing::RunResult runZorvOnTerminal(const std::string& args, const std::string& answer) {
    std::string cmd = std::string(ZORV_CLI_PATH) + " " + args;
    return runCommand("printf '" + answer + "\\n' | script -qec " + quote(cmd) + " /dev/null");
}

bool haveScript() { return runCommand("command -v script >/dev/null").status == 0; }

}  // namespace

TEST(CliConvert, OutputsAreNamedAfterTheInput) {
    TempDir tmp;
    std::string in = tmp.file("holiday.avi");
    ASSERT_EQ(runGen("clip " + quote(in) + " --frames 12 --container avi2").status, 0);

    auto r = runZorvScripted("convert --to avi1 " + quote(in));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "Conversion complete.")) << r.out;
    EXPECT_TRUE(fs::exists(tmp.file("holiday-conv.avi")));

    r = runZorvScripted("convert --to dv " + quote(tmp.file("holiday-conv.avi")));
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_TRUE(fs::exists(tmp.file("holiday-conv-conv.dv")));
    EXPECT_EQ(fs::file_size(tmp.file("holiday-conv-conv.dv")), 12u * 144000u);

    r = runZorvScripted("convert --to avi2 " + quote(tmp.file("holiday-conv-conv.dv")));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(tmp.file("holiday-conv-conv-conv.avi")));

    r = runZorvScripted("extract-audio " + quote(in));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "Audio extraction complete.")) << r.out;
    ASSERT_TRUE(fs::exists(tmp.file("holiday.wav")));
    EXPECT_EQ(slurp(tmp.file("holiday.wav")).substr(0, 4), "RIFF");
    // 12 PAL frames of 48 kHz stereo 16-bit audio after the 44-byte header.
    EXPECT_EQ(fs::file_size(tmp.file("holiday.wav")), 44u + 12u * 1920u * 4u);

    // A dotted folder and a name without extension.
    fs::create_directories(tmp.path() / "a.b");
    std::string bare = (tmp.path() / "a.b" / "tape").string();
    ASSERT_EQ(runGen("clip " + quote(bare) + " --frames 3 --container rawdv --system ntsc").status, 0);
    r = runZorvScripted("convert --to avi1 " + quote(bare));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(tmp.path() / "a.b" / "tape-conv.avi"));
    r = runZorvScripted("extract-audio " + quote(bare));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(tmp.path() / "a.b" / "tape.wav"));

    // -o names the output exactly.
    std::string named = tmp.file("other name.dv");
    r = runZorvScripted("convert --to dv -o " + quote(named) + " " + quote(in));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(fs::file_size(named), 12u * 144000u);
    std::string wav = tmp.file("sound.wav");
    r = runZorvScripted("extract-audio --output " + quote(wav) + " " + quote(bare));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(wav));
}

TEST(CliConvert, ExistingOutputIsKeptUnlessOverwriteIsGiven) {
    TempDir tmp;
    std::string in = tmp.file("clip.avi");
    ASSERT_EQ(runGen("clip " + quote(in) + " --frames 5").status, 0);
    std::string out = tmp.file("clip-conv.dv"), wav = tmp.file("clip.wav");
    std::ofstream(out) << "keep me";
    std::ofstream(wav) << "keep me too";

    // Off a terminal nothing is asked: the command refuses and names the file.
    auto r = runZorvScripted("convert --to dv " + quote(in));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: The output file already exists: " + out + " (use --overwrite)")) << r.out;
    EXPECT_FALSE(contains(r.out, "Conversion complete.")) << r.out;
    EXPECT_EQ(slurp(out), "keep me");
    r = runZorvScripted("extract-audio " + quote(in));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "The output file already exists: " + wav)) << r.out;
    EXPECT_EQ(slurp(wav), "keep me too");

    r = runZorvScripted("convert --to dv --overwrite " + quote(in));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(fs::file_size(out), 5u * 144000u);
    r = runZorvScripted("extract-audio " + quote(in) + " --overwrite");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(slurp(wav).substr(0, 4), "RIFF");
}

TEST(CliConvert, OnATerminalTheUserIsAsked) {
    if (!haveScript()) GTEST_SKIP() << "script(1) not installed";
    TempDir tmp;
    std::string in = tmp.file("clip.dv");
    ASSERT_EQ(runGen("clip " + quote(in) + " --frames 4 --container rawdv").status, 0);
    std::string out = tmp.file("clip-conv.avi");
    std::ofstream(out) << "old";

    auto r = runZorvOnTerminal("convert --to avi2 " + quote(in), "n");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "The output file already exists")) << r.out;
    EXPECT_TRUE(contains(r.out, "Do you wish to overwrite it ?")) << r.out;
    EXPECT_EQ(slurp(out), "old");

    // Return alone keeps the default, No.
    r = runZorvOnTerminal("convert --to avi2 " + quote(in), "");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(slurp(out), "old");

    r = runZorvOnTerminal("convert --to avi2 " + quote(in), "y");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "Conversion complete.")) << r.out;
    EXPECT_EQ(slurp(out).substr(0, 4), "RIFF");
}

TEST(CliConvert, FailuresPrintTheSystemTextAndExitNonZero) {
    TempDir tmp;
    std::string raw = tmp.file("r.dv");
    ASSERT_EQ(runGen("clip " + quote(raw) + " --frames 3 --container rawdv").status, 0);

    // Raw DV is already Raw DV.
    auto r = runZorvScripted("convert --to dv " + quote(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: Illegal DV AVI file type")) << r.out;
    EXPECT_FALSE(fs::exists(tmp.file("r-conv.dv")));

    // Usage errors exit with 2.
    EXPECT_EQ(runZorvScripted("convert --to avi3 " + quote(raw)).status, 2);
    EXPECT_EQ(runZorvScripted("convert " + quote(raw)).status, 2);
    EXPECT_EQ(runZorvScripted("convert --to avi1").status, 2);
    EXPECT_EQ(runZorvScripted("convert --to avi1 " + quote(raw) + " " + quote(raw)).status, 2);
    EXPECT_EQ(runZorvScripted("extract-audio").status, 2);
    EXPECT_EQ(runZorvScripted("extract-audio --bogus " + quote(raw)).status, 2);
    r = runZorvScripted("convert --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "-conv.avi")) << r.out;

    // Files that are missing or not DV.
    r = runZorvScripted("convert --to avi1 " + quote(tmp.file("missing.avi")));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: Could not add source filter")) << r.out;
    EXPECT_FALSE(fs::exists(tmp.file("missing-conv.avi")));
    std::string junk = tmp.file("junk.avi");
    std::ofstream(junk) << std::string(300000, 'j');
    r = runZorvScripted("extract-audio " + quote(junk));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format")) << r.out;
    EXPECT_FALSE(fs::exists(tmp.file("junk.wav")));

    // A recording without sound.
    std::string mute = tmp.file("mute.avi");
    ASSERT_EQ(runGen("clip " + quote(mute) + " --frames 3 --audio none").status, 0);
    r = runZorvScripted("extract-audio " + quote(mute));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: The source file does not have an audio stream")) << r.out;
    EXPECT_FALSE(fs::exists(tmp.file("mute.wav")));

    // An output folder that does not exist.
    r = runZorvScripted("convert --to avi1 -o " + quote(tmp.file("no/such/dir/x.avi")) + " " + quote(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: The output folder does not exist: " + tmp.file("no/such/dir") + "\n")) << r.out;
    std::string avi = tmp.file("a.avi");
    ASSERT_EQ(runGen("clip " + quote(avi) + " --frames 3").status, 0);
    r = runZorvScripted("convert --to dv -o " + quote(tmp.file("no/such/dir/x.dv")) + " " + quote(avi));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "zorv: The output folder does not exist: " + tmp.file("no/such/dir") + "\n")) << r.out;
}
