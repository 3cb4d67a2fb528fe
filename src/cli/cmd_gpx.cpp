// zorv gpx [-o OUT|-] [--overwrite] [--] FILE: the GPS track of an AVCHD file as GPX 1.1, one track point per change of
// position, timed by the camcorder's recording date and time (converted to UTC by its time zone).
#include <cinttypes>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/convert_common.h"
#include "core/avchd_date.h"
#include "core/civil_time.h"
#include "media/avchd_avc_reader.h"
#include "media/avchd_stream_info.h"
#include "media/ts_packet_stream.h"
#include "tools/text_output.h"

namespace zorv::cli {

namespace {

void gpxUsage(FILE* out) {
    std::fputs(
        "usage: zorv gpx [-o OUT|-] [--overwrite] [--] FILE\n\n"
        "Writes the GPS track of an AVCHD file as GPX 1.1 (one point per change of position, timed\n"
        "by the recording date and time) to OUT, or to standard output (without -o, or with -o -).\n"
        "OUT takes its name when the track is complete; an existing OUT is replaced only after\n"
        "confirmation (or with --overwrite).\n"
        "  --   ends the options (for a FILE whose name starts with '-')\n",
        out);
}

void xmlText(std::string& out, std::string_view s) {
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) out += c;
        }
    }
}

std::string utcText(int64_t seconds) {
    const core::CivilDateTime c = core::civilFromUtcSeconds(seconds);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04" PRId64 "-%02d-%02dT%02d:%02d:%02dZ", c.year, c.month, c.day, c.hour, c.minute,
                  c.second);
    return buf;
}

const char* speedUnitText(char u) { return u == 'K' ? "km/h" : u == 'M' ? "mi/h" : u == 'N' ? "knots" : ""; }

}  // namespace

int cmdGpx(int argc, char** argv) {
    std::string input, output = tools::kStandardOutputName;
    bool overwrite = false;
    const CliOption options[] = {
        {"--output", "-o", true, storeIn(output)},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
    CommandLine line{gpxUsage, options, OperandForm::kNoLeadingDash};
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty()) {
        gpxUsage(stderr);
        return 2;
    }
    const bool toFile = output != tools::kStandardOutputName;
    if (toFile) {
        const std::optional<bool> allowed = confirmOutput(output, input, overwrite);
        if (!allowed) return 1;
        overwrite = *allowed;
    }

    std::string body;
    int64_t points = 0;
    bool have = false;
    double lastLat = 0, lastLon = 0;
    std::string firstTime;
    int64_t skipped = 0;  // damaged bytes passed over
    const core::Status read = media::readAvchdMetadata(
        input,
        [&](const media::AvchdMetadataRecord& rec, int64_t) {
            media::AvchdGpsValues g;
            if (!media::avchdGpsValues(rec, g)) return true;
            // A damaged position pack can decode to 95 degrees north; GPX readers reject such a point.
            if (!(g.latitude >= -90.0 && g.latitude <= 90.0 && g.longitude >= -180.0 && g.longitude < 180.0)) return true;
            if (have && g.latitude == lastLat && g.longitude == lastLon) return true;
            have = true;
            lastLat = g.latitude;
            lastLon = g.longitude;
            char buf[160];
            std::snprintf(buf, sizeof buf, "      <trkpt lat=\"%.7f\" lon=\"%.7f\">\n", g.latitude, g.longitude);
            body += buf;
            if (g.hasAltitude) {
                std::snprintf(buf, sizeof buf, "        <ele>%.1f</ele>\n", g.altitude);
                body += buf;
            }
            core::MetadataRecord table;
            rec.toMetadataRecord(table);
            core::AvchdDateTime when;
            if (core::decodeAvchdDateTime(table, when)) {
                const std::string t = utcText(when.seconds - int64_t{when.zoneMinutes} * 60);
                if (firstTime.empty()) firstTime = t;
                body += "        <time>" + t + "</time>\n";
            }
            if (g.hasSpeed || g.hasTrack) {
                std::string desc;
                if (g.hasSpeed) {
                    std::snprintf(buf, sizeof buf, "%.1f %s", g.speed, speedUnitText(g.speedUnit));
                    desc += buf;
                }
                if (g.hasTrack) {
                    std::snprintf(buf, sizeof buf, "%s%.1f deg %s", desc.empty() ? "" : ", ", g.track,
                                  g.trackRef == 'M'   ? "M"
                                  : g.trackRef == 'T' ? "T"
                                                      : "");
                    desc += buf;
                }
                body += "        <desc>";
                xmlText(body, desc);
                body += "</desc>\n";
            }
            body += "      </trkpt>\n";
            ++points;
            return true;
        },
        &skipped);
    if (!read) {
        printError(read.message.empty() ? "Read failure: " + input : read.message);
        return 1;
    }
    const size_t slash = input.find_last_of('/');
    const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"ZORV Pro\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
        "  <metadata>\n    <name>";
    xmlText(doc, name);
    doc += "</name>\n";
    if (!firstTime.empty()) doc += "    <time>" + firstTime + "</time>\n";
    doc += "  </metadata>\n  <trk>\n    <name>";
    xmlText(doc, name);
    doc += "</name>\n    <trkseg>\n" + body + "    </trkseg>\n  </trk>\n</gpx>\n";

    tools::TextOutput out;
    core::Status st = out.open(output, input, overwrite);
    if (st && !out.file().writeAt(0, doc.data(), doc.size()))
        st = core::Status::failure(core::ErrorCode::kWriteFailed, "Write failure: " + (toFile ? output : "standard output"),
                                   out.file().sysError());
    if (st) media::warnSkippedBytes(st, skipped);
    st = out.finish(st);
    if (!st) {
        printError(failureText(st));
        return 1;
    }
    printWarnings(st);
    if (toFile) std::fprintf(stderr, "%" PRId64 " track points written to %s\n", points, output.c_str());
    return points > 0 ? 0 : 3;
}

}  // namespace zorv::cli
