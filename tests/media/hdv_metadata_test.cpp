// HDV aux items into metadata records, the full record for the metadata window, the metadata cache,
// and the one-pass stream scan on generated streams.
#include <gtest/gtest.h>

#include <vector>

#include "core/metadata_text.h"
#include "core/timecode.h"
#include "gen/hdv_writer.h"
#include "media/hdv_aux_items.h"
#include "media/hdv_metadata.h"
#include "media/hdv_stream_info.h"
#include "media/metadata_cache.h"

namespace zorv::media {
namespace {

using Bytes = std::vector<uint8_t>;

// Item 0x44 with the given flags, timecode bytes (frames, seconds, minutes, hours) and rate code.
Bytes pictureItem(uint8_t flags, std::array<uint8_t, 4> tc, uint8_t rateCode = 3, int64_t ts = 0x123456789) {
    Bytes b(43, 0);
    b[0] = 0x44;
    b[1] = 41;
    b[6] = 0xF3;
    b[10] = static_cast<uint8_t>(ts);
    b[11] = static_cast<uint8_t>(ts >> 8);
    b[12] = static_cast<uint8_t>(ts >> 16);
    b[13] = static_cast<uint8_t>(ts >> 24);
    b[14] = static_cast<uint8_t>(0xFE | ((ts >> 32) & 1));
    b[21] = rateCode;
    b[30] = flags;
    for (int i = 0; i < 4; ++i) b[31 + i] = tc[i];
    const uint8_t date[4] = {0xFF, 0xD5, 0xE6, 0x11};  // 15 June 2011
    const uint8_t time[4] = {0xFF, 0x80, 0x95, 0xD0};  // 10:15:00
    for (int i = 0; i < 4; ++i) b[35 + i] = date[i], b[39 + i] = time[i];
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(HdvAuxItems, FirstOccurrenceWinsAcrossShortItemsAndPackLists) {
    const Bytes run = concat({{0x05, 0x00, 0xC1, 0xE2, 0x09},           // date 01-02-09
                              {0x48, 10, 0x62, 0xFF, 0xD5, 0xE6, 0x11,  // a later date pack
                               0x70, 0x0D, 0x02, 0x60, 0x0F},
                              {0x49, 5, 0x70, 0x20, 0x01, 0x00, 0x10},
                              {0x4A, 5, 0x62, 0x01, 0x02, 0x03, 0x04}});  // 0x62 is not a camera pack
    HdvMetadataRecord rec;
    parseAuxItems(run.data(), run.size(), rec);
    const PackSlot* date = rec.mainSlot(0x62);
    EXPECT_EQ((*date)[0], 0x62);
    EXPECT_EQ((*date)[2], 0xC1);
    EXPECT_EQ((*rec.mainSlot(0x70))[1], 0x0D);
    EXPECT_EQ(rec.extra[0][0][0], 0x70);
    EXPECT_EQ(rec.extra[0][0][1], 0x20);
    EXPECT_EQ(rec.extra[1][0][0], 0xFF);  // 0x4A's list had no camera pack
    EXPECT_EQ(rec.shortData, 1);
    EXPECT_EQ(rec.timecodeStyle, 2);  // no item 0x44
    EXPECT_EQ(rec.timecode, -1);
}

TEST(HdvAuxItems, SkipsFfItemsAndStopsAtTheEndMarkerOrATruncatedItem) {
    HdvMetadataRecord rec;
    const Bytes run = {0x01, 0xFF, 1,    2,    3,  // short item with first data byte 0xFF: skipped
                       0x48, 5,    0xFF, 1,    2,   3, 4, 0x01, 0x11, 0x22, 0x33, 0x44,
                       0x80,  // end of the run
                       0x06, 0x01, 0x02, 0x03, 0x04};
    parseAuxItems(run.data(), run.size(), rec);
    EXPECT_EQ((*rec.mainSlot(0x14))[1], 0x11);
    EXPECT_EQ((*rec.mainSlot(0x63))[0], 0xFF);
    const Bytes truncated = {0x44, 60, 0, 0, 0};
    HdvMetadataRecord rec2;
    parseAuxItems(truncated.data(), truncated.size(), rec2);
    EXPECT_EQ(rec2.pictureCode, 0xFF);
}

TEST(HdvAuxItems, PictureItemTimecodeStylesAndFlags) {
    // 25 frames/s: 01:02:03:04.
    Bytes run = pictureItem(0x07, {0x04, 0x03, 0x02, 0x01});
    HdvMetadataRecord rec;
    HdvPictureItem pic = parseAuxItems(run.data(), run.size(), rec);
    EXPECT_EQ(rec.timecodeStyle, 2);
    EXPECT_EQ(rec.timecode, ((1 * 60 + 2) * 60 + 3) * 25 + 4);
    EXPECT_EQ(rec.pictureCode, 3);
    EXPECT_EQ(pic.timeStamp, 0x123456789);
    EXPECT_EQ(rec.pictureTimeStamp, 0x23456789u);  // the upper half is not kept
    EXPECT_EQ((*rec.mainSlot(0x62))[2], 0xD5);
    EXPECT_EQ((*rec.mainSlot(0x63))[4], 0xD0);

    // 29.97 with the drop-frame flag: style 4, 00:10:00;02 counts 17982 + 2.
    run = pictureItem(0x07, {0x42, 0x00, 0x10, 0x00}, 4);
    rec = HdvMetadataRecord{};
    parseAuxItems(run.data(), run.size(), rec);
    EXPECT_EQ(rec.timecodeStyle, 4);
    EXPECT_EQ(rec.timecode, 17984);
    // 29.97 without it: style 3.
    run = pictureItem(0x07, {0x02, 0x00, 0x10, 0x00}, 4);
    rec = HdvMetadataRecord{};
    parseAuxItems(run.data(), run.size(), rec);
    EXPECT_EQ(rec.timecodeStyle, 3);
    EXPECT_EQ(rec.timecode, 600 * 30 + 2);

    // Timecode flag clear: no timecode, shown as the placeholder.
    run = pictureItem(0x06, {0x04, 0x03, 0x02, 0x01});
    rec = HdvMetadataRecord{};
    parseAuxItems(run.data(), run.size(), rec);
    EXPECT_EQ(rec.timecode, -1);
    core::TextBuf t;
    core::formatHdvTimecode(t, rec.timecode, rec.timecodeStyle, core::DisplaySettings{});
    EXPECT_EQ(t.view(), "--:--:--:--");
    // Hours tens above 2 (byte 34 bits 4-5 = 3): ignored; so is a time whose byte 42 says the same.
    run = pictureItem(0x07, {0x04, 0x03, 0x02, 0x31});
    run[42] = 0x30;
    rec = HdvMetadataRecord{};
    parseAuxItems(run.data(), run.size(), rec);
    EXPECT_EQ(rec.timecode, -1);
    EXPECT_EQ((*rec.mainSlot(0x63))[0], 0xFF);
    EXPECT_EQ((*rec.mainSlot(0x62))[0], 0x62);
}

TEST(HdvAuxItems, TimecodeFrameCountsOfEveryStyle) {
    const uint8_t tc[4] = {0x05, 0x04, 0x03, 0x02};  // 02:03:04:05
    const int64_t s = (2 * 60 + 3) * 60 + 4, m = 2 * 60 + 3;
    EXPECT_EQ(hdvTimecodeFrames(tc, 1), s * 24 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 2), s * 25 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 3), s * 30 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 4), 1800 * m - 2 * m + 2 * (m / 10) + 30 * 4 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 5), s * 48 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 6), s * 50 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 7), s * 60 + 5);
    EXPECT_EQ(hdvTimecodeFrames(tc, 8), 4 * (900 * m - m + m / 10 + 15 * 4) + 5);
    // And back for display.
    EXPECT_EQ(core::framesToTimecode(hdvTimecodeFrames(tc, 4), 4), (core::Timecode{2, 3, 4, 5}));
}

