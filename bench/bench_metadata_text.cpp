// Cost of formatting every metadata item of one frame, as the player does for each shown frame.
#include <benchmark/benchmark.h>

#include "core/metadata_record.h"
#include "core/metadata_text.h"

using namespace zorv::core;

namespace {

MetadataRecord cameraRecord() {
    MetadataRecord rec;
    rec.set(0x13, 0x12, 0x34, 0x05, 0x09);
    rec.set(0x14, 0x01, 0x23, 0x45, 0x67);
    rec.set(0x62, 0xFF, 0x31, 0x12, 0x09);
    rec.set(0x63, 0xFF, 0x05, 0x30, 0x14);
    rec.set(0x70, 13, 0x03, 0x64, 0x0D);
    rec.set(0x71, 0, 0x7F, 0, 0);
    rec.set(0x7F, 0, 0, 312 & 0xFF, 312 >> 8);
    rec.set(0x50, 0, 0, 0, 0x08);
    return rec;
}

void BM_FormatDvItems(benchmark::State& state) {
    const MetadataRecord rec = cameraRecord();
    const DisplaySettings ds;
    const auto v = static_cast<TextVariant>(state.range(0));
    ShutterFormatter sf;
    TextBuf t;
    int64_t n = 0;
    for (auto _ : state) {
        formatFramePosition(t, n++, 4, ds, v);
        formatTimecode(t, rec, 4, ds, v);
        formatUserBits(t, rec, v);
        formatRecDate(t, rec, ds, v);
        formatRecTime(t, rec, v);
        sf.format(t, rec, 2, 6.4e-05, v);
        formatIris(t, rec, v);
        formatGain(t, rec, v);
        formatExposureMode(t, rec, v);
        formatWhiteBalance(t, rec, v);
        formatFocusDistance(t, rec, v);
        formatFocusMode(t, rec, v);
        formatStabilizer(t, rec, v);
        formatAudioMode(t, rec, v);
        benchmark::DoNotOptimize(t.s[0]);
    }
}
BENCHMARK(BM_FormatDvItems)
    ->Arg(static_cast<int>(TextVariant::MetadataWindow))
    ->Arg(static_cast<int>(TextVariant::DvBurnIn));

}  // namespace

BENCHMARK_MAIN();
