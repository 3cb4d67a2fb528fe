// Reading every picture's metadata of a 60-second HDV stream (25 Mbit/s, 1500 pictures) with the
// stream scan, in the same run as `ffprobe -show_packets` on the same file; the ffprobe time and the
// ratio are reported as counters (target: the scan at least 5 times faster).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "gen/hdv_writer.h"
#include "media/hdv_m2t_reader.h"
#include "media/hdv_stream_info.h"

namespace {

const std::string& stream60s() {
    static const std::string path = [] {
        zorv::gen::HdvSpec desc;
        desc.frames = 1500;
        desc.uniquePictures = 60;
        return zorv::gen::cachedHdv("bench60.m2t", desc);
    }();
    return path;
}

double ffprobeSeconds(const std::string& path) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::string cmd = "ffprobe -v error -show_packets '" + path + "' > /dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_HdvMetadataScan(benchmark::State& state) {
    const std::string& path = stream60s();
    if (path.empty()) {
        state.SkipWithError("could not generate the stream");
        return;
    }
    int64_t records = 0;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        zorv::media::HdvStreamInfo info;
        zorv::media::scanHdvStream(path, false, info);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        records = static_cast<int64_t>(info.records.size());
        benchmark::DoNotOptimize(info.records.data());
    }
    const double ours = total / static_cast<double>(state.iterations());
    const double ff = ffprobeSeconds(path);
    state.counters["records"] = static_cast<double>(records);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["ffprobe_s"] = ff;
    state.counters["speedup"] = ours > 0 && ff > 0 ? ff / ours : 0;
}
BENCHMARK(BM_HdvMetadataScan)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HdvReaderOpen(benchmark::State& state) {
    const std::string& path = stream60s();
    for (auto _ : state) {
        zorv::media::M2tReader r;
        benchmark::DoNotOptimize(r.open(path));
    }
}
BENCHMARK(BM_HdvReaderOpen)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
