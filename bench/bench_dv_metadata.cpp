// Per-frame cost of the DV metadata path (fill the record, decode it, compare with the previous
// frame) and of the full-file scan on a generated 60-second file, PAL and NTSC.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/dv_decode.h"
#include "core/dv_pack_fill.h"
#include "core/scene_sets.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"

namespace {

using zorv::gen::System;

std::vector<uint8_t> renderFrame(System system) {
    zorv::gen::ClipSpec desc = system == System::Pal ? zorv::gen::palClip(2) : zorv::gen::ntscClip(2, true);
    zorv::gen::ClipFrames frames;
    if (!frames.open(desc).ok()) return {};
    std::vector<uint8_t> out;
    frames.render(1, out);
    return out;
}

void BM_FillDecodeCompare(benchmark::State& state) {
    System system = state.range(0) ? System::Pal : System::Ntsc;
    std::vector<uint8_t> frame = renderFrame(system);
    if (frame.empty()) {
        state.SkipWithError("could not render a frame");
        return;
    }
    zorv::core::MetadataRecord rec;
    zorv::core::DecodedValues cur, prev;
    zorv::core::SceneSets sets;
    int64_t n = 1;
    for (auto _ : state) {
        zorv::core::fillRecord(rec, frame.data(), frame.size());
        zorv::core::decodeRecord(rec, cur);
        sets.compareFrame(n++, cur, prev, false);
        prev = cur;
        benchmark::DoNotOptimize(rec);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_FillDecodeCompare)->Arg(1)->Arg(0)->ArgName("pal");

void BM_ScanFile(benchmark::State& state) {
    System system = state.range(0) ? System::Pal : System::Ntsc;
    zorv::gen::ClipSpec desc = system == System::Pal ? zorv::gen::palClip(1500) : zorv::gen::ntscClip(1800, true);
    std::string path = (std::filesystem::temp_directory_path() /
                        (system == System::Pal ? "zorv-bench-scan-pal.avi" : "zorv-bench-scan-ntsc.avi"))
                           .string();
    if (!zorv::gen::writeClip(desc, path, zorv::gen::Container::Avi1).ok()) {
        state.SkipWithError("could not generate the clip");
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) {
        zorv::media::DvMediaFile file;
        if (!file.open(path) || !file.scan()) {
            state.SkipWithError("scan failed");
            break;
        }
        frames += file.frameCount();
    }
    state.SetItemsProcessed(frames);
    std::remove(path.c_str());
}
BENCHMARK(BM_ScanFile)->Arg(1)->Arg(0)->ArgName("pal")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
