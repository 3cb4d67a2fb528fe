// ExifTool reads the MDPM metadata of generated AVCHD streams picture by picture (`exiftool -ee -n`):
// its date and time with zone, GPS position, altitude, speed and track, aperture, gain and exposure
// time agree with the project's own reading of every picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/avchd_date.h"
#include "gen/avchd_writer.h"
#include "media/avchd_avc_reader.h"
#include "media/avchd_stream_info.h"

namespace zorv::media {
namespace {

using Doc = std::map<std::string, std::string>;

// ExifTool's documents (the main one, then Doc1, Doc2, ...) as tag -> value, numbers unformatted.
std::vector<Doc> exiftoolDocs(const std::string& path) {
    std::vector<Doc> docs;
    FILE* p = popen(("exiftool -ee -n -G3 -s '" + path + "' 2>/dev/null").c_str(), "r");
    if (!p) return docs;
    std::map<std::string, Doc> byGroup;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        if (s.size() < 3 || s[0] != '[') continue;
        const size_t close = s.find(']'), colon = s.find(" : ");
        if (close == std::string::npos || colon == std::string::npos) continue;
        const std::string group = s.substr(1, close - 1);
        size_t tag = s.find_first_not_of(' ', close + 1);
        std::string name = s.substr(tag, s.find(' ', tag) - tag);
        std::string value = s.substr(colon + 3);
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        byGroup[group][name] = value;
    }
    pclose(p);
    if (byGroup.count("Main")) docs.push_back(byGroup["Main"]);
    for (int k = 1; byGroup.count("Doc" + std::to_string(k)); ++k) docs.push_back(byGroup["Doc" + std::to_string(k)]);
    return docs;
}

double number(const Doc& d, const std::string& tag) {
    auto it = d.find(tag);
    return it == d.end() ? std::nan("") : std::strtod(it->second.c_str(), nullptr);
}

// A latitude or longitude with the sign of its reference (the main document's composite value is
// signed already).
double signedDegrees(const Doc& d, const std::string& tag, const std::string& negativeRef) {
    const double v = number(d, tag);
    auto ref = d.find(tag + "Ref");
    return ref != d.end() && ref->second == negativeRef && v > 0 ? -v : v;
}

// The iris, gain and shutter our way: f-number from tag 0xA1, dB from 0x70, seconds from 0x7F.
struct Ours {
    std::string dateTime;  // "YYYY:MM:DD hh:mm:ss+hh:mm"
    bool gps = false;
    AvchdGpsValues fix;
    double fNumber = 0, gainDb = 0, exposure = 0;
};

Ours ourReading(const AvchdMetadataRecord& rec) {
    Ours o;
    core::MetadataRecord t;
    rec.toMetadataRecord(t);
    core::AvchdDateTime when;
    if (core::decodeAvchdDateTime(t, when)) {
        const int z = std::abs(when.zoneMinutes);
        char b[40];
        std::snprintf(b, sizeof b, "%04d:%02d:%02d %02d:%02d:%02d%c%02d:%02d", when.year, when.month, when.day, when.hour,
                      when.minute, when.second, when.zoneMinutes < 0 ? '-' : '+', z / 60, z % 60);
        o.dateTime = b;
    }
    o.gps = avchdGpsValues(rec, o.fix);
    if (t.has(0xA1)) {
        const int num = (t.pc(0xA1, 1) << 8) | t.pc(0xA1, 2), den = (t.pc(0xA1, 3) << 8) | t.pc(0xA1, 4);
        o.fNumber = den ? static_cast<double>(num) / den : 0;
    }
    if (t.has(0x70)) o.gainDb = (t.pc(0x70, 2) & 0x0F) * 3 - 3;
    if (t.has(0x7F)) o.exposure = static_cast<double>(((t.pc(0x7F, 4) & 0x7F) << 8) | t.pc(0x7F, 3)) / 28125.0;
    return o;
}

TEST(AvchdExiftool, EveryPictureAgreesWithOurReading) {
    if (std::system("exiftool -ver >/dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
    struct Case {
        const char* name;
        gen::GpsMode gps;
        int fps;
    } cases[] = {{"track25.mts", gen::GpsMode::Track, 25},
                 {"nogps25.mts", gen::GpsMode::None, 25},
                 {"track30.mts", gen::GpsMode::Track, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gen::AvchdSpec desc;
        desc.frames = 36;
        desc.width = 320;
        desc.height = 240;
        desc.gps = c.gps;
        desc.fps = c.fps;
        desc.tc = {0, 9, 59, 20};
        desc.rec = {2012, 2, 29, 23, 59, 59};
        const std::string path = gen::cachedAvchd(c.name, desc);
        ASSERT_FALSE(path.empty());
        // Ours, by picture timecode (ExifTool lists the pictures in file order).
        std::map<std::string, Ours> ours;
        ASSERT_TRUE(readAvchdMetadata(path, [&](const AvchdMetadataRecord& rec, int64_t) {
            core::MetadataRecord t;
            rec.toMetadataRecord(t);
            // ExifTool shows the raw timecode bytes, hours first.
            char tc[16];
            std::snprintf(tc, sizeof tc, "%02x:%02x:%02x:%02x", t.pc(0x13, 4), t.pc(0x13, 3), t.pc(0x13, 2), t.pc(0x13, 1));
            ours[tc] = ourReading(rec);
            return true;
        }));
        ASSERT_EQ(ours.size(), 36u);
        const std::vector<Doc> docs = exiftoolDocs(path);
        ASSERT_EQ(docs.size(), 36u);
        for (const Doc& d : docs) {
            ASSERT_EQ(d.count("Warning"), 0u) << d.at("Warning");
            ASSERT_TRUE(d.count("TimeCode"));
            const std::string tc = d.at("TimeCode");
            SCOPED_TRACE(tc);
            ASSERT_TRUE(ours.count(tc));
            const Ours& o = ours[tc];
            EXPECT_EQ(d.at("DateTimeOriginal"), o.dateTime);
            EXPECT_NEAR(number(d, "FNumber"), o.fNumber, 1e-6);
            EXPECT_NEAR(number(d, "Gain"), o.gainDb, 1e-6);
            EXPECT_NEAR(number(d, "ExposureTime"), o.exposure, 1e-6);
            EXPECT_EQ(d.count("GPSLatitude") != 0, o.gps);
            if (!o.gps) continue;
            EXPECT_NEAR(signedDegrees(d, "GPSLatitude", "S"), o.fix.latitude, 1e-7);
            EXPECT_NEAR(signedDegrees(d, "GPSLongitude", "W"), o.fix.longitude, 1e-7);
            EXPECT_NEAR(number(d, "GPSAltitude"), o.fix.altitude, 1e-6);
            EXPECT_NEAR(number(d, "GPSSpeed"), o.fix.speed, 1e-6);
            EXPECT_NEAR(number(d, "GPSTrack"), o.fix.track, 1e-6);
        }
    }
}

}  // namespace
}  // namespace zorv::media
