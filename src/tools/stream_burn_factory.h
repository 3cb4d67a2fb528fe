// The burn-in job of an HDV (1080-line) or AVCHD file as the options describe it: the decoder chosen
// for the family (else the first one that works), the output compressor ("Uncompressed": 24-bit RGB)
// and whether the sound goes along. The command line, the batch and the window all start it this way.
#pragma once

#include <memory>
#include <string>

#include "core/options.h"
#include "tools/stream_burn_in.h"

namespace zorv::tools {

inline constexpr const char* kNoHdvDecoder = "No HDV MPEG-2 video decoder configured";

struct StreamBurnChoice {
    std::string compressor;  // libavcodec encoder name; empty: uncompressed
    bool audio = false;
};

// The compressor and sound of the options.
StreamBurnChoice streamBurnChoice(const core::Options& options);

// Checks the output (refused when it is the input, or exists without overwrite), opens the input
// with its decoder and builds the job (not started), drawn by drawers (empty: the overlay layer of
// the options). A failed build's text (built()) is the output's refusal, no decoder configured, or
// the reader's or decoder's failure text.
std::unique_ptr<StreamBurnInJob> makeStreamBurnJob(core::MediaFamily family, const std::string& input,
                                                   const std::string& output, const core::Options& options,
                                                   const StreamBurnChoice& choice, bool overwrite,
                                                   overlay::DrawerFactory drawers);

}  // namespace zorv::tools
