#include "cli/frame_record.h"

#include <cstdio>

#include "cli/cli_common.h"

namespace zorv::cli {

namespace {

void appendPack(std::string& out, bool& first, const std::array<uint8_t, 5>& p) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s\"%02X\":\"%02X %02X %02X %02X\"", first ? "" : ",", p[0], p[1], p[2], p[3], p[4]);
    out += buf;
    first = false;
}

void openBlock(std::string& out, const char* name) {
    out += ",\"";
    out += name;
    out += "\":{";
}

}  // namespace

void printFrameItems(std::span<const FrameItem> items) {
    for (const auto& it : items) std::printf("  %-11s %s\n", it.label, it.text.c_str());
}

std::string frameJsonStart(const std::string& path, int64_t n) {
    std::string out = "{\"file\":";
    jsonString(out, path);
    out += ",\"frame\":" + std::to_string(n);
    return out;
}

void appendFrameItems(std::string& out, std::span<const FrameItem> items) {
    openBlock(out, "items");
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        jsonString(out, items[i].key);
        out += ':';
        jsonString(out, items[i].text.view());
    }
    out += '}';
}

void appendFramePacks(std::string& out, const char* name, std::span<const std::array<uint8_t, 5>> packs) {
    openBlock(out, name);
    bool first = true;
    for (const auto& p : packs)
        if (p[0] != core::kNoPack) appendPack(out, first, p);
    out += '}';
}

}  // namespace zorv::cli
