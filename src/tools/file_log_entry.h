// What split and capture write about each file they make: the timecode text of their log lines and
// the file's line in the Premiere batch list.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/option_choices.h"

namespace zorv::tools {

// "hh:mm:ss:ff", or drop-frame timecode in the given form ("hh;mm;ss;ff" everywhere is how editors
// read it from files); "--:--:--:--" when hours < 0 (none).
std::string timecodeText(int hours, int minutes, int seconds, int frames, bool dropFrame,
                         core::DropFrameDisplay dropFrameForm);

// One file's line of a Premiere batch list: "name","start","end",frames,"reel" and CR LF, the file name
// without its folder, quotes inside the name and reel doubled. The timecodes are given as
// timecodeText(..., DropFrameDisplay::kEverywhere) makes them, whatever the display option. Flushed at once.
void writeBatchListEntry(std::FILE* list, const std::string& path, const std::string& start, const std::string& end,
                         int64_t frames, const std::string& reel);

}  // namespace zorv::tools
