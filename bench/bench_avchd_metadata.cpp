// Reading every picture's metadata of a 60-second AVCHD stream (1500 pictures, 1920x1080, MDPM with
// GPS in every access unit) with the AVC reader, in the same run as `ffprobe -show_packets` on the
// same file. The stream is generated once per run (set ZORV_BENCH_AVCHD to an existing file to reuse
// one).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "gen/avchd_writer.h"
#include "media/avchd_avc_reader.h"
#include "media/avchd_stream_info.h"

namespace {

const std::string& streamPath() {
    static const std::string path = [] {
        if (const char* env = std::getenv("ZORV_BENCH_AVCHD")) return std::string(env);
        const std::string p =
            (std::filesystem::temp_directory_path() / ("zorv-bench-avchd-" + std::to_string(::getpid()) + ".mts")).string();
        zorv::gen::AvchdSpec desc;
        desc.frames = 1500;
        desc.gps = zorv::gen::GpsMode::Track;
        desc.videoBitRate = 16000000;
        desc.gopSize = 12;
        if (!zorv::gen::writeAvchd(desc, p)) return std::string();
        std::atexit([] {
            if (!std::getenv("ZORV_BENCH_AVCHD")) std::filesystem::remove(streamPath());
        });
        return p;
    }();
    return path;
}

void BM_AvchdReadAllMetadata(benchmark::State& state) {
    const std::string& path = streamPath();
    if (path.empty()) {
        state.SkipWithError("could not generate the stream");
        return;
    }
    int64_t pictures = 0;
    for (auto _ : state) {
        pictures = 0;
        double lat = 0;
        zorv::media::readAvchdMetadata(path, [&](const zorv::media::AvchdMetadataRecord& rec, int64_t) {
            zorv::media::AvchdGpsValues g;
            if (zorv::media::avchdGpsValues(rec, g)) lat += g.latitude;
            ++pictures;
            return true;
        });
        benchmark::DoNotOptimize(lat);
    }
    state.counters["pictures"] = static_cast<double>(pictures);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_AvchdReadAllMetadata)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfprobeShowPackets(benchmark::State& state) {
    const std::string& path = streamPath();
    if (path.empty()) {
        state.SkipWithError("could not generate the stream");
        return;
    }
    const std::string cmd = "ffprobe -v error -show_packets '" + path + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffprobe failed");
    }
}
BENCHMARK(BM_FfprobeShowPackets)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
