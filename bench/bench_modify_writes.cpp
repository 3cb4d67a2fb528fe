// Where the time of an in-place metadata change goes, on a generated 60-second PAL AVI (1500 frames)
// with the changes of bench/modify_vs_cat.sh (timecode from 10:00:00:00, recording time + 1 hour,
// user bits):
//   Direct       the modifier changing the file itself (in this process: no start-up);
//   WritesAlone  only the writes direct mode has to make: the same 400-byte run (subcode and VAUX
//                blocks) of every DIF sequence written back, 12 per frame, nothing read or decoded.
// WritesAlone is what the kernel takes for the small rewrites themselves, the floor of direct mode:
// output-file time / WritesAlone is the most direct mode can gain over output-file mode on this
// machine and file system (bench/modify_vs_cat.sh prints it). Every run starts from a fresh copy of
// the file (made outside the timing, as `cp` would), with the page cache warm.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/dv_layout.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"
#include "tools/dv_metadata_modifier.h"

namespace {

namespace fs = std::filesystem;

const std::string& sourceFile() {
    static const std::string path = [] {
        const std::string p = (fs::temp_directory_path() / "zorv-bench-modify-src.avi").string();
        if (!zorv::gen::writeClip(zorv::gen::palClip(1500), p, zorv::gen::Container::Avi1).ok()) return std::string();
        return p;
    }();
    return path;
}

std::string workFile() { return (fs::temp_directory_path() / "zorv-bench-modify-work.avi").string(); }

bool freshCopy() {
    std::error_code ec;
    fs::copy_file(sourceFile(), workFile(), fs::copy_options::overwrite_existing, ec);
    ::sync();
    return !ec;
}

bool modify(const std::string& input, const std::string& output) {
    zorv::tools::ModifySettings s;
    s.timecodeEnabled = true;
    s.timecodeMode = zorv::core::ModifyMode::kStartFrom;
    s.tcHours = 10;
    s.dateTimeEnabled = true;
    s.dateTimeMode = zorv::core::ModifyMode::kAdjustBy;
    s.hours = 1;
    s.userBitsEnabled = true;
    s.userBits = {0x12, 0x34, 0x56, 0x78};
    zorv::tools::DvMetadataModifier mod;
    mod.setSettings(s);
    mod.setInputPath(input);
    mod.setOutputPath(output);
    return mod.open() && mod.run().ok();
}

void BM_Direct(benchmark::State& state) {
    if (sourceFile().empty()) return state.SkipWithError("could not generate the clip");
    for (auto _ : state) {
        state.PauseTiming();
        if (!freshCopy()) return state.SkipWithError("could not copy the clip");
        state.ResumeTiming();
        if (!modify(workFile(), std::string())) return state.SkipWithError("modify failed");
    }
    fs::remove(workFile());
}
BENCHMARK(BM_Direct)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WritesAlone(benchmark::State& state) {
    if (sourceFile().empty()) return state.SkipWithError("could not generate the clip");
    zorv::media::DvMediaFile media;
    if (!media.open(sourceFile())) return state.SkipWithError("could not open the clip");
    std::vector<int64_t> runs;
    for (const auto& e : media.frameIndex().entries)
        if (!e.empty())
            for (int q = 0; q < 12; ++q)
                runs.push_back(static_cast<int64_t>(e.offset) + q * zorv::core::dv::kSequenceSize +
                               zorv::core::dv::kDifBlockSize);
    constexpr size_t kRun = 5 * zorv::core::dv::kDifBlockSize;
    std::vector<uint8_t> bytes(runs.size() * kRun);
    for (auto _ : state) {
        state.PauseTiming();
        if (!freshCopy()) return state.SkipWithError("could not copy the clip");
        const int fd = ::open(workFile().c_str(), O_RDWR | O_CLOEXEC);
        bool ok = fd >= 0;
        for (size_t i = 0; ok && i < runs.size(); ++i)
            ok = ::pread(fd, bytes.data() + i * kRun, kRun, runs[i]) == static_cast<ssize_t>(kRun);
        state.ResumeTiming();
        for (size_t i = 0; ok && i < runs.size(); ++i)
            ok = ::pwrite(fd, bytes.data() + i * kRun, kRun, runs[i]) == static_cast<ssize_t>(kRun);
        state.PauseTiming();
        if (fd >= 0) ::close(fd);
        state.ResumeTiming();
        if (!ok) return state.SkipWithError("a write failed");
    }
    state.counters["writes"] = static_cast<double>(runs.size());
    fs::remove(workFile());
}
BENCHMARK(BM_WritesAlone)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
