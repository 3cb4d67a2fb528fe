// One container the program knows: how it is recognised, its family, its names and which tools apply.
// The rest of the program looks a file's descriptor up (format_table.h) instead of branching on its
// type; adding a container is one descriptor, its reader and the table entry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/media_family.h"
#include "media/file_io.h"
#include "media/file_type.h"
#include "media/recognize.h"

namespace zorv::media {

// What a probe learns from the file's first bytes; reads are done once and shared by the probes.
class ProbeContext {
public:
    ProbeContext(const File& file, int64_t size, const uint8_t* head) : file_(file), size_(size), head_(head) {}
    ~ProbeContext();
    ProbeContext(const ProbeContext&) = delete;
    ProbeContext& operator=(const ProbeContext&) = delete;

    const File& file() const { return file_; }
    int64_t size() const { return size_; }
    const uint8_t* head() const { return head_; }  // kAviHeaderBytes bytes
    bool isRiffAvi() const;

    // The file's first min(size, kTsTestBytes) bytes, read on first use; false (r holds the failure)
    // when they cannot be read.
    bool start(Recognition& r, const uint8_t*& data, size_t& n);
    // Packet geometry of a transport stream of at least kTsMinSize bytes; nullptr when none. Needs start().
    const TsGeometry* tsGeometry();
    // detectHdv over the whole test read (kUnknown when the read was short), worked out once.
    FileType hdvType();

private:
    const File& file_;
    int64_t size_;
    const uint8_t* head_;
    uint8_t* buf_ = nullptr;
    size_t n_ = 0;
    bool read_ = false;
    int geometryState_ = 0;  // 0 not tried, 1 found, -1 none
    TsGeometry geometry_;
    bool hdvDone_ = false;
    FileType hdv_ = FileType::kUnknown;
};

enum class ProbeVerdict {
    kNotMine,  // the next descriptor tries
    kMine,     // recognised as this descriptor's type
    kRefused,  // the file is of this kind but unsupported: recognition ends with kUnsupported
    kFailed,   // a read failed: recognition ends with the failure set in the Recognition
};
using ProbeFn = ProbeVerdict (*)(ProbeContext& ctx, Recognition& r);

// The tools that apply to a container, as bits.
namespace format_tool {
inline constexpr uint32_t kExtractAudio = 0x001;
inline constexpr uint32_t kBurnIn = 0x002;
inline constexpr uint32_t kSplit = 0x004;
inline constexpr uint32_t kModify = 0x008;
inline constexpr uint32_t kConvert = 0x010;       // DV conversion between AVI Type 1, Type 2 and Raw DV
inline constexpr uint32_t kStreamExport = 0x020;  // metadata and subtitles of a transport stream
inline constexpr uint32_t kRepair = 0x040;        // AVI index repair
inline constexpr uint32_t kPlay = 0x080;          // the player and the window open it
}  // namespace format_tool

// The conversion targets, as bits.
namespace convert_target {
inline constexpr uint32_t kAvi1 = 0x1;
inline constexpr uint32_t kAvi2 = 0x2;
inline constexpr uint32_t kRawDv = 0x4;
}  // namespace convert_target

struct FormatDescriptor {
    FileType type = FileType::kUnknown;
    const char* name = "?";       // long display name ("AVI Type 1", "HDV2 (1080)")
    const char* shortName = "?";  // short display name ("AVI 1", "HDV2")
    core::MediaFamily family = core::MediaFamily::kNone;
    int aviType = 0;                     // 1 or 2 for DV in AVI, else 0
    int hdvLines = 0;                    // picture lines of HDV (1080 or 720), else 0
    const char* extension = "";          // the usual file extension (".avi", ".m2t")
    const char* audioExtension = "";     // of the extracted audio (".wav", ".ac3")
    uint32_t tools = 0;                  // format_tool bits
    uint32_t convertTargets = 0;         // convert_target bits: what this file converts to
    const char* loadFailure = nullptr;   // the player's text when a DV file cannot be loaded
    const char* playRefusal = nullptr;   // why it is not played ("%s": the path); nullptr: played
    const char* premiereSkip = nullptr;  // why the Premiere start timecode fix passes over it
    ProbeFn probe = nullptr;

    bool has(uint32_t tool) const { return (tools & tool) != 0; }
    bool isDv() const { return family == core::MediaFamily::kDv; }
    bool isStream() const { return core::isStreamFamily(family); }
};

}  // namespace zorv::media
