// Every file tool of the zorv command as the hardening tests and report run it: its arguments for an
// input copy and a fresh output folder, and whether it writes into the input itself.
#pragma once

#include <string>
#include <vector>

namespace zorv::hardening {

struct ToolRun {
    std::string name;
    bool changesInput = false;  // direct mode: the input is the output
    // Arguments after `zorv`, given the input and the output folder.
    std::vector<std::string> (*args)(const std::string& in, const std::string& outDir);
    bool checkedBeforeWriting = false;  // direct mode that refuses a damaged input before writing to it
};

inline std::string extensionOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? "" : path.substr(dot);
}

inline const std::vector<ToolRun>& toolRuns() {
    static const std::vector<ToolRun> tools = {
        {"info", false,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"info", in};
         }},
        {"frame", false,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"frame", in, "1", "--json"};
         }},
        {"scenes", false,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"scenes", in};
         }},
        {"export", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"export", in, "--header", "-o", out + "/out.csv"};
         }},
        {"subtitles", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"subtitles", in, "-o", out + "/out.srt"};
         }},
        {"gpx", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"gpx", in, "-o", out + "/out.gpx"};
         }},
        {"modify", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"modify",           in,           "-o", out + "/out" + extensionOf(in),
                                             "--timecode-start", "01:00:00:00"};
         }},
        {"modify --in-place", true,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"modify", in, "--in-place", "--yes", "--timecode-start", "01:00:00:00"};
         },
         true},
        {"fix-premiere", true,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"fix-premiere", in};
         }},
        {"set-mtime", true,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"set-mtime", in};
         }},
        {"rename", true,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"rename", in};
         }},
        {"split", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"split", in, "--out", out};
         }},
        {"convert", false,
         [](const std::string& in, const std::string& out) {
             const bool raw = extensionOf(in) == ".dv";
             return std::vector<std::string>{"convert", "--to", raw ? "avi2" : "dv",
                                             in,        "-o",   out + (raw ? "/out.avi" : "/out.dv")};
         }},
        {"extract-audio", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"extract-audio", in, "-o", out + "/out.wav"};
         }},
        {"burn", false,
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"burn", in, "-o", out + "/out.avi"};
         }},
        {"burn --in-place", true,
         [](const std::string& in, const std::string&) {
             return std::vector<std::string>{"burn", in, "--in-place", "--yes"};
         },
         true},
    };
    return tools;
}

}  // namespace zorv::hardening
