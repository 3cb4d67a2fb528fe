#include "media/avchd_stream_info.h"
// clang-format off
#include "app/file_properties_rows.h"
// clang-format on

#include <cmath>
#include <filesystem>

#include "core/dv_layout.h"
#include "media/avi_chunks.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"
#include "media/file_type.h"
#include "media/formats/format_table.h"
#include "media/hdv_stream_info.h"

namespace zorv::app {

namespace {

QString two(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

QString durationText(int64_t frames, int rate) {
    if (rate <= 0) return QString();
    const int64_t seconds = frames / rate;
    return QStringLiteral("%1:%2:%3:%4")
        .arg(two(static_cast<int>(seconds / 3600)), two(static_cast<int>(seconds / 60 % 60)),
             two(static_cast<int>(seconds % 60)), two(static_cast<int>(frames % rate)));
}

QString hmsText(int64_t seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(two(static_cast<int>(seconds / 3600)), two(static_cast<int>(seconds / 60 % 60)),
             two(static_cast<int>(seconds % 60)));
}

int64_t sizeOf(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<int64_t>(n);
}

// The Premiere start timecode and reel name stored in a DV AVI file.
void premiereRows(const std::string& path, media::FileType type, PropertyRows& rows, const char* timecodeLabel,
                  const char* reelLabel) {
    QString tc, reel;
    media::File f;
    if (f.open(path)) {
        media::AviChunks chunks(f.fd(), type);
        if (auto t = chunks.premiereTimecode()) tc = QString::fromStdString(*t);
        if (auto r = chunks.reelName()) reel = QString::fromStdString(*r);
    }
    rows.emplace_back(QString::fromLatin1(timecodeLabel), tc);
    rows.emplace_back(QString::fromLatin1(reelLabel), reel);
}

QString degreesText(double v, bool latitude, bool decimal) {
    if (decimal) return QString::number(v, 'f', 6);
    const double a = std::fabs(v);
    const int d = static_cast<int>(a);
    const double m = (a - d) * 60.0;
    const int mi = static_cast<int>(m);
    const double s = (m - mi) * 60.0;
    const QChar hemi =
        latitude ? (v < 0 ? QLatin1Char('S') : QLatin1Char('N')) : (v < 0 ? QLatin1Char('W') : QLatin1Char('E'));
    return QStringLiteral("%1 %2\u00B0 %3' %4\"").arg(hemi).arg(d).arg(mi).arg(s, 0, 'f', 2);
}

}  // namespace

QString fileSizeText(int64_t bytes, const QLocale& locale) {
    if (bytes < 0) return QString();
    if (bytes >= (int64_t{1} << 30))
        return locale.toString(static_cast<qlonglong>(bytes / 1048576)) + QStringLiteral(" MiB (") +
               locale.toString(static_cast<qlonglong>(bytes)) + QStringLiteral(" bytes)");
    return locale.toString(static_cast<qlonglong>(bytes / 1024)) + QStringLiteral(" KiB (") +
           locale.toString(static_cast<qlonglong>(bytes)) + QStringLiteral(" bytes)");
}

QString dvAudioSamplingText(int n, int bits, int locked) {
    if (n <= 0) return QString();
    QString text = n % 10 == 0 ? QStringLiteral("%1 KHz").arg(n / 10) : QStringLiteral("%1.%2 KHz").arg(n / 10).arg(n % 10);
    if (bits > 0) text += QStringLiteral(", %1 bit").arg(bits);
    if (locked == 1) text += QStringLiteral(", locked");
    if (locked == 0) text += QStringLiteral(", unlocked");
    return text;
}

QString avchdAudioSamplingText(int f) {
    if (f <= 0) return QString();
    if (f % 1000 == 0) return QStringLiteral("%1 kHz").arg(f / 1000);
    return QStringLiteral("%1.%2 kHz").arg(f / 1000).arg(f % 1000, 3, 10, QLatin1Char('0'));
}

QString avchdAspectText(int64_t width, int64_t height, int sarWidth, int sarHeight) {
    if (sarWidth <= 0 || sarHeight <= 0) sarWidth = sarHeight = 1;
    if (height == 1088) height = 1080;
    if (height <= 0) return QString();
    const int64_t r = width * sarWidth * 9 / (height * sarHeight);
    if (r == 9) return QStringLiteral("1 x 1");
    if (r == 12) return QStringLiteral("4 x 3");
    return QStringLiteral("16 x 9");
}

PropertyRows dvPropertyRows(const std::string& path, const QLocale& locale) {
    PropertyRows rows;
    media::DvMediaFile dv;
    const bool ok = dv.open(path) && dv.buildIndex();
    const media::FileType type = dv.fileType();
    const bool avi = media::formatOf(type).aviType != 0;
    const bool pal = dv.frameSize() == 144000;
    const int rate = core::dv::systemFor(pal).nominalRate;
    const int64_t frames = ok ? dv.frameCount() : 0;
    QString framesText;
    if (ok) {
        framesText = locale.toString(static_cast<qlonglong>(frames));
        const int64_t dropped = frames - dv.nonEmptyFrames();
        if (dropped > 0) framesText += QStringLiteral(" (inc %1 dropped)").arg(dropped);
    }
    QString fourcc;
    for (int i = 0; i < 4; ++i) fourcc += QLatin1Char(static_cast<char>((dv.fourcc() >> (8 * i)) & 0xFF));
    rows.emplace_back(QStringLiteral("Type:"), ok ? QString::fromLatin1(media::typeName(type)) : QString());
    rows.emplace_back(QStringLiteral("Subtype:"), ok ? fourcc : QString());
    rows.emplace_back(QStringLiteral("Size:"), fileSizeText(sizeOf(path), locale));
    rows.emplace_back(QStringLiteral("Duration:"), ok ? durationText(frames, rate) : QString());
    rows.emplace_back(QStringLiteral("Number of frames:"), framesText);
    rows.emplace_back(QString(), QString());

    QString system, frameRate, videoSize, aspect, audio;
    if (ok && frames > 0) {
        // Each frame read resets the audio quantisation and lock; keep the first frame's known values.
        media::DvMediaFile::StreamProperties props;
        int bits = -1, locked = -1;
        for (int64_t n = 0; n < std::min<int64_t>(frames, 10); ++n) {
            dv.readStreamProperties(n, props);
            if (bits < 0) bits = props.audioBits;
            if (locked < 0) locked = props.audioLocked;
        }
        props.audioBits = bits;
        props.audioLocked = locked;
        if (pal) {
            system = QStringLiteral("625 (PAL)");
            frameRate = QStringLiteral("25 fps");
            videoSize = QStringLiteral("720 x 576");
        } else {
            bool drop = false;
            for (int64_t n = 0; n < std::min<int64_t>(frames, 10); ++n) {
                media::DvMediaFile::Timecode tc;
                if (dv.readTimecode(n, tc) && tc.hours >= 0) {
                    drop = tc.dropFrame;
                    break;
                }
            }
            system = drop ? QStringLiteral("525 (NTSC, drop frame)") : QStringLiteral("525 (NTSC, non-drop frame)");
            frameRate = QStringLiteral("29.97 fps");
            videoSize = QStringLiteral("720 x 480");
        }
        aspect = props.widescreen ? QStringLiteral("16 x 9") : QStringLiteral("4 x 3");
        audio = dvAudioSamplingText(props.sampleRate, props.audioBits, props.audioLocked);
    }
    rows.emplace_back(QStringLiteral("System:"), system);
    rows.emplace_back(QStringLiteral("Frame rate:"), frameRate);
    rows.emplace_back(QStringLiteral("Video size:"), videoSize);
    rows.emplace_back(QStringLiteral("Display aspect ratio:"), aspect);
    rows.emplace_back(QString(), QString());
    rows.emplace_back(QStringLiteral("Audio sampling:"), audio);
    if (avi) {
        rows.emplace_back(QString(), QString());
        premiereRows(path, type, rows, "Prem Start timecode:", "Prem Reel:");
    }
    return rows;
}

PropertyRows hdvPropertyRows(const std::string& path, const QLocale& locale) {
    PropertyRows rows;
    media::HdvStreamInfo info;
    const bool ok = media::scanHdvStream(path, false, info).ok();
    const int64_t size = sizeOf(path);
    rows.emplace_back(QStringLiteral("Type:"), QStringLiteral("MPEG-2 transport stream"));
    rows.emplace_back(QStringLiteral("Subtype:"), QStringLiteral("HDV2"));
    rows.emplace_back(QStringLiteral("Size:"), fileSizeText(size, locale));
    QString duration, rate, sourceRate, frameType, videoSize, aspect;
    if (ok) {
        // The duration is estimated from the file size and the stream's bit rate.
        if (info.video.bitRate > 0 && size > 0)
            duration = hmsText(size * 8 / info.video.bitRate) + QStringLiteral(" estimated");
        int num = 0, den = 1;
        media::mpegFrameRate(info.video.frameRateCode, num, den);
        if (num > 0) rate = QString::number(static_cast<double>(num) / den, 'f', 2);
        if (info.firstPts >= 0 && info.lastPts > info.firstPts && info.videoPictures > 1)
            sourceRate = QString::number((info.videoPictures - 1) * 90000.0 / (info.lastPts - info.firstPts), 'f', 2);
        frameType = info.video.progressive ? QStringLiteral("Progressive") : QStringLiteral("Interlaced");
        videoSize = QStringLiteral("%1 x %2").arg(info.video.width).arg(info.video.height);
        aspect = info.video.aspectCode == 3   ? QStringLiteral("16 x 9")
                 : info.video.aspectCode == 2 ? QStringLiteral("4 x 3")
                                              : QStringLiteral("1 x 1");
    }
    rows.emplace_back(QStringLiteral("Duration:"), duration);
    rows.emplace_back(QStringLiteral("Frame rate:"), rate);
    rows.emplace_back(QStringLiteral("Source frame rate:"), sourceRate);
    rows.emplace_back(QStringLiteral("Frame type:"), frameType);
    rows.emplace_back(QStringLiteral("Video size:"), videoSize);
    rows.emplace_back(QStringLiteral("Display aspect ratio:"), aspect);
    rows.emplace_back(QStringLiteral("Audio sampling:"), QStringLiteral("48 KHz"));
    rows.emplace_back(QStringLiteral("Prem Start timecode:"), QString());
    rows.emplace_back(QStringLiteral("Prem Reel:"), QString());
    rows.emplace_back(QStringLiteral("Prem Number of frames:"),
                      ok ? locale.toString(static_cast<qlonglong>(info.videoPictures)) : QString());
    return rows;
}

PropertyRows avchdPropertyRows(const std::string& path, const QLocale& locale) {
    PropertyRows rows;
    media::AvchdStreamDescription v;
    media::AvchdAudioDescription a;
    const bool video = media::describeAvchdStream(path, v).ok();
    const bool audio = media::describeAvchdAudio(path, a).ok();
    const int64_t size = sizeOf(path);
    const int64_t ms = v.durationPts / 90;
    const int64_t s = (ms + 500) / 1000;
    rows.emplace_back(QStringLiteral("Type:"), QStringLiteral("BDAV MPEG-2 transport stream"));
    rows.emplace_back(QStringLiteral("Subtype:"), QStringLiteral("AVCHD"));
    rows.emplace_back(QStringLiteral("Profile/Level:"),
                      video ? QString::fromStdString(v.profileText + v.levelText) : QString());
    rows.emplace_back(QStringLiteral("Size:"), fileSizeText(size, locale));
    rows.emplace_back(QStringLiteral("Bitrate:"),
                      video && s > 0 && size > 0
                          ? QString::number(size * 8.0 / s / 1000000.0, 'f', 2) + QStringLiteral(" Mbps")
                          : QString());
    rows.emplace_back(QStringLiteral("Duration:"), video ? hmsText(s) : QString());
    rows.emplace_back(QString(), QString());
    rows.emplace_back(
        QStringLiteral("Frame rate:"),
        video && v.rateDen > 0 ? QString::number(static_cast<double>(v.rateNum) / v.rateDen, 'f', 4) : QString());
    rows.emplace_back(QStringLiteral("Frame type:"),
                      video ? (v.frameCoding ? QStringLiteral("Progressive") : QStringLiteral("Interlaced")) : QString());
    rows.emplace_back(QStringLiteral("Video size:"),
                      video ? QStringLiteral("%1 x %2").arg(v.width).arg(v.height == 1088 ? 1080 : v.height) : QString());
    rows.emplace_back(QStringLiteral("Display aspect ratio:"),
                      video ? avchdAspectText(v.width, v.height, v.sarWidth, v.sarHeight) : QString());
    rows.emplace_back(QString(), QString());
    rows.emplace_back(QStringLiteral("Audio format:"), QStringLiteral("AC-3"));
    rows.emplace_back(QStringLiteral("Audio sampling:"), audio ? avchdAudioSamplingText(a.sampleRate) : QString());
    rows.emplace_back(QStringLiteral("Audio bit rate:"), audio ? QStringLiteral("%1 kbps").arg(a.bitRateKbps) : QString());
    rows.emplace_back(QStringLiteral("Channels:"),
                      audio ? QStringLiteral("%1 (%2)").arg(a.channels).arg(QString::fromStdString(a.layout)) : QString());
    return rows;
}

PropertyRows gpsPropertyRows(const media::AvchdGpsValues* g, bool decimal) {
    PropertyRows rows;
    auto value = [&](auto make) { return g ? make() : QString(); };
    rows.emplace_back(QStringLiteral("Latitude:"), value([&] { return degreesText(g->latitude, true, decimal); }));
    rows.emplace_back(QStringLiteral("Longitude:"), value([&] { return degreesText(g->longitude, false, decimal); }));
    rows.emplace_back(QStringLiteral("Altitude:"),
                      g && g->hasAltitude ? QStringLiteral("%1 m").arg(g->altitude, 0, 'f', 1) : QString());
    rows.emplace_back(QStringLiteral("Speed:"), g && g->hasSpeed ? QStringLiteral("%1 %2")
                                                                       .arg(g->speed, 0, 'f', 1)
                                                                       .arg(g->speedUnit == 'N'   ? QStringLiteral("knots")
                                                                            : g->speedUnit == 'M' ? QStringLiteral("mi/h")
                                                                                                  : QStringLiteral("km/h"))
                                                                 : QString());
    rows.emplace_back(QStringLiteral("Track:"),
                      g && g->hasTrack ? QStringLiteral("%1 %2")
                                             .arg(g->track, 0, 'f', 1)
                                             .arg(g->trackRef == 'M' ? QStringLiteral("magnetic") : QStringLiteral("true"))
                                       : QString());
    return rows;
}

}  // namespace zorv::app
