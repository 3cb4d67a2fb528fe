// Every file tool on every damaged file: never a crash, a hang or a runaway allocation; a failure says
// why; tools that write a new file leave their input as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "corpus_cache.h"
#include "gen/broken_corpus.h"
#include "limited_run.h"
#include "success_check.h"
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

// Under the sanitizers the runs are judged for memory faults, hangs and kept inputs only: the optimised
// build runs the same cases and judges their outputs, and the readers would cost as much again as the
// tools themselves.
constexpr bool kJudgeOutputs = !kAsan;

// Runs one tool on a private copy of a corpus file; a run that reports success is judged by the
// independent readers.
struct ToolOnFile {
    Outcome outcome;
    bool inputUnchanged = true;
    std::string wrongSuccess;  // what the readers find wrong with a success
};

ToolOnFile runTool(const ToolRun& tool, const gen::BrokenFile& file) {
    const std::string& corpusName = file.name;
    ScratchDir scratch;
    ToolOnFile r;
    const std::string in = scratch.path("in-" + corpusName);
    fs::copy_file(corpusFile(corpusName), in);
    const std::string before = fileBytes(in);
    fs::create_directory(scratch.path("out"));
    std::vector<std::string> args{ZORV_CLI_PATH};
    for (auto& a : tool.args(in, scratch.path("out"))) args.push_back(a);
    r.outcome = runLimited(args);
    r.inputUnchanged = fs::exists(in) && fileBytes(in) == before;
    if (r.outcome.exitStatus == 0 && kJudgeOutputs)
        r.wrongSuccess = checkSuccess(tool.name, corpusFile(file.base), corpusFile(corpusName), in, scratch.path("out"));
    // The report names no scratch folder.
    for (size_t at; (at = r.outcome.output.find(scratch.path())) != std::string::npos;)
        r.outcome.output.replace(at, scratch.path().size(), "…");
    return r;
}

// Every run leaves one row of the hardening report (scripts/hardening_report.sh) in the folder
// "hardening-rows" beside the test program, or in $ZORV_HARDENING_ROWS, one file per tool: input,
// tool, exit, input kept, what the readers found of a success, and the first lines of the message.
class ReportRows {
public:
    explicit ReportRows(size_t toolNumber) {
        const char* env = std::getenv("ZORV_HARDENING_ROWS");
        std::error_code ec;
        const fs::path dir =
            env && *env ? fs::path(env) : fs::read_symlink("/proc/self/exe", ec).parent_path() / "hardening-rows";
        fs::create_directories(dir, ec);
        out_.open(dir / (std::to_string(100 + toolNumber) + ".tsv"), std::ios::trunc);
    }
    void add(const ToolRun& tool, const std::string& file, const ToolOnFile& r) {
        if (!out_) return;
        const Outcome& o = r.outcome;
        const std::string exit = o.timedOut ? "timeout"
                                 : o.signal ? "signal " + std::to_string(o.signal)
                                            : std::to_string(o.exitStatus);
        const std::string kept = tool.changesInput  ? (r.inputUnchanged ? "unchanged" : "changed")
                                 : r.inputUnchanged ? "yes"
                                                    : "NO";
        const std::string checked = o.exitStatus != 0        ? "—"
                                    : !kJudgeOutputs         ? "not judged in this build"
                                    : r.wrongSuccess.empty() ? "ok"
                                                             : "WRONG: " + r.wrongSuccess;
        out_ << file << '\t' << tool.name << '\t' << exit << '\t' << kept << '\t' << cell(checked) << '\t' << cell(o.output)
             << '\n';
    }

private:
    // Up to three non-empty lines of progress-free text, one table cell.
    static std::string cell(const std::string& text) {
        std::string out;
        int lines = 0;
        size_t from = 0;
        while (from < text.size() && lines < 3) {
            size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(from, end - from);
            from = end + 1;
            if (line.find_first_not_of(" \r") == std::string::npos || line.find('%') != std::string::npos) continue;
            for (char& c : line)
                if (c == '\t' || c == '\r') c = ' ';
            out += (lines++ ? " " : "") + line;
        }
        if (out.size() > 220) out.resize(220);
        return out.empty() ? "(none)" : out;
    }
    std::ofstream out_;
};

