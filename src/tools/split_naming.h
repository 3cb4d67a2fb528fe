// Names of split output files: the four name formats, the unique-name rule " (n)", and the reel letters
// that follow the base reel name after each backward timecode jump.
#pragma once

#include <cstdint>
#include <string>

#include "tools/split_decider.h"

namespace zorv::tools {

using core::SplitNameFormat;

// Longest output path, extension included.
inline constexpr size_t kMaxSplitPathLength = 247;

// The suffix of an output file: " %04d" (file number), " %02d.%02d.%02d.%02d" (start timecode),
// " %04d-%02d-%02d %02d.%02d.%02d" (recording date and time; two-digit years below 90 as 20xx) or
// " %X%X.%X%X.%X%X.%X%X" (user bits PC4..PC1), with the dashed forms when the first frame has no
// such value. Unknown formats give the timecode form.
std::string splitNameSuffix(SplitNameFormat format, int64_t fileNumber, const SplitFrameInfo& first);

// name, made unique: the part before the extension is cut so that the whole fits in 247 characters;
// while a file of that name exists, "%s (%d)%s" is tried with n = 1, 2, ...
std::string uniqueFileName(const std::string& name);

// The path without its extension (the dot of the last path component only).
std::string pathWithoutExtension(const std::string& path);

// The reel name for the counter-th new reel (counter from 0): base + A..Z, then AA..ZZ; past ZZ the
// letters start again at A.
std::string reelWithLetter(const std::string& base, int counter);

}  // namespace zorv::tools
