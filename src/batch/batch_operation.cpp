#include "batch/batch_operation.h"

#include <array>
#include <cstdio>
#include <filesystem>

#include "media/formats/format_table.h"

namespace zorv::batch {

namespace {

using media::FileType;

const OperationEntry kOperations[] = {
    {"Convert file to AVI Type 1", BatchOp::kConvertAvi1, "avi1"},
    {"Convert file to AVI Type 2", BatchOp::kConvertAvi2, "avi2"},
    {"Convert file to Raw DV", BatchOp::kConvertRawDv, "rawdv"},
    {"Burn-in Metadata", BatchOp::kBurnIn, "burn"},
    {"Modify Metadata", BatchOp::kModify, "modify"},
    {"Split File", BatchOp::kSplit, "split"},
    {"Extract Audio", BatchOp::kExtractAudio, "extract-audio"},
    {"Export Metadata", BatchOp::kExportMetadata, "export"},
    {"Export Subtitles", BatchOp::kExportSubtitles, "subtitles"},
    {"Set \"Date Modified\" to Start Date/Time", BatchOp::kSetDateModified, "set-mtime"},
    {"Append Start Date/Time to file name", BatchOp::kAppendDateToName, "rename"},
    {"Fix Premiere Start Timecode in DV AVI", BatchOp::kFixPremiere, "fix-premiere"},
};

// One skip line per operation and file type (index = type number 0..7); nullptr: the type is taken.
struct SkipRow {
    BatchOp op;
    std::array<const char*, 8> lines;
};

constexpr const char* kSameType = "File skipped - conversion to same file type was requested";
constexpr const char* kHdvToAvi = "File skipped - conversion of HDV M2T to DV AVI not currently supported";
constexpr const char* kAvchdToAvi = "File skipped - conversion of AVCHD M2TS to DV AVI not currently supported";
constexpr const char* kModToAvi = "File skipped - conversion of MPEG-2 MOD to DV AVI not currently supported";
constexpr const char* kHdvToRaw = "File skipped - conversion of HDV M2T to Raw DV not currently supported";

const SkipRow kSkipRows[] = {
    {BatchOp::kConvertAvi1, {nullptr, kSameType, nullptr, nullptr, kHdvToAvi, kHdvToAvi, kAvchdToAvi, kModToAvi}},
    {BatchOp::kConvertAvi2, {nullptr, nullptr, kSameType, nullptr, kHdvToAvi, kHdvToAvi, kAvchdToAvi, kModToAvi}},
    {BatchOp::kConvertRawDv,
     {nullptr, nullptr, nullptr, kSameType, kHdvToRaw, kHdvToRaw,
      "File skipped - conversion of AVCHD M2TS to Raw DV not currently supported",
      "File skipped - conversion of MPEG-2 MOD to Raw DV not currently supported"}},
    {BatchOp::kExtractAudio,
     {nullptr, nullptr, nullptr, nullptr, nullptr,
      "File skipped - audio extraction from HDV1 (720 line) M2T file type not currently supported", nullptr,
      "File skipped - audio extraction from MPEG-2 MOD file type not currently supported"}},
    {BatchOp::kBurnIn,
     {nullptr, nullptr, nullptr, "File skipped - burn-in of Raw DV file type not currently supported", nullptr,
      "File skipped - burn-in of HDV1 (720 line) M2T file type not currently supported", nullptr,
      "File skipped - burn-in of MPEG-2 MOD file type not currently supported"}},
    {BatchOp::kModify,
     {nullptr, nullptr, nullptr, "File skipped - metadata modification of Raw DV file type not supported",
      "File skipped - metadata modification of HDV M2T file type not currently supported",
      "File skipped - metadata modification of HDV M2T file type not currently supported",
      "File skipped - metadata modification of AVCHD M2TS file type not currently supported",
      "File skipped - metadata modification of MPEG-2 MOD file type not currently supported"}},
    {BatchOp::kSplit,
     {nullptr, nullptr, nullptr, "File skipped - splitting of Raw DV file type not supported",
      "File skipped - splitting of HDV M2T file type not currently supported",
      "File skipped - splitting of HDV M2T file type not currently supported",
      "File skipped - splitting of AVCHD M2TS file type not currently supported",
      "File skipped - splitting of MPEG-2 MOD file type not currently supported"}},
    // The exports read DV frames and HDV/AVCHD pictures.
    {BatchOp::kExportMetadata,
     {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
      "File skipped - metadata export of MPEG-2 MOD file type not supported"}},
    {BatchOp::kExportSubtitles,
     {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
      "File skipped - subtitle export of MPEG-2 MOD file type not supported"}},
    // The start date and time is read from the first DV frame's packs only.
    {BatchOp::kAppendDateToName,
     {nullptr, nullptr, nullptr, nullptr,
      "File skipped - appending start date/time to file name of HDV M2T file type not currently supported",
      "File skipped - appending start date/time to file name of HDV M2T file type not currently supported",
      "File skipped - appending start date/time to file name of AVCHD M2TS file type not currently supported",
      "File skipped - MPEG-2 MOD file type does not record a start date/time"}},
    {BatchOp::kSetDateModified,
     {nullptr, nullptr, nullptr, nullptr,
      "File skipped - setting Date Modified of HDV M2T file type not currently supported",
      "File skipped - setting Date Modified of HDV M2T file type not currently supported",
      "File skipped - setting Date Modified of AVCHD M2TS file type not currently supported",
      "File skipped - MPEG-2 MOD file type does not record a start date/time"}},
    {BatchOp::kFixPremiere,
     {nullptr, nullptr, nullptr, "File skipped - Raw DV file type does not support a Premiere start timecode",
      "File skipped - fixing Premiere start timecode in HDV M2T file type not currently supported",
      "File skipped - fixing Premiere start timecode in HDV M2T file type not currently supported",
      "File skipped - AVCHD M2TS file type does not support a Premiere start timecode",
      "File skipped - MPEG-2 MOD file type does not support a Premiere start timecode"}},
};

}  // namespace

std::span<const OperationEntry> operationList() { return kOperations; }

const OperationEntry* operationByText(const std::string& text) {
    for (const auto& e : kOperations)
        if (text == e.text) return &e;
    return nullptr;
}

const OperationEntry* operationByCliName(const std::string& name) {
    for (const auto& e : kOperations)
        if (name == e.cliName) return &e;
    return nullptr;
}

const OperationEntry& operationEntry(BatchOp op) {
    for (const auto& e : kOperations)
        if (e.code == op) return e;
    return kOperations[0];
}

const char* skipLine(BatchOp op, FileType type) {
    const int t = static_cast<int>(type);
    if (t < 1 || t > 7) return nullptr;
    for (const auto& row : kSkipRows)
        if (row.op == op) return row.lines[static_cast<size_t>(t)];
    return nullptr;
}

std::string startLine(BatchOp op, FileType type) {
    const bool raw = media::formatOf(type).isDv() && media::formatOf(type).aviType == 0;
    switch (op) {
    case BatchOp::kConvertAvi1:
        return raw ? "Converting from Raw DV to AVI Type 1 ..." : "Converting from AVI Type 2 to AVI Type 1 ...";
    case BatchOp::kConvertAvi2:
        return raw ? "Converting from Raw DV to AVI Type 2 ..." : "Converting from AVI Type 1 to AVI Type 2 ...";
    case BatchOp::kConvertRawDv: {
        char line[64];
        std::snprintf(line, sizeof line, "Converting from AVI Type %d to Raw DV ...", static_cast<int>(type));
        return line;
    }
    case BatchOp::kExtractAudio: return "Extracting audio ...";
    case BatchOp::kBurnIn: return "Burning-in metadata ...";
    case BatchOp::kModify: return "Modifying metadata ...";
    case BatchOp::kSplit: return "Splitting File ...";
    case BatchOp::kExportMetadata: return "Exporting metadata ...";
    case BatchOp::kExportSubtitles: return "Exporting subtitles ...";
    case BatchOp::kAppendDateToName: return "Appending start date/time to file name ...";
    case BatchOp::kSetDateModified: return "Setting \"Date Modified\" to start date/time ...";
    case BatchOp::kFixPremiere: return "Fixing Premiere start timecode ...";
    }
    return {};
}

const char* outputSuffix(BatchOp op, FileType type) {
    switch (op) {
    case BatchOp::kConvertAvi1:
    case BatchOp::kConvertAvi2: return "-conv.avi";
    case BatchOp::kConvertRawDv: return "-conv.dv";
    case BatchOp::kExtractAudio: {
        const char* ext = media::formatOf(type).audioExtension;
        return *ext ? ext : ".wav";
    }
    case BatchOp::kBurnIn: return "-burn.avi";
    case BatchOp::kModify: return "-mod.avi";
    case BatchOp::kExportMetadata: return ".csv";
    case BatchOp::kExportSubtitles: return ".srt";
    default: return "";
    }
}

std::string outputStem(const std::string& folder, const std::string& input) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    return f + "/" + std::filesystem::path(input).stem().string();
}