TEST(HdvFullMetadata, PictureCounterChoosesTheList) {
    const Bytes run = concat({{0x05, 0x00, 0xC1, 0xE2, 0x09},
                              pictureItem(0x01, {0x04, 0x03, 0x02, 0x01}),
                              {0x48, 5, 0x70, 0x01, 0x00, 0x00, 0x00},
                              {0x49, 5, 0x70, 0x02, 0x00, 0x00, 0x00},
                              {0x4A, 10, 0x70, 0x03, 0x00, 0x00, 0x00, 0x70, 0x13, 0x00, 0x00, 0x00},
                              {0x4B, 5, 0x70, 0x04, 0x00, 0x00, 0x00}});
    EXPECT_EQ(buildHdvFullMetadata(run.data(), run.size(), 0).packs.pc(0x70, 1), 0x13);  // later pack wins
    EXPECT_EQ(buildHdvFullMetadata(run.data(), run.size(), 1).packs.pc(0x70, 1), 0x04);
    EXPECT_EQ(buildHdvFullMetadata(run.data(), run.size(), 2).packs.pc(0x70, 1), 0x02);
    const HdvFullMetadata any = buildHdvFullMetadata(run.data(), run.size(), 32767);
    EXPECT_EQ(any.packs.pc(0x70, 1), 0x01);
    EXPECT_EQ(any.packs.pc(0x62, 2), 0xC1);
    EXPECT_EQ(any.timecode, ((1 * 60 + 2) * 60 + 3) * 25 + 4);
    EXPECT_EQ(hdvPictureDuration(any.style), 400000);
    EXPECT_EQ(hdvPictureDuration(4), 333667);
}

