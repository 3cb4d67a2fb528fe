// What the damage record adds to the metadata scan. Per frame: the pack fill, decode and comparison
// of the scan before it had damage records, against the same with the damage record read in the same
// pass (every DIF block header and every audio sample looked at). bench_dv_metadata's BM_ScanFile
// times the whole scan as it runs now; bench/damage_vs_ffmpeg.sh puts it beside ffmpeg's demux.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/dv_decode.h"
#include "core/dv_pack_fill.h"
#include "core/scene_sets.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/dv_frame_damage.h"

namespace {

using zorv::gen::System;

// 50 consecutive frames of a clip (distinct pictures, some damaged), one after another in memory.
std::vector<uint8_t> renderFrames(System system, size_t& frameSize) {
    zorv::gen::ClipSpec desc = system == System::Pal ? zorv::gen::palClip(50) : zorv::gen::ntscClip(50, true);
    desc.audio.tone = true;
    desc.damage = {{10, 0xA, 0.6}, {11, 0xF, 0.05}};
    desc.audioErrors = {{20, 0, 100}};
    zorv::gen::ClipFrames frames;
    if (!frames.open(desc).ok()) return {};
    std::vector<uint8_t> all, one;
    for (int64_t n = 0; n < desc.frames; ++n) {
        frames.render(n, one);
        all.insert(all.end(), one.begin(), one.end());
    }
    frameSize = desc.frameSize();
    return all;
}

template <bool kDamage>
void BM_FramePass(benchmark::State& state) {
    System system = state.range(0) ? System::Pal : System::Ntsc;
    size_t size = 0;
    std::vector<uint8_t> frames = renderFrames(system, size);
    if (frames.empty()) {
        state.SkipWithError("could not render the frames");
        return;
    }
    const size_t count = frames.size() / size;
    zorv::core::MetadataRecord rec;
    zorv::core::DecodedValues cur, prev;
    zorv::core::FrameDamage damage;
    zorv::core::SceneSets sets;
    int64_t n = 1;
    for (auto _ : state) {
        const uint8_t* f = frames.data() + size * static_cast<size_t>(n % static_cast<int64_t>(count));
        zorv::core::fillRecord(rec, f, size);
        if constexpr (kDamage) zorv::media::readFrameDamage(damage, f, size);
        zorv::core::decodeRecord(rec, cur);
        if constexpr (kDamage) zorv::core::checkTimecodeOrder(damage, cur, prev);
        sets.compareFrame(n, cur, prev, false);
        if constexpr (kDamage) sets.noteDamage(n, damage.damaged());
        prev = cur;
        ++n;
        benchmark::DoNotOptimize(rec);
        benchmark::DoNotOptimize(damage);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}
BENCHMARK_TEMPLATE(BM_FramePass, false)->Arg(1)->Arg(0)->ArgName("pal")->Name("BM_FramePass_PacksOnly");
BENCHMARK_TEMPLATE(BM_FramePass, true)->Arg(1)->Arg(0)->ArgName("pal")->Name("BM_FramePass_PacksAndDamage");

}  // namespace

BENCHMARK_MAIN();
