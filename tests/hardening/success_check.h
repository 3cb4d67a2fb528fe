// What independent readers make of a run that reported success: a tool's exit status 0 counts only
// when ffmpeg/ffprobe and a byte comparison find in its output what the tool claims to have written.
//  - New containers (convert, split, stream burn-in, extracted sound) must decode without an error.
//  - The DV frames convert and split copy must be the good recording's frames, in order, every video
//    DIF block unchanged (the good file the damaged one was made from, read by ffmpeg).
//  - Tools that keep the input's layout (modify, DV burn-in, and both in place) may change bytes only
//    inside DV frames: modify only blocks that are not picture (video DIF blocks), burn-in only
//    picture blocks; and they must change something. Their result must decode cleanly when the
//    input did.
//  - Text outputs hold rows; burn-in of a stream has ffprobe's picture count of the input, within 2.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "limited_run.h"
#include "media/avi_test_util.h"

namespace zorv::hardening {

// The errors ffmpeg reports while decoding every stream of the file (empty: none).
inline std::string decodeErrors(const std::string& path) {
    int st = 0;
    std::string out = avitest::run("ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1", &st);
    if (st != 0 && out.empty()) out = "ffmpeg failed";
    return out.substr(0, 300);
}

// Pictures ffprobe decodes from the first video stream (its warnings about damage left out).
inline long probedPictures(const std::string& path) {
    const std::string out = avitest::run(
        "ffprobe -v quiet -select_streams v:0 -count_frames -show_entries "
        "stream=nb_read_frames -of csv=p=0 '" +
        path + "' 2>/dev/null");
    return out.empty() || out[0] < '0' || out[0] > '9' ? 0 : std::strtol(out.c_str(), nullptr, 10);
}

inline size_t dvFrameSize(const std::string& frameStart) {
    return frameStart.size() > 3 && (static_cast<uint8_t>(frameStart[3]) & 0x80) ? 144000 : 120000;
}

// The whole DV frames of the first video stream as ffmpeg's demuxer copies them out.
inline std::vector<std::string> dvFrames(const std::string& path) {
    const std::string bytes = avitest::ffmpegVideoBytes(path);
    const size_t size = dvFrameSize(bytes);
    std::vector<std::string> frames;
    for (size_t at = 0; at + size <= bytes.size(); at += size) frames.push_back(bytes.substr(at, size));
    return frames;
}

inline bool isVideoBlock(char id0) { return (static_cast<uint8_t>(id0) >> 5) == 4; }

// The video DIF blocks of a frame: the picture.
inline std::string videoBlocks(const std::string& frame) {
    std::string out;
    for (size_t at = 0; at + 80 <= frame.size(); at += 80)
        if (isVideoBlock(frame[at])) out.append(frame, at, 80);
    return out;
}

// Empty when `got` are the first frames of `good`, in order, each with the same picture.
inline std::string framesOfTheRecording(const std::vector<std::string>& good, const std::vector<std::string>& got) {
    if (got.empty()) return "no DV frame in the output";
    if (got.size() > good.size())
        return std::to_string(got.size()) + " frames written of a recording of " + std::to_string(good.size());
    for (size_t n = 0; n < got.size(); ++n)
        if (videoBlocks(good[n]) != videoBlocks(got[n])) return "frame " + std::to_string(n) + " is not the recording's";
    return {};
}

// Where the good recording's frames lie in a file: found by their first video DIF block.
inline std::vector<size_t> framePositions(const std::string& file, const std::vector<std::string>& good) {
    constexpr size_t kFirstVideoBlock = 7 * 80;
    std::vector<size_t> at;
    size_t from = 0;
    for (const auto& f : good) {
        const size_t p = file.find(f.substr(kFirstVideoBlock, 80), from);
        if (p == std::string::npos || p < kFirstVideoBlock) continue;
        at.push_back(p - kFirstVideoBlock);
        from = p + 80;
    }
    return at;
}

// Empty when `after` differs from `before` only inside the recording's frames, and there only in
// picture blocks (pictureOnly) or only in blocks that are not picture; and differs somewhere.
inline std::string changedOnlyInFrames(const std::string& before, const std::string& after,
                                       const std::vector<std::string>& good, bool pictureOnly) {
    if (before.size() != after.size()) return "the file changed its size";
    if (good.empty()) return "ffmpeg reads no frame of the good recording";
    const std::vector<size_t> frames = framePositions(before, good);
    const size_t size = good[0].size();
    bool any = false;
    for (size_t o = 0; o < before.size(); ++o) {
        if (before[o] == after[o]) continue;
        any = true;
        auto f = std::upper_bound(frames.begin(), frames.end(), o);
        if (f == frames.begin() || o >= *std::prev(f) + size)
            return "byte " + std::to_string(o) + " outside the frames changed";
        const size_t block = *std::prev(f) + (o - *std::prev(f)) / 80 * 80;
        if (isVideoBlock(before[block]) != pictureOnly)
            return std::string(pictureOnly ? "a block that is not picture" : "a picture block") + " changed at byte " +
                   std::to_string(o);
    }
    return any ? "" : "nothing was changed";
}

// The same readers' answers for a file of the corpus, asked once per test process.
template <class T>
const T& remembered(const std::string& path, T (*read)(const std::string&)) {
    static std::map<std::string, T> known;
    auto it = known.find(path);
    if (it == known.end()) it = known.emplace(path, read(path)).first;
    return it->second;
}

// Rows of a text file (lines that are not empty).
inline size_t textRows(const std::string& path) {
    const std::string text = fileBytes(path);
    size_t rows = 0;
    bool any = false;
    for (char c : text) {
        if (c == '\n') rows += any, any = false;
        else if (c != '\r') any = true;
    }
    return rows + any;
}

// Judges a successful run of `tool` (its name in the tool table). `good` is the undamaged file the
// input was made from, `inputBefore` the input as it was, `input` the input now, `outDir` the folder
// the tool wrote into. Returns what is wrong, or an empty string.
inline std::string checkSuccess(const std::string& tool, const std::string& good, const std::string& inputBefore,
                                const std::string& input, const std::string& outDir) {
    namespace fs = std::filesystem;
    const bool text = tool == "export" || tool == "subtitles" || tool == "gpx";
    std::vector<std::string> outputs;  // what the tool was asked for (split also writes its log)
    for (const auto& e : fs::directory_iterator(outDir)) {
        const std::string x = e.path().extension().string();
        if (text || x == ".avi" || x == ".dv" || x == ".wav" || x == ".ac3") outputs.push_back(e.path().string());
    }
    std::sort(outputs.begin(), outputs.end());
    const std::string ext = fs::path(good).extension().string();
    const bool dv = ext == ".avi" || ext == ".dv";
    auto one = [&]() -> std::string {
        return outputs.size() == 1 ? "" : std::to_string(outputs.size()) + " files written where one was expected";
    };
    if (text) {
        if (auto e = one(); !e.empty()) return e;
        if (textRows(outputs[0]) < (tool == "export" ? 2u : 1u)) return "the text output holds no row";
        return {};
    }
    if (tool == "extract-audio") {
        if (auto e = one(); !e.empty()) return e;
        if (avitest::ffprobeStreams(outputs[0], "audio") != 1) return "ffprobe finds no sound in the output";
        return decodeErrors(outputs[0]);
    }
    if (tool == "burn" && !dv) {
        if (auto e = one(); !e.empty()) return e;
        if (auto e = decodeErrors(outputs[0]); !e.empty()) return e;
        const long in = remembered(inputBefore, probedPictures), out = probedPictures(outputs[0]);
        if (out <= 0 || out > in + 2 || out + 2 < in)
            return "the output has " + std::to_string(out) + " pictures, ffprobe decodes " + std::to_string(in) +
                   " of the input";
        return {};
    }
    if (tool == "convert" || tool == "split") {
        if (outputs.empty()) return "no output file";
        std::vector<std::string> frames;
        for (const auto& out : outputs) {
            if (auto e = decodeErrors(out); !e.empty()) return fs::path(out).filename().string() + ": " + e;
            for (auto& f : dvFrames(out)) frames.push_back(std::move(f));
        }
        return framesOfTheRecording(remembered(good, dvFrames), frames);
    }
    const bool inPlace = tool == "modify --in-place" || tool == "burn --in-place";
    if (inPlace || tool == "modify" || tool == "burn") {
        const std::string result = inPlace ? input : outputs.size() == 1 ? outputs[0] : "";
        if (result.empty()) return one();
        const bool picture = tool.rfind("burn", 0) == 0;
        if (auto e = changedOnlyInFrames(fileBytes(inputBefore), fileBytes(result), remembered(good, dvFrames), picture);
            !e.empty())
            return e;
        if (remembered(inputBefore, decodeErrors).empty()) return decodeErrors(result);
        return {};
    }
    return {};  // tools that print, or change file names and dates
}

}  // namespace zorv::hardening
