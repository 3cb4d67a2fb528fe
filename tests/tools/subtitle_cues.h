// Reading back the cues of a SubRip or WebVTT file written by the subtitle exports, checking the
// numbering and line structure on the way.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace zorv::tools::test {

struct Cue {
    int64_t startMs = 0, endMs = 0;
    std::string text;
};

inline int64_t parseTimestamp(const std::string& s) {
    // hh:mm:ss,mmm or hh:mm:ss.mmm
    return std::stoll(s.substr(0, 2)) * 3600000 + std::stoll(s.substr(3, 2)) * 60000 + std::stoll(s.substr(6, 2)) * 1000 +
           std::stoll(s.substr(9, 3));
}

// Reads the cues of a SubRip or WebVTT file, checking its numbering and line structure on the way.
inline std::vector<Cue> parseCues(const std::string& file, bool vtt) {
    std::vector<Cue> cues;
    std::string text = file;
    if (vtt) {
        EXPECT_EQ(text.substr(0, 8), "WEBVTT\n\n");
        text = text.substr(8);
    } else {
        // SubRip lines end in CR LF; no bare LF.
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
            }
        }
        std::string plain;
        for (char c : text)
            if (c != '\r') plain += c;
        text = plain;
    }
    std::istringstream in(text);
    std::string line;
    int64_t number = 0;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (!vtt) {
            EXPECT_EQ(line, std::to_string(++number));
            std::getline(in, line);
        }
        Cue c;
        EXPECT_EQ(line.size(), 29u) << line;
        EXPECT_EQ(line.substr(12, 5), " --> ");
        EXPECT_EQ(line[8], vtt ? '.' : ',');
        c.startMs = parseTimestamp(line.substr(0, 12));
        c.endMs = parseTimestamp(line.substr(17, 12));
        while (std::getline(in, line) && !line.empty()) c.text += (c.text.empty() ? "" : "\n") + line;
        cues.push_back(c);
    }
    return cues;
}

}  // namespace zorv::tools::test
