// The operations of a batch job: their list texts and codes, which file types each accepts (with the
// log line of a skipped file), the line that starts each file, the output name it writes in the
// output folder, and the weight of a file (its expected amount of work).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "media/file_type.h"

namespace zorv::batch {

// The codes are stored with each list entry; keep them fixed.
enum class BatchOp : int {
    kConvertAvi1 = 0,
    kConvertAvi2 = 1,
    kConvertRawDv = 2,
    kExtractAudio = 3,
    kBurnIn = 4,
    kModify = 5,
    kSplit = 6,
    kExportMetadata = 7,
    kExportSubtitles = 8,
    kAppendDateToName = 9,
    kSetDateModified = 10,
    kFixPremiere = 11,
};

struct OperationEntry {
    const char* text;  // the list text, also the stored "BatchOp" value
    BatchOp code;
    const char* cliName;  // the word `zorv batch --op` takes
};

// In list order.
std::span<const OperationEntry> operationList();
const OperationEntry* operationByText(const std::string& text);
const OperationEntry* operationByCliName(const std::string& name);
const OperationEntry& operationEntry(BatchOp op);

// 9, 10 and 11 change the input files themselves and write no output files.
inline bool changesInputFiles(BatchOp op) {
    return op == BatchOp::kAppendDateToName || op == BatchOp::kSetDateModified || op == BatchOp::kFixPremiere;
}

// The log line of a file of this type that the operation does not take; nullptr when it is taken.
const char* skipLine(BatchOp op, media::FileType type);

// The line logged before the operation runs on a file of this (accepted) type.
std::string startLine(BatchOp op, media::FileType type);

// What the output name adds to the input's name (without folder and extension): "-conv.avi",
// "-conv.dv", ".wav", ".ac3", "-burn.avi", "-mod.avi", ".csv", ".srt"; empty for operations that
// write no single output file (split names its own files from the stem; 9-11 write none).
const char* outputSuffix(BatchOp op, media::FileType type);

// The output folder joined with the input's name without folder and extension.
std::string outputStem(const std::string& folder, const std::string& input);

// "%s (%d)%s": while path (or a name in `taken`) exists, "name (n).ext" for n = 1, 2, ...
std::string uniquePath(const std::string& path, bool (*taken)(const std::string&, void*) = nullptr, void* context = nullptr);

// The expected work of a file. DV: its frame count (-1 when it could not be indexed). HDV: bytes /
// bytes per frame (48128 when unknown), x 14/10 for burn-in, x 8/20 for audio extraction, 0 for the
// other operations except the exports, which count it whole. AVCHD: bytes / bytes per frame (49152
// when unknown), x 3 for burn-in, / 8 for the exports, x 8/20 for audio extraction, else 0. MPEG-2
// MOD: 1. Operations 9-11: 1 whatever the type.
int64_t fileWeight(BatchOp op, media::FileType type, int64_t dvFrames, int64_t fileSize, int64_t bytesPerFrame = 0);

}  // namespace zorv::batch