TEST(MetadataCache, LookUpMovesForwardAndFreesOlderRecords) {
    MetadataCache<int> cache;
    EXPECT_FALSE(cache.add(100, 1, 2));  // inactive: counted, not stored
    EXPECT_EQ(cache.samplesReceived(), 1);
    cache.setActive(true);
    cache.add(400000, 1, 2);
    cache.add(800000, 2, 2);
    EXPECT_FALSE(cache.add(800000, 99, 2));  // the first record under a key stays
    cache.add(1200000, 3, 2);
    EXPECT_EQ(cache.lookUp(0), 1);  // before the first: the first
    EXPECT_EQ(cache.size(), 3u);
    EXPECT_EQ(cache.lookUp(400001), 2);  // next at or after; the older one is freed
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.lookUp(1200001), std::nullopt);  // after the last: nothing, all freed
    EXPECT_EQ(cache.size(), 0u);
}

TEST(MetadataCache, NtscLookUpIsMovedATenthOfAMillisecondEarlier) {
    MetadataCache<int> cache;
    cache.setActive(true);
    cache.add(333667, 1, 4);
    cache.add(667334, 2, 4);
    EXPECT_EQ(cache.lookUp(334000), 1);  // within 1000 units after the key
    EXPECT_EQ(cache.lookUp(500), 1);     // 1000 or less: from 0
    cache.clear();
    EXPECT_EQ(cache.size(), 0u);
    cache.add(400000, 5, 2);
    EXPECT_EQ(cache.lookUp(400500), std::nullopt);  // 25 frames/s: no allowance
}

TEST(MetadataCache, HdvAuxSamplesBecomeRecordsKeyedByStartTime) {
    HdvMetadataCache cache;
    const Bytes run = pictureItem(0x07, {0x04, 0x03, 0x02, 0x01}, 4);
    EXPECT_FALSE(addHdvAuxSample(cache, run.data(), run.size(), 0));  // not active yet
    cache.setActive(true);
    EXPECT_TRUE(addHdvAuxSample(cache, run.data(), run.size(), 333667));
    const Bytes none = {0x80};
    EXPECT_TRUE(addHdvAuxSample(cache, none.data(), none.size(), 667334));  // no known items: still a record
    EXPECT_EQ(cache.samplesReceived(), 3);
    EXPECT_EQ(cache.lastStyle(), 2);
    auto rec = cache.lookUp(333667);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->startTime, 333667);
    EXPECT_EQ(rec->timecodeStyle, 3);
    rec = cache.lookUp(667334);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->timecode, -1);
    EXPECT_EQ(rec->main[0][0], 0xFF);
}

TEST(HdvStreamScan, RecordsOfEveryPictureMatchWhatTheCamcorderWrote) {
    gen::HdvSpec desc;
    desc.tc = {1, 2, 3, 4};
    desc.dropAux = {7, 20};
    gen::HdvWritten w;
    const std::string path = gen::cachedHdv("scan.m2t", desc, &w);
    HdvStreamInfo info;
    ASSERT_TRUE(scanHdvStream(path, false, info));
    EXPECT_EQ(info.video.width, 1440);
    EXPECT_EQ(info.video.height, 1080);
    EXPECT_EQ(info.video.frameRateCode, 3);
    EXPECT_EQ(info.audio.layer, 2);
    EXPECT_EQ(info.audio.sampleRate, 48000);
    EXPECT_EQ(info.audio.bitRateKbps, 384);
    EXPECT_EQ(info.videoPictures, desc.frames);
    EXPECT_EQ(info.audioFrames, w.audioFrames);
    ASSERT_EQ(info.records.size(), static_cast<size_t>(desc.frames - 2));
    const int64_t base = core::timecodeToFrames({1, 2, 3, 4}, 2);
    size_t k = 0;
    for (int64_t display = 0; display < desc.frames; ++display) {
        if (display == 7 || display == 20) continue;
        const HdvMetadataRecord& r = info.records[k++];
        EXPECT_EQ(r.startTime, display * 400000);
        EXPECT_EQ(r.timecode, base + display);
        EXPECT_EQ(r.timecodeStyle, 2);
        EXPECT_EQ(r.shortData, 0);
        const core::MetadataRecord packs = r.toPackTable();
        core::TextBuf t;
        core::formatUserBits(t, packs, core::TextVariant::Hdv);
        EXPECT_EQ(t.view(), "67:45:23:01");
        core::formatIris(t, packs, core::TextVariant::Hdv);
        EXPECT_EQ(t.view(), "f3.1");
        EXPECT_EQ(core::shutterDenominator(1125, 2, kHdShutterLinePeriod), 25);
    }
    // Picture codes: the first shown picture is an I picture.
    EXPECT_EQ(info.records[0].pictureCode, 1);
}

}  // namespace
}  // namespace zorv::media
