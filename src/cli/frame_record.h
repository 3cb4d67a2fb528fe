// The record of one frame that `zorv frame` prints for every kind of file: its metadata items as
// aligned "label text" lines, or one JSON object {"file", "frame", fields of the kind, "items",
// the raw packs or tags, more fields of the kind}.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "core/metadata_record.h"
#include "core/metadata_text.h"

namespace zorv::cli {

struct FrameItem {
    const char* key;    // JSON name
    const char* label;  // text label
    core::TextBuf text;
};

// "  label      text" lines on standard output.
void printFrameItems(std::span<const FrameItem> items);

// {"file":PATH,"frame":N — the caller goes on with its fields and the blocks below, and closes it.
std::string frameJsonStart(const std::string& path, int64_t n);
// ,"items":{"key":"text",...}
void appendFrameItems(std::string& out, std::span<const FrameItem> items);
// ,"name":{"ID":"PC1 PC2 PC3 PC4",...} over the packs (or tags) in the given order, skipping those whose
// ID is 0xFF; a metadata record's packs come in ID order.
void appendFramePacks(std::string& out, const char* name, std::span<const std::array<uint8_t, 5>> packs);

}  // namespace zorv::cli
