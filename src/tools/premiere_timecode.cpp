#include "tools/premiere_timecode.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "media/formats/format_table.h"
#include "media/avi_chunks.h"
#include "media/dv_media_file.h"
#include "tools/system_text.h"

namespace zorv::tools {

namespace {

using media::fourcc;
using media::le32;

// A "Tdat" list larger than this is not a timecode list of ours or an editor's.
constexpr uint32_t kMaxTdatSize = 1u << 20;
// Chunks visited before the walk gives up on a hostile file.
constexpr int kMaxChunks = 1 << 20;

}  // namespace

std::optional<TdatLocation> findTdatList(const media::File& file) {
    const int64_t fileSize = file.size();
    if (fileSize < 12) return std::nullopt;
    int64_t top = 0;
    int visited = 0;
    uint8_t h[12];
    while (top + 12 <= fileSize && visited < kMaxChunks) {
        if (!file.readExact(top, h, 12)) return std::nullopt;
        if (le32(h) != fourcc("RIFF")) return std::nullopt;
        const uint32_t riffSize = le32(h + 4);
        const int64_t riffEnd = std::min<int64_t>(fileSize, top + 8 + int64_t{riffSize});
        int64_t pos = top + 12;
        while (pos + 12 <= riffEnd && ++visited < kMaxChunks) {
            if (!file.readExact(pos, h, 12)) return std::nullopt;
            const uint32_t id = le32(h), size = le32(h + 4);
            if (id == fourcc("LIST") && le32(h + 8) == fourcc("Tdat") && size >= 4 && pos + 8 + int64_t{size} <= fileSize)
                return TdatLocation{pos, size};
            pos += 8 + int64_t{size} + (size & 1);
        }
        top += 8 + int64_t{riffSize} + (riffSize & 1);
        ++visited;
    }
    return std::nullopt;
}

std::array<uint8_t, 12> timecodeField(int hours, int minutes, int seconds, int frames, bool dropFrame) {
    std::array<uint8_t, 12> field{};
    const std::string text = media::timecodeText(hours, minutes, seconds, frames, dropFrame);
    std::memcpy(field.data(), text.data(), std::min<size_t>(text.size(), 11));
    return field;
}

bool writeTdatTimecode(media::File& file, const TdatLocation& where, const std::array<uint8_t, 12>& field,
                       const std::function<bool()>& stop) {
    uint64_t consumed = 4;
    int64_t pos = where.entriesPos();
    uint8_t h[8];
    while (consumed < where.listSize && !(stop && stop())) {
        if (!file.readExact(pos, h, 8)) break;
        uint64_t size = le32(h + 4);
        size += size & 1;
        const uint32_t tag = le32(h);
        if ((tag == fourcc("tc_O") || tag == fourcc("tc_A")) && size >= field.size() &&
            consumed + 8 + field.size() <= where.listSize) {
            if (!file.writeAt(pos + 8, field.data(), field.size())) return false;
        }
        consumed += 8 + size;
        pos += 8 + static_cast<int64_t>(size);
    }
    return true;
}

std::string premiereSkipMessage(media::FileType type) {
    const char* skip = media::formatOf(type).premiereSkip;
    return skip ? skip : std::string();
}

PremiereFixOutcome fixPremiereStartTimecode(const std::string& path) {
    PremiereFixOutcome out;
    auto fail = [&](PremiereFixResult r, int sys) {
        out.result = r;
        out.sysError = sys;
        return out;
    };
    media::File rw;
    if (!rw.open(path, media::File::Mode::kReadWrite)) return fail(PremiereFixResult::kOpenFailed, rw.sysError());

    media::DvMediaFile media;
    if (!media.open(path)) {
        switch (media.lastError()) {
        case core::ErrorCode::kOpenFailed: return fail(PremiereFixResult::kOpenFailed, media.sysError());
        case core::ErrorCode::kReadFailed: return fail(PremiereFixResult::kReadFailed, media.sysError());
        default: return fail(PremiereFixResult::kUnsupported, 0);
        }
    }
    if (!media::isAviType(media.fileType())) return fail(PremiereFixResult::kUnsupported, 0);

    media::DvMediaFile::Timecode tc;
    if (!media.readTimecode(0, tc)) return fail(PremiereFixResult::kNoTimecode, 0);
    out.text = media::timecodeText(tc.hours, tc.minutes, tc.seconds, tc.frames, tc.dropFrame);
    const auto field = timecodeField(tc.hours, tc.minutes, tc.seconds, tc.frames, tc.dropFrame);

    if (const auto where = findTdatList(rw)) {
        // Load the payload, change the timecode entries, write the payload back whole.
        if (where->listSize > kMaxTdatSize) return fail(PremiereFixResult::kReadFailed, 0);
        std::vector<uint8_t> payload(where->listSize - 4);
        if (!rw.readExact(where->entriesPos(), payload.data(), payload.size()))
            return fail(PremiereFixResult::kReadFailed, rw.sysError());
        size_t at = 0;
        while (at + 8 <= payload.size()) {
            const uint32_t tag = le32(&payload[at]);
            uint64_t size = le32(&payload[at + 4]);
            size += size & 1;
            if ((tag == fourcc("tc_O") || tag == fourcc("tc_A")) && size >= field.size() &&
                at + 8 + field.size() <= payload.size())
                std::memcpy(&payload[at + 8], field.data(), field.size());
            if (size > payload.size()) break;
            at += 8 + static_cast<size_t>(size);
        }
        if (!rw.writeAt(where->entriesPos(), payload.data(), payload.size()))
            return fail(PremiereFixResult::kWriteFailed, rw.sysError());
        return out;
    }

    const int64_t end = rw.size();
    if (end < 0) return fail(PremiereFixResult::kReadFailed, rw.sysError());
    const std::vector<uint8_t> block = media::buildAppendedTimecodeList(out.text);
    if (block.size() != 172) return fail(PremiereFixResult::kWriteFailed, 0);
    if (!rw.writeAt(end, block.data(), 12) || !rw.writeAt(end + 12, block.data() + 12, block.size() - 12)) {
        // A full disk can take the list header and refuse its body: cut the file back to its old end so
        // that no list runs past it.
        const int sys = rw.sysError();
        rw.truncate(end);
        return fail(PremiereFixResult::kWriteFailed, sys);
    }
    out.appended = true;
    return out;
}

std::string premiereFixLogLine(const PremiereFixOutcome& o) {
    switch (o.result) {
    case PremiereFixResult::kFixed: return "Fixed";
    case PremiereFixResult::kOpenFailed: return "ERROR: Failed to open input file - " + systemText(o.sysError);
    case PremiereFixResult::kReadFailed: return "ERROR: Failed to read input file - " + systemText(o.sysError);
    case PremiereFixResult::kWriteFailed: return "ERROR: Failed to write input file - " + systemText(o.sysError);
    case PremiereFixResult::kNoTimecode:
        return "WARNING: Timecode not found in DV metadata - Premiere start timecode not fixed";
    default: return "ERROR: Unrecognised input file format";
    }
}

}  // namespace zorv::tools