bool readsWholeStream(const std::string& tool) {
    return tool == "export" || tool == "subtitles" || tool == "gpx" || tool == "extract-audio" || tool == "burn";
}

// Stream files whose damage the readers pass over: stray or lost bytes, short packets.
bool passesOverBytes(const gen::BrokenFile& file) {
    if (file.family != "hdv" && file.family != "avchd") return false;
    for (const char* kind : {"lost_sync", "stray_byte", "short_packets"})
        if (file.name.find(kind) != std::string::npos) return true;
    return false;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class DamagedFiles : public ::testing::TestWithParam<size_t> {};

TEST_P(DamagedFiles, EndCleanlyWithAReason) {
    const ToolRun& tool = toolRuns()[GetParam()];
    ASSERT_TRUE(fs::exists(corpusFile(gen::brokenCorpus().front().name))) << "corpus not written";
    ReportRows rows(GetParam());
    for (const auto& file : gen::brokenCorpus()) {
        SCOPED_TRACE(tool.name + " on " + file.name + " (" + file.damage + ")");
        const ToolOnFile r = runTool(tool, file);
        rows.add(tool, file.name, r);
        const Outcome& o = r.outcome;
        EXPECT_FALSE(o.timedOut) << describe(o);
        EXPECT_FALSE(o.crashed()) << describe(o);
        if (o.exitStatus != 0) {
            EXPECT_NE(o.output.find("zorv"), std::string::npos) << "a failure without a message: " << describe(o);
            EXPECT_EQ(o.output.find("usage:"), std::string::npos) << "arguments refused: " << describe(o);
        }
        // Tools that write a new file never change their input; a run that changes its input and fails
        // has refused before writing a single byte.
        if (!tool.changesInput || (o.exitStatus != 0 && tool.checkedBeforeWriting)) {
            EXPECT_TRUE(r.inputUnchanged) << describe(o);
        }
        EXPECT_EQ(r.wrongSuccess, "") << "reported success: " << describe(o);
        // What a stream reader passed over to find its packets again is said once, as a warning, by
        // every tool that reads the whole stream.
        if (o.exitStatus == 0 && readsWholeStream(tool.name) && passesOverBytes(file)) {
            EXPECT_EQ(occurrences(o.output, "zorv: warning: Passed over "), 1u) << describe(o);
        }
    }
}

// The first sound stream of a file as ffmpeg decodes it, 16-bit samples.
std::string ffmpegPcm(const std::string& path) {
    return avitest::run("ffmpeg -nostdin -v quiet -i '" + path + "' -map 0:a:0 -f s16le - 2>/dev/null");
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
        {"rawdv_under_one_frame.dv",
         {"info", "@"},
         1,
         "File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format"},
        {"odml_super_index_loop.avi", {"info", "@"}, 1, "Unable to index the AVI file"},
        {"odml_super_index_past_end.avi",
         {"modify", "@", "-o", "@.out.avi", "--timecode-start", "01:00:00:00"},
         1,
         "Failed to index input file"},
        {"rawdv_one_frame_and_a_byte.dv", {"frame", "@", "1"}, 1, "frame 1 is past the end: the file has 1 frames"},
        {"avi_idx1_past_end.avi", {"export", "@", "-o", "@.csv"}, 1, "zorv: Failed to read file"},
        {"avi_cut_mid_frame.avi", {"burn", "@", "-o", "@.burn.avi"}, 1, "Could not read file - /"},
        // An index entry past the end of the file: the frames before it are no whole recording.
        {"avi_idx1_past_end.avi",
         {"convert", "--to", "dv", "@", "-o", "@.dv"},
         1,
         "zorv: Stopped after 1 of 2 frames: the next one could not be read whole"},
        {"avi_idx1_past_end.avi", {"split", "@", "--out", "@.d"}, 1, "Stopped after 1 of 2 frames"},
        // The audio chunks are found past a video chunk whose size field is damaged.
        {"avi2_first_chunk_size_byte.avi", {"extract-audio", "@", "-o", "@.wav"}, 0, "Audio extraction complete."},
        // The batch log says what a stream reader passed over, as the command line does.
        {"hdv_lost_sync.m2t",
         {"batch", "--op", "export", "--out", "@.d", "@"},
         0,
         "WARNING: Passed over 61 damaged bytes of the transport stream to find its packets again"},
        {"avchd_stray_byte.m2ts",
         {"batch", "--op", "extract-audio", "--out", "@.d", "@"},
         0,
         "WARNING: Passed over 1 damaged byte of the transport stream to find its packets again"},
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
        for (const auto& a : args)
            if (a.size() > 2 && a.compare(a.size() - 2, 2, ".d") == 0) fs::create_directory(a);
        SCOPED_TRACE(std::string(c.file) + " " + c.args[0]);
        const Outcome o = runLimited(args);
        EXPECT_EQ(o.exitStatus, c.status) << describe(o);
        EXPECT_NE(o.output.find(c.text), std::string::npos) << describe(o);
        // A failure leaves no output; split none of its files.
        if (o.exitStatus != 0 && args.size() > 2 && (args[args.size() - 2] == "-o" || c.args[0] == "split")) {
            if (c.args[0] == "split")
                EXPECT_EQ(std::distance(fs::directory_iterator(args.back()), {}), 2) << "only the log and the batch list";
            else EXPECT_FALSE(fs::exists(args.back())) << describe(o);
        }
        // Sound copied from a PCM stream is the stream ffmpeg reads, sample for sample.
        if (o.exitStatus == 0 && c.args[0] == "extract-audio") {
            EXPECT_EQ(ffmpegPcm(args[4]), ffmpegPcm(in));
        }
    }
}

