// `zorv info` / `zorv frame` on AVCHD transport streams.
#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/frame_record.h"
#include "cli/stream_info.h"
#include "core/avchd_date.h"
#include "media/avchd_avc_reader.h"
#include "media/avchd_stream_info.h"
#include "media/file_type.h"
#include "media/hdv_aux_items.h"
#include "media/ts_packet_stream.h"

namespace zorv::cli {

namespace {

struct AvchdPicture {
    media::AvchdMetadataRecord rec;
    int64_t pts;
};

// Opens with the reader for its failure reasons and reads every picture's metadata.
bool loadAvchd(const std::string& path, media::AvcReader& reader, std::vector<AvchdPicture>& pictures) {
    int64_t skipped = 0;
    if (core::Status opened = reader.open(path, false); !opened) {
        printError(opened.message);
        return false;
    }
    const core::Status read = media::readAvchdMetadata(
        path,
        [&](const media::AvchdMetadataRecord& rec, int64_t pts) {
            pictures.push_back({rec, pts});
            return true;
        },
        &skipped);
    if (skipped > 0) printWarning(media::skippedBytesText(skipped));
    if (!read) {
        printError(read.message.empty() ? "Read failure: " + path : read.message);
        return false;
    }
    return true;
}

// 25-frame material counts timecode in style 2; 30-frame AVCHD is always shown as drop-frame.
int timecodeStyle(const media::H264Sps& sps) {
    const double rate = sps.frameRate();
    return (rate > 24.5 && rate < 25.5) || (rate > 49.5 && rate < 50.5) ? 2 : 4;
}

}  // namespace

int avchdInfo(const std::string& path, const media::FormatDescriptor& format) {
    media::AvcReader reader;
    std::vector<AvchdPicture> pictures;
    if (!loadAvchd(path, reader, pictures)) return 1;
    const media::H264Sps& sps = reader.sps();
    std::printf("File:        %s\n", path.c_str());
    std::printf("Type:        %s (%d)\n", format.name, static_cast<int>(format.type));
    std::printf("Size:        %" PRId64 " bytes\n", reader.fileSize());
    std::printf("Packets:     %d bytes, first at %" PRId64 "\n", reader.packetSize(),
                reader.packetBase() + (reader.packetSize() == 192 ? 4 : 0));
    std::printf("Video:       H.264 %s%s %" PRId64 "x%" PRId64 ", %.3f fps (PID 0x%04X)\n",
                std::string(media::h264ProfileText(sps.profileIdc)).c_str(), media::h264LevelText(sps).c_str(), sps.width,
                sps.height, sps.frameRate(), media::avchd_pid::kVideo);
    if (sps.sarWidth > 0 && sps.sarHeight > 0)
        std::printf("Aspect:      %d:%d sample aspect\n", sps.sarWidth, sps.sarHeight);
    media::AvchdAudioDescription audio;
    if (media::describeAvchdAudio(path, audio))
        std::printf("Audio:       AC-3 %d Hz, %s (%d channels), %d kbit/s (PID 0x%04X)\n", audio.sampleRate,
                    audio.layout.c_str(), audio.channels, audio.bitRateKbps, media::avchd_pid::kAudio);
    else std::printf("Audio:       AC-3 (PID 0x%04X)\n", media::avchd_pid::kAudio);
    std::printf("Pictures:    %zu\n", pictures.size());
    std::printf("Start PTS:   %" PRId64 "\n", reader.startPts());
    std::printf("End PTS:     %" PRId64 "\n", reader.endPts());
    std::printf("Duration:    %.3f s\n", static_cast<double>(reader.durationPts()) / 90000.0);
    if (!pictures.empty()) {
        core::MetadataRecord table;
        pictures.front().rec.toMetadataRecord(table);
        core::TextBuf t;
        core::DisplaySettings settings;
        core::formatTimecode(t, table, timecodeStyle(sps), settings, core::TextVariant::Avchd);
        std::printf("Start TC:    %s\n", t.c_str());
        core::AvchdDateTime when;
        if (core::decodeAvchdDateTime(table, when)) {
            const int z = when.zoneMinutes < 0 ? -when.zoneMinutes : when.zoneMinutes;
            std::printf("Recorded:    %04d-%02d-%02d %02d:%02d:%02d UTC%c%02d:%02d%s\n", when.year, when.month, when.day,
                        when.hour, when.minute, when.second, when.zoneMinutes < 0 ? '-' : '+', z / 60, z % 60,
                        when.daylightSaving ? " (daylight saving)" : "");
        }
    }
    const bool gps = media::avchdHasGps(path);
    std::printf("GPS:         %s\n", gps ? "yes" : "no");
    if (gps && !pictures.empty()) {
        core::TextBuf pos;
        if (media::avchdMapPosition(pictures.front().rec, pos)) std::printf("Position:    %s\n", pos.c_str());
    }
    return 0;
}

int avchdFrame(const std::string& path, const FrameRequest& request) {
    media::AvcReader reader;
    std::vector<AvchdPicture> pictures;
    if (!loadAvchd(path, reader, pictures)) return 1;
    const int64_t count = static_cast<int64_t>(pictures.size());
    int64_t n = 0;
    if (request.index) {
        n = *request.index;
    } else if (request.seconds) {
        // The first picture at or after the time, 0.1 ms of rounding allowed.
        const int64_t t = static_cast<int64_t>(*request.seconds * 1e7) - 1000;
        n = count;
        for (int64_t i = 0; i < count; ++i)
            if (pictures[static_cast<size_t>(i)].rec.startTime >= t) {
                n = i;
                break;
            }
    }
    if (n < 0 || n >= count) {
        char msg[160];
        std::snprintf(msg, sizeof msg, "picture %" PRId64 " is past the end: the file has %" PRId64 " pictures", n, count);
        printError(msg);
        return 1;
    }
    const AvchdPicture& pic = pictures[static_cast<size_t>(n)];
    core::MetadataRecord table;
    pic.rec.toMetadataRecord(table);
    const int style = timecodeStyle(reader.sps());
    const auto variant = core::TextVariant::Avchd;
    const core::DisplaySettings& settings = request.settings;
    FrameItems items;
    core::formatAvchdPosition(items.add(FrameField::kPosition), pic.pts - reader.startPts(), pic.rec.pictureType);
    core::formatTimecode(items.add(FrameField::kTimecode), table, style, settings, variant);
    addCameraItems(items, table, style, media::kHdShutterLinePeriod, settings, variant);
    core::formatLatitude(items.add(FrameField::kLatitude), table, settings, variant);
    core::formatLongitude(items.add(FrameField::kLongitude), table, settings, variant);
    core::formatAltitude(items.add(FrameField::kAltitude), table, variant);
    core::formatSpeed(items.add(FrameField::kSpeed), table, variant);
    core::formatTrack(items.add(FrameField::kTrack), table, variant);

    if (!request.json) {
        std::printf("Picture %" PRId64 " of %s\n", n, path.c_str());
        items.print();
        core::TextBuf map;
        if (media::avchdMapPosition(pic.rec, map)) std::printf("  %-11s %s\n", "Map", map.c_str());
        return 0;
    }
    std::string out = frameJsonStart(path, n) + ",\"time\":" + std::to_string(pic.rec.startTime) +
                      ",\"pts\":" + std::to_string(pic.pts) + ",\"pictureType\":" + std::to_string(pic.rec.pictureType);
    items.appendJson(out);
    appendFramePacks(out, "tags", pic.rec.tagSlots);
    out += '}';
    std::puts(out.c_str());
    return 0;
}

}  // namespace zorv::cli
