// Every file tool on every damaged file: never a crash, a hang or a runaway allocation; a failure says
// why; tools that write a new file leave their input as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "corpus_cache.h"
#include "gen/broken_corpus.h"
#include "limited_run.h"
#include "tool_table.h"

namespace zorv::hardening {
namespace {

namespace fs = std::filesystem;

class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (fs::temp_directory_path() / "zorv-hardening-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string path(const std::string& name = {}) const { return name.empty() ? path_.string() : (path_ / name).string(); }

private:
    fs::path path_;
};

// Runs one tool on a private copy of a corpus file.
struct ToolOnFile {
    Outcome outcome;
    bool inputUnchanged = true;
};

ToolOnFile runTool(const ToolRun& tool, const std::string& corpusName) {
    ScratchDir scratch;
    const std::string in = scratch.path("in-" + corpusName);
    fs::copy_file(corpusFile(corpusName), in);
    const std::string before = fileBytes(in);
    fs::create_directory(scratch.path("out"));
    std::vector<std::string> args{ZORV_CLI_PATH};
    for (auto& a : tool.args(in, scratch.path("out"))) args.push_back(a);
    ToolOnFile r;
    r.outcome = runLimited(args);
    r.inputUnchanged = fs::exists(in) && fileBytes(in) == before;
    return r;
}

class DamagedFiles : public ::testing::TestWithParam<size_t> {};

TEST_P(DamagedFiles, EndCleanlyWithAReason) {
    const ToolRun& tool = toolRuns()[GetParam()];
    ASSERT_TRUE(fs::exists(corpusFile(gen::brokenCorpus().front().name))) << "corpus not written";
    for (const auto& file : gen::brokenCorpus()) {
        SCOPED_TRACE(tool.name + " on " + file.name + " (" + file.damage + ")");
        const ToolOnFile r = runTool(tool, file.name);
        const Outcome& o = r.outcome;
        EXPECT_FALSE(o.timedOut) << describe(o);
        EXPECT_FALSE(o.crashed()) << describe(o);
        if (o.exitStatus != 0) {
            EXPECT_NE(o.output.find("zorv"), std::string::npos) << "a failure without a message: " << describe(o);
            EXPECT_EQ(o.output.find("usage:"), std::string::npos) << "arguments refused: " << describe(o);
        }
        if (!tool.changesInput) {
            EXPECT_TRUE(r.inputUnchanged) << describe(o);
        }
    }
}

// The texts a user gets for some kinds of damage, and what a tolerant reader makes of the rest.
TEST(DamagedFileMessages, NameTheFailureInTheSystemsOwnWords) {
    struct Case {
        const char* file;
        std::vector<std::string> args;  // "@" is the file
        int status;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"avi_cut_riff_header.avi", {"info", "@"}, 1, "Unable to read the requested file"},
        {"avi_cut_mid_hdrl.avi", {"scenes", "@"}, 1, "Unable to read the requested file"},
        {"rawdv_under_one_frame.dv", {"info", "@"}, 1,
         "File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format"},
        {"odml_super_index_loop.avi", {"info", "@"}, 1, "Unable to index the AVI file"},
        {"odml_super_index_past_end.avi", {"modify", "@", "-o", "@.out.avi", "--timecode-start", "01:00:00:00"}, 1,
         "Failed to index input file"},
        {"rawdv_one_frame_and_a_byte.dv", {"frame", "@", "1"}, 1, "frame 1 is past the end: the file has 1 frames"},
        {"avi_idx1_past_end.avi", {"export", "@", "-o", "@.csv"}, 1, "zorv: Failed to read file"},
        {"avi_cut_mid_frame.avi", {"burn", "@", "-o", "@.burn.avi"}, 1, "Could not read file - /"},
        // A partial last frame is no frame; the whole ones read.
        {"rawdv_partial_last_frame.dv", {"info", "@"}, 0, "Frames:      2 (2 with data)"},
        // The legacy index is trusted for positions, however odd.
        {"avi_idx1_overlap.avi", {"info", "@"}, 0, "Frames:      2 (2 with data)"},
    };
    ScratchDir scratch;
    for (const auto& c : cases) {
        const std::string in = scratch.path(c.file);
        fs::copy_file(corpusFile(c.file), in, fs::copy_options::overwrite_existing);
        std::vector<std::string> args{ZORV_CLI_PATH};
        for (const auto& a : c.args) args.push_back(a[0] == '@' ? in + a.substr(1) : a);
        SCOPED_TRACE(std::string(c.file) + " " + c.args[0]);
        const Outcome o = runLimited(args);
        EXPECT_EQ(o.exitStatus, c.status) << describe(o);
        EXPECT_NE(o.output.find(c.text), std::string::npos) << describe(o);
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, DamagedFiles, ::testing::Range<size_t>(0, toolRuns().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string n = toolRuns()[info.param].name;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
}  // namespace zorv::hardening