std::string uniquePath(const std::string& path, bool (*taken)(const std::string&, void*), void* context) {
    auto used = [&](const std::string& p) {
        std::error_code ec;
        return std::filesystem::exists(p, ec) || (taken && taken(p, context));
    };
    if (!used(path)) return path;
    const std::filesystem::path p(path);
    const std::string ext = p.extension().string();
    const std::string base = path.substr(0, path.size() - ext.size());
    for (int n = 1;; ++n) {
        const std::string candidate = base + " (" + std::to_string(n) + ")" + ext;
        if (!used(candidate)) return candidate;
    }
}

int64_t fileWeight(BatchOp op, FileType type, int64_t dvFrames, int64_t fileSize, int64_t bytesPerFrame) {
    if (changesInputFiles(op)) return 1;
    const bool exports = op == BatchOp::kExportMetadata || op == BatchOp::kExportSubtitles;
    const media::FormatDescriptor& format = media::formatOf(type);
    switch (format.family) {
    case core::MediaFamily::kDv: return dvFrames;
    case core::MediaFamily::kHdv: {
        const int64_t frames = fileSize / (bytesPerFrame > 0 ? bytesPerFrame : 48128);
        if (op == BatchOp::kBurnIn) return frames * 14 / 10;
        if (op == BatchOp::kExtractAudio) return frames * 8 / 20;
        return exports ? frames : 0;
    }
    case core::MediaFamily::kAvchd: {
        const int64_t frames = fileSize / (bytesPerFrame > 0 ? bytesPerFrame : 49152);
        if (op == BatchOp::kBurnIn) return frames * 3;
        if (op == BatchOp::kExtractAudio) return frames * 8 / 20;
        return exports ? frames / 8 : 0;
    }
    case core::MediaFamily::kNone: break;
    }
    return format.probe ? 1 : 0;  // a recognised file of no family (MOD) counts as one step
}

}  // namespace zorv::batch
