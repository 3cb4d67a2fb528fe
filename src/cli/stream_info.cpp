// `zorv info` / `zorv frame` on HDV transport streams.
#include "cli/stream_info.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/frame_record.h"
#include "core/timecode.h"
#include "media/formats/format_table.h"
#include "media/avi_chunks.h"
#include "media/file_io.h"
#include "media/hdv_m2t_reader.h"
#include "media/hdv_stream_info.h"
#include "media/recognize.h"
#include "media/ts_packet_stream.h"

namespace zorv::cli {

namespace {

const char* aspectText(int code) {
    switch (code) {
    case 1: return "1:1";
    case 2: return "4:3";
    case 3: return "16:9";
    case 4: return "2.21:1";
    default: return "?";
    }
}

const char* modeText(int mode) {
    static const char* const kModes[4] = {"stereo", "joint stereo", "dual channel", "mono"};
    return kModes[mode & 3];
}

char pictureLetter(uint8_t code) {
    switch (code) {
    case 1: return 'I';
    case 2: return 'B';
    case 3: return 'P';
    case 5: return 'E';
    default: return '-';
    }
}

// Opens with the stream reader for its failure reasons, then scans the whole stream.
bool loadHdv(const std::string& path, bool line720, media::HdvStreamInfo& info, media::M2tReader& reader) {
    if (core::Status opened = reader.open(path, true); !opened) {
        printError(opened.message);
        return false;
    }
    core::Status s = media::scanHdvStream(path, line720, info);
    if (!s) {
        printError(s.message);
        return false;
    }
    if (info.skippedBytes > 0) printWarning(media::skippedBytesText(info.skippedBytes));
    return true;
}

std::optional<std::string> hdvReelName(const std::string& path) {
    media::File f;
    if (!f.open(path)) return std::nullopt;
    std::vector<uint8_t> head(5 * 188);
    const int64_t got = f.readAt(0, head.data(), head.size());
    if (got <= 0) return std::nullopt;
    head.resize(static_cast<size_t>(got));
    return media::reelNameFromHdvPackets(head);
}

}  // namespace

int streamInfo(const std::string& path) {
    const media::Recognition r = media::recognize(path);
    if (!r.ok()) return -1;
    const media::FormatDescriptor& format = media::formatOf(r.type);
    if (format.family == core::MediaFamily::kHdv) return hdvInfo(path, format);
    if (format.family == core::MediaFamily::kAvchd) return avchdInfo(path, format);
    return -1;
}

int streamFrame(const std::string& path, const FrameRequest& request) {
    const media::Recognition r = media::recognize(path);
    if (!r.ok()) return -1;
    const media::FormatDescriptor& format = media::formatOf(r.type);
    if (format.family == core::MediaFamily::kHdv) return hdvFrame(path, format, request);
    if (format.family == core::MediaFamily::kAvchd) return avchdFrame(path, request);
    return -1;
}

int hdvInfo(const std::string& path, const media::FormatDescriptor& format) {
    const bool line720 = format.hdvLines == 720;
    media::HdvStreamInfo info;
    std::unique_ptr<media::M2tReader> reader(line720 ? new media::M2t720Reader : new media::M2tReader);
    if (!loadHdv(path, line720, info, *reader)) return 1;
    int num = 0, den = 1;
    media::mpegFrameRate(info.video.frameRateCode, num, den);
    std::printf("File:        %s\n", path.c_str());
    std::printf("Type:        %s (%d)\n", format.name, static_cast<int>(format.type));
    std::printf("Size:        %" PRId64 " bytes\n", reader->fileSize());
    std::printf("Packets:     %d bytes, first at %" PRId64 "\n", reader->packetSize(),
                reader->packetBase() + (reader->packetSize() == 192 ? 4 : 0));
    std::printf("Video:       MPEG-2 %dx%d, %s, %.3f fps, %s, %.1f Mbit/s (PID 0x%04X)\n", info.video.width,
                info.video.height, aspectText(info.video.aspectCode), den ? static_cast<double>(num) / den : 0.0,
                info.video.progressive ? "progressive" : "interlaced", static_cast<double>(info.video.bitRate) / 1e6,
                info.videoPid);
    if (info.audio.present)
        std::printf("Audio:       MPEG-%s Layer %s, %d Hz, %s, %d kbit/s (PID 0x%04X)\n",
                    info.audio.version == 1   ? "1"
                    : info.audio.version == 2 ? "2"
                                              : "2.5",
                    info.audio.layer == 1   ? "I"
                    : info.audio.layer == 2 ? "II"
                                            : "III",
                    info.audio.sampleRate, modeText(info.audio.mode), info.audio.bitRateKbps, info.audioPid);
    else std::printf("Audio:       none\n");
    std::printf("Pictures:    %" PRId64 "\n", info.videoPictures);
    std::printf("Audio frames: %" PRId64 "\n", info.audioFrames);
    std::printf("Aux packets: %" PRId64 "\n", info.auxPackets);
    std::printf("Start PTS:   %" PRId64 "\n", reader->startPts());
    std::printf("End PTS:     %" PRId64 "\n", reader->endPts());
    std::printf("Duration:    %.3f s\n", static_cast<double>(reader->presentedDurationPts()) / 90000.0);
    // Without aux data the timecode comes from the group of pictures headers.
    const media::HdvGopTimecode gop = info.gopTimecodeAt(info.firstPts);
    const int64_t halfPicture = media::ptsToTime(reader->pictureStepPts()) / 2;
    const bool auxTimecode =
        !info.records.empty() && info.records.front().timecode != -1 && info.records.front().startTime < halfPicture;
    if (auxTimecode || gop.frames >= 0) {
        core::TextBuf t;
        core::DisplaySettings settings;
        if (auxTimecode)
            core::formatHdvTimecode(t, info.records.front().timecode, info.records.front().timecodeStyle, settings);
        else core::formatHdvTimecode(t, gop.frames, gop.style, settings);
        std::printf("Start TC:    %s\n", t.c_str());
    }
    if (!info.records.empty()) {
        const media::HdvMetadataRecord& first = info.records.front();
        core::TextBuf t;
        core::DisplaySettings settings;
        const core::MetadataRecord packs = first.toPackTable();
        core::formatRecDate(t, packs, settings, core::TextVariant::Hdv);
        std::string date = t.c_str();
        core::formatRecTime(t, packs, core::TextVariant::Hdv);
        std::printf("Recorded:    %s %s\n", date.c_str(), t.c_str());
    }
    if (!line720)
        if (auto reel = hdvReelName(path)) std::printf("Reel:        %s\n", reel->c_str());
    return 0;
}

int hdvFrame(const std::string& path, const media::FormatDescriptor& format, const FrameRequest& request) {
    const bool line720 = format.hdvLines == 720;
    media::HdvStreamInfo info;
    std::unique_ptr<media::M2tReader> reader(line720 ? new media::M2t720Reader : new media::M2tReader);
    if (!loadHdv(path, line720, info, *reader)) return 1;
    int num = 0, den = 1;
    media::mpegFrameRate(info.video.frameRateCode, num, den);
    if (num == 0) num = 25;
    const int64_t pictureTime = static_cast<int64_t>(std::llround(1e7 * den / num));  // 100-ns units
    int64_t n = 0;
    if (request.index) n = *request.index;
    else if (request.seconds) n = static_cast<int64_t>(std::floor(*request.seconds * num / den + 1e-9));
    if (n < 0 || n >= info.videoPictures) {
        char msg[160];
        std::snprintf(msg, sizeof msg, "picture %" PRId64 " is past the end: the file has %" PRId64 " pictures", n,
                      info.videoPictures);
        printError(msg);
        return 1;
    }
    // The record whose time is that of picture n (within half a picture).
    const int64_t t = n * pictureTime;
    const media::HdvMetadataRecord* rec = nullptr;
    for (const auto& r : info.records) {
        if (r.startTime >= t - pictureTime / 2 && r.startTime < t + pictureTime / 2) {
            rec = &r;
            break;
        }
        if (r.startTime >= t + pictureTime / 2) break;
    }
    const media::HdvMetadataRecord empty;
    const media::HdvMetadataRecord& use = rec ? *rec : empty;
    int style = use.timecodeStyle > 0 ? use.timecodeStyle : (info.video.frameRateCode == 4 ? 4 : 2);
    int64_t timecode = use.timecode;
    if (timecode == -1) {
        // No aux timecode: the group of pictures header's.
        const media::HdvGopTimecode gop = info.gopTimecodeAt(info.firstPts + media::timeToPts(n * pictureTime));
        if (gop.frames >= 0) timecode = gop.frames, style = gop.style;
    }
    const core::MetadataRecord packs = use.toPackTable();
    const auto variant = core::TextVariant::Hdv;
    const core::DisplaySettings& settings = request.settings;

    FrameItems items;
    core::formatFramePosition(items.add(FrameField::kPosition), n, style == 4 || style == 3 ? style : 2, settings, variant);
    core::TextBuf& frameType = items.add(FrameField::kFrameType);
    std::snprintf(frameType.s, sizeof frameType.s, "%c", pictureLetter(use.pictureCode));
    core::formatHdvTimecode(items.add(FrameField::kTimecode), timecode, style, settings);
    addCameraItems(items, packs, style, media::kHdShutterLinePeriod, settings, variant);
    core::formatWhiteBalanceLighting(items.add(FrameField::kLighting), packs);
    core::formatAudioMode(items.add(FrameField::kAudio), packs, variant);

    if (!request.json) {
        std::printf("Picture %" PRId64 " of %s%s\n", n, path.c_str(), rec ? "" : " (no metadata)");
        items.print();
        return 0;
    }
    std::string out =
        frameJsonStart(path, n) + ",\"time\":" + std::to_string(t) + ",\"metadata\":" + (rec ? "true" : "false");
    items.appendJson(out);
    appendFramePacks(out, "packs", packs.packs);
    char tail[160];
    std::snprintf(tail, sizeof tail, ",\"timecodeStyle\":%d,\"timecodeFrames\":%" PRId64 ",\"pictureCode\":%d}", style,
                  timecode, use.pictureCode);
    out += tail;
    std::puts(out.c_str());
    return 0;
}

}  // namespace zorv::cli