// The pictures ffprobe's demultiplexer counts in a file, -1 when it cannot say.
int64_t ffprobePictures(const std::string& path) {
    const std::string cmd =
        "ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets "
        "-of default=nw=1:nk=1 '" +
        path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    pclose(p);
    return got && line[0] >= '0' && line[0] <= '9' ? std::strtoll(line, nullptr, 10) : -1;
}

// Damaged HDV and AVCHD streams are read to their end: info counts the pictures a tolerant reader
// counts, and the bytes it passed over are reported.
TEST(DamagedStreams, PictureCountsAgreeWithFfprobe) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    for (const auto& file : gen::brokenCorpus()) {
        // Without one slice ffprobe's parser merges the whole stream into one packet: no count to compare.
        if (file.family != "hdv" && file.family != "avchd") continue;
        if (file.name.find("no_decodable") != std::string::npos) continue;
        SCOPED_TRACE(file.name + " (" + file.damage + ")");
        const std::string path = corpusFile(file.name);
        const int64_t theirs = ffprobePictures(path);
        const Outcome o = runLimited({ZORV_CLI_PATH, "info", path});
        if (theirs < 0) {
            // ffprobe gives up on it too (no sync within its resync limit): a refusal with a reason.
            EXPECT_EQ(o.exitStatus, 1) << describe(o);
            EXPECT_NE(o.output.find("zorv: "), std::string::npos) << describe(o);
            continue;
        }
        ASSERT_EQ(o.exitStatus, 0) << describe(o);
        const size_t at = o.output.find("Pictures:");
        ASSERT_NE(at, std::string::npos) << describe(o);
        const int64_t ours = std::strtoll(o.output.c_str() + at + 9, nullptr, 10);
        EXPECT_LE(std::abs(ours - theirs), 2) << "ours " << ours << ", ffprobe " << theirs;
        if (file.name.find("lost_sync") != std::string::npos || file.name.find("short_packets") != std::string::npos) {
            EXPECT_NE(o.output.find("zorv: warning: Passed over "), std::string::npos) << describe(o);
        }
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
