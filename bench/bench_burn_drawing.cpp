// The drawing share of HDV/AVCHD burn-in: one 1920 x 1080 decoded frame (planar YUV 4:2:0) drawn on
// as burn-in does it, with the four texts of bench/burn_vs_ffmpeg.sh (timecode, recording time and
// date, file progress) and with the default items. The frame number and timecode move every frame, so
// the text changes as in a real run. Each iteration first restores the rows the text can reach from
// the undrawn frame (about 0.6 MB copied, included in the time), so that every drawing lands on
// fresh pixels.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "core/options.h"
#include "overlay/overlay_drawer.h"
#include "tools/burn_in_frame_painter.h"

namespace {

using namespace zorv;

media::codec::FramePtr picture(unsigned seed) {
    media::codec::FramePtr f = media::codec::makePicture(1920, 1080, AV_PIX_FMT_YUV420P);
    std::mt19937 rng(seed);
    // A smooth gradient with some noise, not unlike a decoded camera picture.
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? 540 : 1080); ++y)
            for (int x = 0; x < (p ? 960 : 1920); ++x)
                f->data[p][y * f->linesize[p] + x] =
                    static_cast<uint8_t>(p ? 128 + (x - 480) / 8 : 16 + (x + y) / 16 + rng() % 8);
    return f;
}

void paintFrames(benchmark::State& state, uint32_t items) {
    overlay::OverlaySettings settings;
    settings.itemMask = items;
    auto drawer = overlay::overlayDrawerFactory(settings, core::MediaFamily::kAvchd)();
    if (!drawer->prepare(1920, 1080, false, 16, 9)) {
        state.SkipWithError("prepare failed");
        return;
    }
    int top = 0, rows = 0;
    drawer->band(top, rows);
    const media::codec::FramePtr clean = picture(1);
    media::codec::FramePtr work = picture(1);
    core::MetadataRecord rec;
    rec.set(0x62, 0xFF, 0x31, 0x12, 0x08);
    rec.set(0x63, 0xFF, 0x24, 0x16, 0x23);
    overlay::BurnFrameInfo info;
    info.record = &rec;
    tools::FramePainter painter;
    int64_t n = 0;
    for (auto _ : state) {
        for (int p = 0; p < 3; ++p) {
            const int y0 = p ? top / 2 : top, y1 = p ? (top + rows + 1) / 2 : top + rows;
            for (int y = y0; y < y1; ++y)
                std::memcpy(work->data[p] + y * work->linesize[p], clean->data[p] + y * clean->linesize[p], p ? 960 : 1920);
        }
        // Timecode hh:mm:ss:ff from the frame count at 25 pictures a second, as BCD.
        const int64_t ff = n % 25, ss = n / 25 % 60, mm = n / 1500 % 60;
        auto bcd = [](int64_t v) { return static_cast<uint8_t>(v / 10 * 16 + v % 10); };
        rec.set(0x13, bcd(ff), bcd(ss), bcd(mm), 0x10);
        info.frameNumber = n;
        info.pts = n * 3600;
        if (!painter.paint(work.get(), work.get(), *drawer, info)) state.SkipWithError("paint failed");
        benchmark::DoNotOptimize(work->data[0]);
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PaintFourTexts(benchmark::State& state) {
    using core::BurnItem;
    paintFrames(state, core::burnItemBit(BurnItem::kTimecode) | core::burnItemBit(BurnItem::kRecTime) |
                           core::burnItemBit(BurnItem::kRecDate) | core::burnItemBit(BurnItem::kFileProgress));
}
BENCHMARK(BM_PaintFourTexts)->Unit(benchmark::kMicrosecond);

void BM_PaintDefaultItems(benchmark::State& state) { paintFrames(state, overlay::OverlaySettings{}.itemMask); }
BENCHMARK(BM_PaintDefaultItems)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
