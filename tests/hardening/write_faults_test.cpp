// Failing disks and vanishing inputs under the file tools: a full disk (writes past a file-size limit
// fail with EFBIG, as ENOSPC would), an input truncated or unlinked while a tool reads it. No tool may
// report success after a failed write; tools that write a new file leave their input untouched;
// tools that change their input say how far they got.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "gen/avchd_writer.h"
#include "gen/clip_writer.h"
#include "gen/hdv_writer.h"
#include "limited_run.h"

namespace zorv::hardening {
namespace {

namespace fs = std::filesystem;

class WriteFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::string(fs::temp_directory_path() / ("zorv-faults-" + std::to_string(getpid())));
        fs::create_directories(*dir_);
        gen::ClipSpec clip = gen::palClip(40);
        clip.audio.tone = true;
        ASSERT_TRUE(gen::writeClip(clip, good("dv.avi"), gen::Container::Avi2));
        ASSERT_TRUE(gen::writeClip(gen::palClip(40), good("dv.dv"), gen::Container::RawDv));
        gen::HdvSpec hdv;
        hdv.frames = 40;
        hdv.uniquePictures = 12;
        ASSERT_TRUE(gen::writeHdv(hdv, good("hdv.m2t")));
        gen::AvchdSpec avchd;
        avchd.frames = 40;
        ASSERT_TRUE(gen::writeAvchd(avchd, good("avchd.m2ts")));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*dir_, ec);
        delete dir_;
    }
    static std::string good(const std::string& name) { return (fs::path(*dir_) / name).string(); }

    void SetUp() override {
        work_ = (fs::path(*dir_) / ::testing::UnitTest::GetInstance()->current_test_info()->name()).string();
        fs::create_directories(work_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(work_, ec);
    }
    // A private copy of a good file.
    std::string copy(const std::string& name) {
        const std::string to = (fs::path(work_) / ("in-" + name)).string();
        fs::copy_file(good(name), to, fs::copy_options::overwrite_existing);
        return to;
    }
    std::string out(const std::string& name) const { return (fs::path(work_) / name).string(); }

    static Outcome zorv(std::vector<std::string> args, const Limits& limits = {}, const std::function<bool()>& tick = {}) {
        args.insert(args.begin(), ZORV_CLI_PATH);
        return runLimited(args, limits, tick);
    }

    static std::string* dir_;
    std::string work_;
};
std::string* WriteFaults::dir_ = nullptr;

Limits diskFullAt(int64_t bytes) {
    Limits l;
    l.fileSize = bytes;
    return l;
}

// A tool that writes a new file, on a disk that fills up after `room` bytes.
struct FullDiskCase {
    const char* input;
    std::vector<std::string> args;  // {IN} and {OUT} replaced
    int64_t room;
    const char* message;  // the tool's own text for the failure
};

TEST_F(WriteFaults, OutputFileToolsOnAFullDiskFailWithTheirMessageAndKeepTheInput) {
    const std::vector<FullDiskCase> cases = {
        {"dv.avi",
         {"modify", "{IN}", "-o", "{OUT}.avi", "--timecode-start", "01:00:00:00"},
         1000000,
         "Failed writing to output file"},
        {"dv.avi",
         {"convert", "--to", "dv", "{IN}", "-o", "{OUT}.dv"},
         1000000,
         "Failed while converting AVI to Raw DV file"},
        {"dv.avi", {"convert", "--to", "avi1", "{IN}", "-o", "{OUT}.avi"}, 1000000, "Failed while converting AVI file"},
        {"dv.dv",
         {"convert", "--to", "avi2", "{IN}", "-o", "{OUT}.avi"},
         1000000,
         "Failed while converting Raw DV to AVI file"},
        {"dv.avi", {"split", "{IN}", "--out", "{OUT}"}, 1000000, "Failed while writing output file"},
        {"dv.avi", {"extract-audio", "{IN}", "-o", "{OUT}.wav"}, 20000, "Failed while extracting audio"},
        {"dv.avi", {"export", "{IN}", "--header", "--mode", "all", "-o", "{OUT}.csv"}, 300, "Failed to export metadata"},
        {"dv.avi", {"subtitles", "{IN}", "-o", "{OUT}.srt"}, 300, "Failed to export subtitles"},
        {"dv.avi", {"burn", "{IN}", "-o", "{OUT}.avi"}, 1000000, "Failed while burning-in AVI file"},
        {"hdv.m2t", {"burn", "{IN}", "-o", "{OUT}.avi"}, 1000000, "Failed while burning-in M2T file"},
        {"avchd.m2ts", {"burn", "{IN}", "-o", "{OUT}.avi"}, 1000000, "Failed while burning-in MTS/M2TS file"},
        {"hdv.m2t", {"extract-audio", "{IN}", "-o", "{OUT}.wav"}, 20000, "Failed while extracting audio"},
        {"avchd.m2ts", {"extract-audio", "{IN}", "-o", "{OUT}.ac3"}, 2000, ""},
        {"hdv.m2t", {"export", "{IN}", "--header", "--mode", "all", "-o", "{OUT}.csv"}, 300, "Failed to export metadata"},
        {"avchd.m2ts", {"gpx", "{IN}", "-o", "{OUT}.gpx"}, 300, ""},
    };
    for (const auto& c : cases) {
        const std::string in = copy(c.input);
        const std::string before = fileBytes(in);
        std::vector<std::string> args;
        std::string line;
        for (std::string a : c.args) {
            if (a == "{IN}") a = in;
            if (a.rfind("{OUT}", 0) == 0) a = out("out" + std::to_string(&c - cases.data())) + a.substr(5);
            line += a + " ";
            args.push_back(a);
        }
        SCOPED_TRACE(line + "with room for " + std::to_string(c.room) + " bytes");
        if (args[0] == "split") fs::create_directories(args[3]);
        const Outcome o = zorv(args, diskFullAt(c.room));
        EXPECT_TRUE(o.cleanFailure()) << describe(o);
        EXPECT_NE(o.output.find(c.message), std::string::npos) << describe(o);
        EXPECT_EQ(fileBytes(in), before) << "the input changed";
    }
}

