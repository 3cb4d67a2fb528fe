// A corpus of damaged camcorder files for hardening tests: good generated clips cut at each structural
// boundary or with one field rewritten to point past the file, loop, overlap or overrun its container
// (AVI headers and indexes, OpenDML index chains, Raw DV frames, transport-stream packets, PES lengths,
// HDV aux items, AVCHD SEI and MDPM sizes).
#pragma once

#include <string>
#include <vector>

#include "core/error.h"

namespace zorv::gen {

struct BrokenFile {
    std::string name;    // file name in the corpus folder
    std::string family;  // "avi", "rawdv", "hdv" or "avchd"
    std::string damage;  // what was done to the good file
    std::string base;    // the good file it was made from, kept in the corpus folder under this name
};

// The corpus, as a list (no files written).
const std::vector<BrokenFile>& brokenCorpus();

// Writes every file of the corpus into dir (created if missing). Files of a family in `only` when it
// is not empty ("avi", "rawdv", "hdv", "avchd").
core::Status writeBrokenCorpus(const std::string& dir, const std::vector<std::string>& only = {});

}  // namespace zorv::gen
