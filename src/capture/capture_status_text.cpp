#include "capture/capture_status_text.h"

#include <cstdio>

#include "capture/free_space.h"

namespace zorv::capture {

namespace {

std::string withThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[static_cast<size_t>(i)];
    }
    return out;
}

}  // namespace

std::string modeText(const Query<DeviceKind>& kind) {
    if (!kind.ok) return "Error";
    switch (kind.value) {
    case DeviceKind::kVcr: return "VCR";
    case DeviceKind::kCamera: return "Camera";
    case DeviceKind::kOther: return "?";
    case DeviceKind::kUnsupported: return "";
    }
    return "?";
}

std::string signalText(const Query<TapeFormat>& format) {
    if (!format.ok) return "Error";
    switch (format.value) {
    case TapeFormat::kNtsc: return "NTSC";
    case TapeFormat::kPal: return "PAL";
    case TapeFormat::kNoTape: return "No tape";
    case TapeFormat::kOther: return "?";
    }
    return "?";
}

std::string deviceTimecodeText(const Query<DeviceTimecode>& tc) {
    if (!tc.ok) return {};
    // The device reports binary-coded decimal; its hexadecimal digits are the decimal ones.
    auto bcd = [](int v) { return static_cast<unsigned>(((v / 10) << 4) | (v % 10)); };
    char buf[32];
    std::snprintf(buf, sizeof buf, tc.value.dropFrame ? "%.2x:%.2x:%.2x;%.2x" : "%.2x:%.2x:%.2x:%.2x", bcd(tc.value.hours),
                  bcd(tc.value.minutes), bcd(tc.value.seconds), bcd(tc.value.frames));
    return buf;
}

std::string durationText(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return buf;
}

std::string freeSpaceText(std::optional<uint64_t> freeBytes) {
    if (!freeBytes) return "Unknown";
    uint64_t mib = wholeMiB(*freeBytes);
    if (mib < 1) return "Disk full";
    char tail[64];
    // One hour of DV takes about 11,250 MiB, one minute 187.5 MiB.
    if (mib >= 11250) std::snprintf(tail, sizeof tail, "%.1f hours)", static_cast<double>(mib) * 0.0000888889);
    else std::snprintf(tail, sizeof tail, "%d mins)", static_cast<int>(mib * 10 / 1875));
    return withThousands(mib) + " MB (" + tail;
}

}  // namespace zorv::capture
