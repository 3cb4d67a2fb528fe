// The burn-in job a file's family takes: DV AVI files re-encoded as DV (into an output file or, when
// asked, into the input itself), HDV 1080 and AVCHD through the chosen decoder into an output AVI.
// The window, the batch and the command line all start burn-ins this way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/media_family.h"
#include "core/options.h"
#include "overlay/picture_drawer.h"
#include "tools/burn_job.h"
#include "tools/stream_burn_factory.h"

namespace zorv::tools {

struct BurnRequest {
    std::string input;
    core::MediaFamily family = core::MediaFamily::kDv;
    core::Options options = core::Options::defaults();  // what is drawn, the mode, the decoders
    std::string output;         // empty: the input's name with "-burn.avi" (unless into the input)
    bool overwrite = false;     // an existing output is replaced when the run has completed
    bool toInputFile = false;   // DV: burn into the input file itself
    int64_t firstFrame = 0;     // DV: the frames burnt in; the others are copied as they are
    int64_t lastFrame = -1;     // -1: to the end
    std::optional<StreamBurnChoice> choice;  // HDV/AVCHD compressor and sound; none: the options'
    overlay::DrawerFactory drawers;          // empty: the overlay layer of the options
};

// Builds the job of the request's family (never null; built() says whether it can run).
std::unique_ptr<BurnJob> makeBurnJob(const BurnRequest& request);

// Makes burn-in jobs in place of makeBurnJob (tests give decoders that never deliver).
using BurnJobMaker = std::function<std::unique_ptr<BurnJob>(const BurnRequest&)>;

}  // namespace zorv::tools
