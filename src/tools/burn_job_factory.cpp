#include "tools/burn_job_factory.h"

#include "tools/burn_in.h"

namespace zorv::tools {

std::unique_ptr<BurnJob> makeBurnJob(const BurnRequest& r) {
    if (core::isStreamFamily(r.family))
        return makeStreamBurnJob(r.family, r.input, r.output.empty() ? burnOutputName(r.input) : r.output, r.options,
                                 r.choice ? *r.choice : streamBurnChoice(r.options), r.overwrite, r.drawers);
    BurnInSettings settings = BurnInSettings::fromOptions(r.options);
    settings.firstFrame = r.firstFrame;
    settings.lastFrame = r.lastFrame;
    settings.toInputFile = r.toInputFile;
    if (!r.toInputFile) settings.output = r.output;
    settings.overwrite = r.overwrite;
    auto job = r.drawers ? std::make_unique<DvBurnInJob>(r.input, settings, r.drawers)
                         : std::make_unique<DvBurnInJob>(r.input, settings);
    job->build();
    return job;
}

}  // namespace zorv::tools