// The numbers a progress or failure line gives ("frame 12", "12 of 40", ...).
bool mentionsAFrameCount(const std::string& text) {
    return std::regex_search(text, std::regex("[0-9]+ (of|frames?)|frames? [0-9]+"));
}

TEST_F(WriteFaults, DirectModeToolsOnAFullDiskSayHowFarTheyGot) {
    // Frames past the first megabyte of the file cannot be rewritten.
    {
        const std::string in = copy("dv.avi");
        const Outcome o =
            zorv({"modify", in, "--in-place", "--yes", "--timecode-start", "01:00:00:00"}, diskFullAt(1000000));
        EXPECT_TRUE(o.cleanFailure()) << describe(o);
        EXPECT_NE(o.output.find("Failed writing to output file"), std::string::npos) << describe(o);
        EXPECT_TRUE(mentionsAFrameCount(o.output)) << describe(o);
    }
    {
        const std::string in = copy("dv.avi");
        const Outcome o = zorv({"burn", in, "--in-place", "--yes"}, diskFullAt(1000000));
        EXPECT_TRUE(o.cleanFailure()) << describe(o);
        EXPECT_NE(o.output.find("Failed while burning-in AVI file"), std::string::npos) << describe(o);
        EXPECT_TRUE(mentionsAFrameCount(o.output)) << describe(o);
    }
    for (int64_t extra : {0, 100}) {
        // A file without a Premiere list gets one appended: the disk fills before it (0) or inside it
        // (100 bytes). Either way the file keeps its old bytes and length, with no list past its end.
        const std::string in = copy("dv.avi");
        const std::string before = fileBytes(in);
        const Outcome o = zorv({"fix-premiere", in}, diskFullAt(static_cast<int64_t>(before.size()) + extra));
        EXPECT_TRUE(o.cleanFailure()) << describe(o);
        EXPECT_NE(o.output.find("Failed to write input file"), std::string::npos) << describe(o);
        EXPECT_TRUE(fileBytes(in) == before) << "room " << extra;
    }
}

// True once a tool has written the first bytes of `output`: under its final name, or under the
// temporary name (".NAME.zorv-XXXXXX" beside it) that it has until the run succeeds.
bool writingTo(const std::string& output) {
    std::error_code ec;
    if (fs::exists(output, ec) && fs::file_size(output, ec) > 0) return true;
    const fs::path path(output);
    const std::string prefix = "." + path.filename().string() + ".zorv-";
    for (const auto& entry : fs::directory_iterator(path.parent_path(), ec)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0 && entry.file_size(ec) > 0) return true;
    }
    return false;
}

// Names in dir of temporary outputs and split files.
std::string leftOutputs(const std::string& dir) {
    std::string names;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.find(".zorv-") != std::string::npos || name.find(" 00.") != std::string::npos) names += name + " ";
    }
    return names;
}

// Runs a tool and truncates its input to `keep` bytes once it is under way (paused while it happens).
// writing: the cut came after the tool had begun writing watchOutput (not on the 30 ms timer).
Outcome truncateWhileRunning(std::vector<std::string> args, const std::string& input, int64_t keep,
                             const std::string& watchOutput, bool& truncatedInTime, bool& writing) {
    args.insert(args.begin(), ZORV_CLI_PATH);
    truncatedInTime = writing = false;
    auto started = std::chrono::steady_clock::now();
    return runLimited(args, {}, [&] {
        std::error_code ec;
        writing = !watchOutput.empty() && writingTo(watchOutput);
        const bool late = std::chrono::steady_clock::now() - started > std::chrono::milliseconds(30);
        if (!writing && !late) return false;
        truncatedInTime = ::truncate(input.c_str(), keep) == 0;
        return true;
    });
}

