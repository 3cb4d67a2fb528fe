// Arbitrary bytes as a DV frame: the record fill, decoding, every text form and the direct searches.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/dv_decode.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "core/metadata_text.h"
#include "core/scene_sets.h"

using namespace zorv::core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > dv::kMaxFrameSize) return 0;
    // The fill reads whole sequences: hand it exactly what there is.
    MetadataRecord rec;
    fillRecord(rec, data, size);

    DecodedValues v, prev;
    decodeRecord(rec, v);
    DisplayValues d;
    updateDisplayValues(rec, d);
    SceneSets sets;
    sets.compareFrame(1, v, prev, true);

    const int seqs = dv::sequenceCount(size);
    if (seqs > 0) {
        findTimecode(data, seqs);
        SourcePackFinder finder;
        finder.find(data, seqs);
    }

    // The record as an HDV or AVCHD table too: every entry may be present.
    MetadataRecord all;
    for (int id = 0; id < 256; ++id) {
        const size_t o = (static_cast<size_t>(id) * 5) % (size ? size : 1);
        for (int b = 0; b < 5; ++b) all.packs[id][b] = size ? data[(o + b) % size] : 0;
        all.packs[id][0] = static_cast<uint8_t>(id == 0xFF ? 0xFF : id);
    }
    static const TextVariant kVariants[] = {TextVariant::MetadataWindow, TextVariant::DvBurnIn, TextVariant::Hdv,
                                            TextVariant::Avchd, TextVariant::AvchdBurnIn};
    TextBuf t;
    ShutterFormatter sf;
    for (const MetadataRecord* r : {&rec, &all}) {
        for (TextVariant var : kVariants) {
            for (int style = 0; style <= 4; ++style) {
                DisplaySettings s;
                s.dateFormat = choiceOf<DateFormat>(style);
                s.dropFrameFormat = choiceOf<DropFrameDisplay>(style & 1);
                s.gpsDecimal = style & 2;
                formatTimecode(t, *r, style, s, var);
                formatFramePosition(t, v.recSeconds, style, s, var);
                sf.format(t, *r, style, linePeriod(size), var);
            }
            DisplaySettings s;
            formatUserBits(t, *r, var);
            formatRecDate(t, *r, s, var);
            formatRecTime(t, *r, var);
            formatIris(t, *r, var);
            formatGain(t, *r, var);
            formatExposureMode(t, *r, var);
            formatWhiteBalance(t, *r, var);
            formatFocusDistance(t, *r, var);
            formatFocusMode(t, *r, var);
            formatStabilizer(t, *r, var);
            formatAudioMode(t, *r, var);
            formatLatitude(t, *r, s, var);
            formatLongitude(t, *r, s, var);
            formatAltitude(t, *r, var);
            formatSpeed(t, *r, var);
            formatTrack(t, *r, var);
        }
        formatWhiteBalanceLighting(t, *r);
        formatMapPosition(t, *r);
    }
    formatAvchdPosition(t, static_cast<int64_t>(v.userBits) << 20, static_cast<int>(v.iris));
    formatHdvTimecode(t, static_cast<int64_t>(v.userBits) - 1, v.timecodeStyle, DisplaySettings{});
    return 0;
}
