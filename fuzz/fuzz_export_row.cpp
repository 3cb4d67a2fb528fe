// Arbitrary packs as one frame's record through the export formatters: the CSV row must always be
// fifteen fields (fourteen commas) ended by CR LF inside its fixed buffer, and every subtitle layout
// must fit its buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/dv_decode.h"
#include "core/metadata_record.h"
#include "tools/csv_export.h"
#include "tools/subtitle_export.h"

using namespace zorv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 10) return 0;
    // Settings and frame number from the first 10 bytes, then 5-byte packs stored in the entry of
    // their ID (later duplicates overwrite); every seventh is stored as absent with its payload kept.
    tools::CsvExportSettings cs;
    cs.mode = static_cast<tools::CsvExportMode>(data[0] % 3);
    cs.dateFormat = core::choiceOf<core::DateFormat>(data[1] % 5);
    cs.dropFrameFormat = core::choiceOf<core::DropFrameDisplay>(data[2] & 1);
    cs.progressAsFrameNumber = (data[2] & 2) != 0;
    int64_t n = 0;
    std::memcpy(&n, data + 2, 8);
    if (n < 0) n = -(n + 1);
    data += 10;
    size -= 10;

    core::MetadataRecord rec;
    for (size_t i = 0; i + 5 <= size; i += 5) {
        auto& entry = rec.packs[data[i]];
        std::memcpy(entry.data(), data + i, 5);
        if (i / 5 % 7 == 6) entry[0] = core::kNoPack;
    }
    core::DecodedValues v;
    core::decodeRecord(rec, v);

    tools::CsvRowFormatter csv(cs, (size & 1) ? 6.4e-05 : 6.3492e-05);
    const size_t len = csv.format(n, rec, v);
    if (len < 2 || len > tools::kCsvRowCapacity) __builtin_trap();
    const char* row = csv.data();
    if (row[len - 2] != '\r' || row[len - 1] != '\n') __builtin_trap();
    int commas = 0;
    for (size_t i = 0; i < len; ++i) commas += row[i] == ',';
    if (commas != 14) __builtin_trap();

    for (int layout = 0; layout < tools::kSubtitleLayoutCount; ++layout) {
        tools::SubtitleSettings ss;
        ss.layout = static_cast<tools::SubtitleLayout>(layout);
        ss.display.dateFormat = cs.dateFormat;
        ss.display.dropFrameFormat = cs.dropFrameFormat;
        ss.display.progressAsFrameNumber = cs.progressAsFrameNumber;
        tools::SubtitleTextFormatter text(ss, 6.4e-05);
        const size_t t = text.format(n, rec, v);
        if (t >= tools::kSubtitleTextCapacity || text.data()[t] != '\0') __builtin_trap();
    }
    return 0;
}
