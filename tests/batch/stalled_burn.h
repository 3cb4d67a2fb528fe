// A burn-in of an HDV or AVCHD file whose decoder never delivers a picture, as a decoder unfit for
// burn-in behaves: the batch tests use it to reach the no-progress timeout. The output file is
// created when the run starts, so that its removal can be seen.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "batch/batch_runner.h"
#include "tools/burn_job_factory.h"
#include "tools/stream_burn_in.h"

namespace zorv::testing {

class StalledSource : public tools::PictureSource {
public:
    Result next(tools::DecodedPicture&) override { return Result::kNothingYet; }
    int64_t duration() const override { return 10000000; }
};

class FileSink : public tools::PictureSink {
public:
    core::Status open(const std::string& path) override {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return core::Status::failure(core::ErrorCode::kWriteFailed, "Could not create output file - ");
        std::fclose(f);
        return core::Status::success();
    }
    core::Status write(const core::RgbPicture&, int64_t) override { return core::Status::success(); }
    core::Status close() override { return core::Status::success(); }
};

// The factory (DV files get their own job); ticks > 0 lets the job time itself out after that many
// ticks of tickMs.
inline tools::BurnJobMaker stalledBurnFactory(int tickMs = 200, int ticks = 50) {
    return [tickMs, ticks](const tools::BurnRequest& r) -> std::unique_ptr<tools::BurnJob> {
        if (!core::isStreamFamily(r.family)) return tools::makeBurnJob(r);
        media::OutputFile out;
        if (core::Status s = out.begin(r.output, {}); !s) return std::make_unique<tools::StreamBurnInJob>(r.family, s);
        auto job = std::make_unique<tools::StreamBurnInJob>(r.family, std::move(out), std::make_unique<StalledSource>(),
                                                            std::make_unique<FileSink>(), overlay::DrawerFactory{});
        job->setWatch(std::chrono::milliseconds(tickMs), ticks);
        return job;
    };
}

}  // namespace zorv::testing
