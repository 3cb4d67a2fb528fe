// The metadata export against the plain scan it runs inside: a generated 60-second PAL file scanned
// alone, exported as CSV rows for every frame, and exported as "All metadata" subtitles (a cue per
// frame). The export should cost at most 1.5 x the scan. Also the per-row formatting alone.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/dv_decode.h"
#include "core/dv_pack_fill.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"
#include "tools/csv_export.h"
#include "tools/subtitle_export.h"

namespace {

namespace fs = std::filesystem;

const std::string& clipPath() {
    static const std::string path = [] {
        const std::string p = (fs::temp_directory_path() / "zorv-bench-export-60s.avi").string();
        if (!zorv::gen::writeClip(zorv::gen::palClip(1500), p, zorv::gen::Container::Avi1).ok()) return std::string();
        return p;
    }();
    return path;
}

std::string outPath(const char* name) { return (fs::temp_directory_path() / name).string(); }

void BM_Scan(benchmark::State& state) {
    if (clipPath().empty()) return state.SkipWithError("could not generate the clip");
    for (auto _ : state) {
        zorv::media::DvMediaFile file;
        if (!file.open(clipPath()) || !file.scan()) return state.SkipWithError("scan failed");
    }
    state.SetItemsProcessed(state.iterations() * 1500);
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportCsvAllFrames(benchmark::State& state) {
    if (clipPath().empty()) return state.SkipWithError("could not generate the clip");
    zorv::tools::CsvExportSettings s;
    s.mode = zorv::tools::CsvExportMode::kAllFrames;
    s.header = true;
    const std::string out = outPath("zorv-bench-export.csv");
    for (auto _ : state) {
        if (!zorv::tools::exportMetadataCsvFile(clipPath(), out, s, true).ok()) return state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * 1500);
    fs::remove(out);
}
BENCHMARK(BM_ExportCsvAllFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportSubtitlesAllMetadata(benchmark::State& state) {
    if (clipPath().empty()) return state.SkipWithError("could not generate the clip");
    zorv::tools::SubtitleSettings s;
    s.layout = zorv::tools::SubtitleLayout::kAllMetadata;
    const std::string out = outPath("zorv-bench-export.srt");
    for (auto _ : state) {
        if (!zorv::tools::exportSubtitlesFile(clipPath(), out, s, true).ok()) return state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * 1500);
    fs::remove(out);
}
BENCHMARK(BM_ExportSubtitlesAllMetadata)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CsvRowFormat(benchmark::State& state) {
    zorv::gen::ClipFrames frames;
    if (!frames.open(zorv::gen::palClip(2)).ok()) return state.SkipWithError("could not render a frame");
    std::vector<uint8_t> frame;
    frames.render(1, frame);
    zorv::core::MetadataRecord rec;
    zorv::core::DecodedValues v;
    zorv::core::fillRecord(rec, frame.data(), frame.size());
    zorv::core::decodeRecord(rec, v);
    zorv::tools::CsvRowFormatter f({}, 6.4e-05);
    int64_t n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(f.format(n++, rec, v));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CsvRowFormat);

}  // namespace

BENCHMARK_MAIN();
