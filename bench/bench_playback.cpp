// Real-time playback: a generated 30-second PAL DV file and a 30-second 1920x1080 AVCHD stream (25
// pictures/s, H.264 with per-picture MDPM tags) played from start to end through the player engine
// with no sound output, the picture pulled as the window would. Reports the pictures shown and
// dropped and the process CPU time as a share of one core over the wall time of the play. The AVCHD
// stream is played a second time with its AC-3 sound decoded and written to the null output, to show
// what the sound costs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "gen/avchd_writer.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "playback/player.h"

namespace {

using namespace std::chrono_literals;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void playToEnd(benchmark::State& state, const std::string& path, bool sound = false) {
    zorv::playback::PlayerConfig config;
    config.audio = sound;
    config.audioBackend = zorv::playback::AudioBackendKind::kNull;
    for (auto _ : state) {
        zorv::playback::Player player;
        if (!player.open(path, config).ok()) {
            state.SkipWithError(player.lastError().c_str());
            return;
        }
        zorv::playback::ShownPicture pic;
        int64_t seen = 0;
        const double cpu0 = cpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        player.run();
        bool done = false;
        zorv::playback::PlayerEvent ev;
        while (!done) {
            // The window's side: pull each new picture.
            if (player.pictureSerial() != pic.serial && player.currentPicture(pic)) ++seen;
            while (player.pollEvent(ev)) done = done || ev.kind != zorv::playback::PlayerEventKind::kPaused;
            std::this_thread::sleep_for(5ms);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const double cpu = cpuSeconds() - cpu0;
        state.SetIterationTime(wall);
        state.counters["pictures"] = static_cast<double>(player.pictureCount());
        state.counters["shown"] = static_cast<double>(player.shownPictures() - 1);
        state.counters["dropped"] = static_cast<double>(player.droppedPictures());
        state.counters["pulled"] = static_cast<double>(seen);
        state.counters["cpu_pct_of_core"] = 100.0 * cpu / wall;
    }
}

void BM_PlayPalDv30s(benchmark::State& state) {
    static const std::string path =
        zorv::gen::cachedClip("bench-play-pal-30s.avi", zorv::gen::palClip(750), zorv::gen::Container::Avi1);
    if (path.empty()) {
        state.SkipWithError("could not write the clip");
        return;
    }
    playToEnd(state, path);
}
BENCHMARK(BM_PlayPalDv30s)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

// 30 s of 1920x1080 at 25 pictures/s, written once per run.
const std::string& avchdStream() {
    static const std::string path = [] {
        zorv::gen::AvchdSpec desc;
        desc.frames = 750;
        desc.width = 1920;
        desc.height = 1080;
        desc.fps = 25;
        desc.gps = zorv::gen::GpsMode::Track;
        return zorv::gen::cachedAvchd("bench-play-avchd-30s.m2ts", desc);
    }();
    return path;
}

void BM_PlayAvchd1080i30s(benchmark::State& state) {
    const std::string& path = avchdStream();
    if (path.empty()) {
        state.SkipWithError("could not write the stream");
        return;
    }
    playToEnd(state, path);
}
BENCHMARK(BM_PlayAvchd1080i30s)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

void BM_PlayAvchd1080i30sWithSound(benchmark::State& state) {
    const std::string& path = avchdStream();
    if (path.empty()) {
        state.SkipWithError("could not write the stream");
        return;
    }
    playToEnd(state, path, true);
}
BENCHMARK(BM_PlayAvchd1080i30sWithSound)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
