// The file list of a batch read from a text file or standard input, and the slice of it one of
// several independent runs takes.
//
// A list holds one path per line, taken as written (spaces, leading dashes and any bytes kept), with
// a CR before the line end dropped. Blank lines (empty or white space only) and lines starting with
// '#' are ignored; a path that starts with '#' is written "./#name". A path given twice is kept once,
// at its first place.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace zorv::batch {

inline constexpr const char* kListFromStdin = "-";

// The paths of a list's text. A line holding a NUL byte makes the text no list: the result is the
// failure "Not a list of paths (NUL byte on line N): give one path per line" and no paths.
core::Status parseFileList(std::string_view text, std::vector<std::string>& paths);

// Reads the list at path ("-": standard input) and appends its paths to `paths`, dropping any that
// `paths` holds already.
core::Status readFileList(const std::string& path, std::vector<std::string>& paths);

// The path as a run names the file in its log and results: absolute, without "." and ".." parts
// (links are not followed). Unchanged when the working folder cannot be read.
std::string fullPath(const std::string& path);

// The paths without repeats, each at its first place.
std::vector<std::string> withoutRepeats(std::vector<std::string> paths);

// Slice K of N (1 <= K <= N): the K-th, (K+N)-th, (K+2N)-th, ... path of the list. The N slices
// of a list hold every path exactly once, and each depends only on the list, so independent runs
// (job array tasks, hosts) agree on them without talking to each other.
struct Slice {
    int index = 1;  // K
    int count = 1;  // N
};

// "K/N" with 1 <= K <= N <= 1000000, or nullopt.
std::optional<Slice> parseSlice(std::string_view text);
std::vector<std::string> takeSlice(const std::vector<std::string>& paths, Slice slice);

}  // namespace zorv::batch