TEST_F(WriteFaults, AnInputCutShortWhileAToolReadsItIsAFailureNotACrash) {
    struct Case {
        std::vector<std::string> args;
        const char* output;  // file whose first bytes mark the tool under way ("" for reading tools)
        bool mustFail;       // a cut after the first output bytes cannot end in success
    };
    // Split writes "in 00.00.00.00.avi" into the folder of {OUT}.
    const std::vector<Case> cases = {
        {{"convert", "--to", "dv", "{IN}", "-o", "{OUT}"}, "{OUT}", true},
        {{"convert", "--to", "avi1", "{IN}", "-o", "{OUT}"}, "{OUT}", true},
        {{"modify", "{IN}", "-o", "{OUT}", "--timecode-start", "01:00:00:00"}, "{OUT}", true},
        {{"modify", "{IN}", "--in-place", "--yes", "--timecode-start", "01:00:00:00"}, "", false},
        {{"extract-audio", "{IN}", "-o", "{OUT}"}, "{OUT}", true},
        {{"burn", "{IN}", "-o", "{OUT}"}, "{OUT}", true},
        {{"split", "{IN}", "--out", "{DIR}"}, "{DIR}/in 00.00.00.00.avi", true},
        {{"scenes", "{IN}"}, "", false},
        {{"export", "{IN}", "-o", "{OUT}"}, "", false},
    };
    // A larger clip so that the tools are still reading when the cut comes.
    const std::string big = out("big.avi");
    gen::ClipSpec clip = gen::palClip(1500);
    clip.audio.tone = true;
    ASSERT_TRUE(gen::writeClip(clip, big, gen::Container::Avi2));
    for (const auto& c : cases) {
        const std::string in = out("in.avi");
        fs::copy_file(big, in, fs::copy_options::overwrite_existing);
        const std::string dir = out("split");
        const std::string o = out("out.bin");
        fs::remove(o);
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto fill = [&](std::string a) {
            if (a == "{IN}") return in;
            if (a == "{OUT}") return o;
            return a.rfind("{DIR}", 0) == 0 ? dir + a.substr(5) : a;
        };
        std::vector<std::string> args;
        for (const std::string& a : c.args) args.push_back(fill(a));
        const std::string watched = *c.output ? fill(c.output) : "";
        SCOPED_TRACE(args[0] + " " + args[1]);
        bool cut = false, writing = false;
        const Outcome r = truncateWhileRunning(args, in, 3 * 144000 + 5000, watched, cut, writing);
        EXPECT_FALSE(r.timedOut) << describe(r);
        EXPECT_FALSE(r.crashed()) << describe(r);
        if (r.exitStatus != 0) {
            EXPECT_NE(r.output.find("zorv"), std::string::npos) << describe(r);
        }
        // Once a tool has started writing, a cut input cannot give a complete output: the run says
        // how far it got and leaves no output, not even a temporary one.
        if (cut && c.mustFail) {
            EXPECT_NE(r.exitStatus, 0) << describe(r);
        }
        if (cut && writing && c.mustFail) {
            EXPECT_TRUE(std::regex_search(r.output, std::regex("Stopped after [0-9]+ of 1500 frames: the next one "
                                                               "could not be read whole")))
                << describe(r);
        }
        if (r.exitStatus != 0 && *c.output) {
            EXPECT_FALSE(fs::exists(watched)) << describe(r);
            EXPECT_EQ(leftOutputs(work_) + leftOutputs(dir), "") << describe(r);
        }
    }
}

TEST_F(WriteFaults, AnInputUnlinkedWhileAToolReadsItStillConvertsWhole) {
    // The open descriptor keeps the data: the conversion completes with every frame.
    const std::string in = copy("dv.avi");
    const std::string o = out("out.dv");
    bool gone = false;
    const Outcome r = runLimited({ZORV_CLI_PATH, "convert", "--to", "dv", in, "-o", o}, {}, [&] {
        std::error_code ec;
        if (!fs::exists(o, ec)) return false;
        gone = ::unlink(in.c_str()) == 0;
        return true;
    });
    EXPECT_EQ(r.exitStatus, 0) << describe(r);
    if (gone) {
        EXPECT_EQ(fs::file_size(o), 40u * 144000u);
    }
}

}  // namespace
}  // namespace zorv::hardening
