// File properties: the value forms, and the rows of generated DV files.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>

#include "app/file_properties_rows.h"
#include "app/file_properties_sheet.h"
#include "app/main_dialog.h"
#include "app/menu_state.h"
#include "app_test_support.h"
#include "core/settings_store.h"
#include "gen/avchd_writer.h"
#include "gen/clip_writer.h"
#include "gen/hdv_writer.h"
#include "media/codec/codec_registry.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

QString valueOf(const PropertyRows& rows, const char* property) {
    for (const auto& [p, v] : rows)
        if (p == QLatin1String(property)) return v;
    return QStringLiteral("<missing>");
}

TEST(FilePropertiesFormat, SizeSwitchesToMebibytesAtOneGibibyte) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(fileSizeText(1073741824, en), QStringLiteral("1,024 MiB (1,073,741,824 bytes)"));
    EXPECT_EQ(fileSizeText(1073741823, en), QStringLiteral("1,048,575 KiB (1,073,741,823 bytes)"));
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(fileSizeText(1073741824, de), QStringLiteral("1.024 MiB (1.073.741.824 bytes)"));
}

TEST(FilePropertiesFormat, AudioSamplingForms) {
    EXPECT_EQ(dvAudioSamplingText(320, 12, 0), QStringLiteral("32 KHz, 12 bit, unlocked"));
    EXPECT_EQ(dvAudioSamplingText(441, 16, 1), QStringLiteral("44.1 KHz, 16 bit, locked"));
    EXPECT_EQ(dvAudioSamplingText(480, -1, -1), QStringLiteral("48 KHz"));
    EXPECT_EQ(avchdAudioSamplingText(48000), QStringLiteral("48 kHz"));
    EXPECT_EQ(avchdAudioSamplingText(44100), QStringLiteral("44.100 kHz"));
}

TEST(FilePropertiesFormat, AvchdAspectFromSampleAspect) {
    EXPECT_EQ(avchdAspectText(1440, 1080, 4, 3), QStringLiteral("16 x 9"));
    EXPECT_EQ(avchdAspectText(1920, 1088, 1, 1), QStringLiteral("16 x 9"));
    EXPECT_EQ(avchdAspectText(720, 480, 8, 9), QStringLiteral("4 x 3"));
    EXPECT_EQ(avchdAspectText(1080, 1080, 0, 0), QStringLiteral("1 x 1"));
}

TEST(FileProperties, DvRowsHoldWhatTheGeneratorWrote) {
    test::ensureApplication();
    QTemporaryDir dir;
    const QLocale en(QLocale::English, QLocale::UnitedStates);

    gen::ClipSpec wide = gen::palClip(50);
    wide.widescreen = true;
    const std::string widePath = dir.filePath(QStringLiteral("wide.avi")).toStdString();
    ASSERT_TRUE(gen::writeClip(wide, widePath, gen::Container::Avi2).ok());
    const PropertyRows w = dvPropertyRows(widePath, en);
    EXPECT_EQ(valueOf(w, "Type:"), QStringLiteral("AVI Type 2"));
    EXPECT_EQ(valueOf(w, "Subtype:"), QStringLiteral("dvsd"));
    EXPECT_EQ(valueOf(w, "Number of frames:"), QStringLiteral("50"));
    EXPECT_EQ(valueOf(w, "Duration:"), QStringLiteral("00:00:02:00"));
    EXPECT_EQ(valueOf(w, "System:"), QStringLiteral("625 (PAL)"));
    EXPECT_EQ(valueOf(w, "Video size:"), QStringLiteral("720 x 576"));
    EXPECT_EQ(valueOf(w, "Display aspect ratio:"), QStringLiteral("16 x 9"));
    EXPECT_EQ(valueOf(w, "Audio sampling:"), QStringLiteral("48 KHz, 16 bit, locked"));
    EXPECT_NE(valueOf(w, "Prem Start timecode:"), QStringLiteral("<missing>"));

    gen::ClipSpec ntsc = gen::ntscClip(40, true);
    ntsc.audio.sampleRate = 32000;
    ntsc.audio.bits = 12;
    const std::string rawPath = dir.filePath(QStringLiteral("ntsc.dv")).toStdString();
    ASSERT_TRUE(gen::writeClip(ntsc, rawPath, gen::Container::RawDv).ok());
    const PropertyRows n = dvPropertyRows(rawPath, en);
    EXPECT_EQ(valueOf(n, "Type:"), QStringLiteral("Raw DV"));
    EXPECT_EQ(valueOf(n, "System:"), QStringLiteral("525 (NTSC, drop frame)"));
    EXPECT_EQ(valueOf(n, "Video size:"), QStringLiteral("720 x 480"));
    EXPECT_EQ(valueOf(n, "Display aspect ratio:"), QStringLiteral("4 x 3"));
    EXPECT_TRUE(valueOf(n, "Audio sampling:").startsWith(QStringLiteral("32 KHz")))
        << valueOf(n, "Audio sampling:").toStdString();
    EXPECT_EQ(valueOf(n, "Prem Reel:"), QStringLiteral("<missing>"));  // AVI files only
    EXPECT_EQ(valueOf(n, "Size:"), fileSizeText(40 * 120000, en));

    CFilePropertiesSheet sheet(nullptr, widePath);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("File properties"));
    ASSERT_NE(sheet.page(0), nullptr);
    EXPECT_EQ(sheet.page(0)->value(QStringLiteral("Display aspect ratio:")), QStringLiteral("16 x 9"));
}

TEST(FileProperties, HdvRowsHoldWhatTheGeneratorWrote) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    gen::HdvWritten pal;
    const std::string palPath = gen::cachedHdv("props-pal.m2t", gen::HdvSpec{}, &pal);
    const PropertyRows p = hdvPropertyRows(palPath, en);
    EXPECT_EQ(valueOf(p, "Type:"), QStringLiteral("MPEG-2 transport stream"));
    EXPECT_EQ(valueOf(p, "Subtype:"), QStringLiteral("HDV2"));
    EXPECT_EQ(valueOf(p, "Size:"), fileSizeText(pal.fileSize, en));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d estimated$")).match(valueOf(p, "Duration:")).hasMatch())
        << valueOf(p, "Duration:").toStdString();
    EXPECT_EQ(valueOf(p, "Frame rate:"), QStringLiteral("25.00"));
    EXPECT_EQ(valueOf(p, "Source frame rate:"), QStringLiteral("25.00"));
    EXPECT_EQ(valueOf(p, "Frame type:"), QStringLiteral("Progressive"));
    EXPECT_EQ(valueOf(p, "Video size:"), QStringLiteral("1440 x 1080"));
    EXPECT_EQ(valueOf(p, "Display aspect ratio:"), QStringLiteral("16 x 9"));  // 1440 x 1080 at 4:3 pixels
    EXPECT_EQ(valueOf(p, "Audio sampling:"), QStringLiteral("48 KHz"));
    EXPECT_EQ(valueOf(p, "Prem Number of frames:"), QString::number(pal.pictures.size()));

    gen::HdvSpec ntscSpec;
    ntscSpec.ntsc = true;
    ntscSpec.frames = 60;
    gen::HdvWritten ntsc;
    const PropertyRows n = hdvPropertyRows(gen::cachedHdv("props-ntsc.m2t", ntscSpec, &ntsc), en);
    EXPECT_EQ(valueOf(n, "Frame rate:"), QStringLiteral("29.97"));
    EXPECT_EQ(valueOf(n, "Source frame rate:"), QStringLiteral("29.97"));
    EXPECT_EQ(valueOf(n, "Prem Number of frames:"), QStringLiteral("60"));
}

TEST(FileProperties, AvchdRowsHoldWhatTheGeneratorWrote) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    gen::AvchdSpec full;
    full.frames = 50;
    gen::AvchdWritten fullWritten;
    const PropertyRows f = avchdPropertyRows(gen::cachedAvchd("props-1920.m2ts", full, &fullWritten), en);
    EXPECT_EQ(valueOf(f, "Type:"), QStringLiteral("BDAV MPEG-2 transport stream"));
    EXPECT_EQ(valueOf(f, "Subtype:"), QStringLiteral("AVCHD"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(High|Main|Baseline|Constrained Baseline)@L\\d(\\.\\d)?$"))
                    .match(valueOf(f, "Profile/Level:"))
                    .hasMatch())
        << valueOf(f, "Profile/Level:").toStdString();
    EXPECT_EQ(valueOf(f, "Size:"), fileSizeText(fullWritten.fileSize, en));
    // 50 pictures: 1960 ms between the first and last time stamps, rounded to 2 s.
    EXPECT_EQ(valueOf(f, "Duration:"), QStringLiteral("00:00:02"));
    EXPECT_EQ(valueOf(f, "Bitrate:"),
              QString::number(fullWritten.fileSize * 8.0 / 2 / 1e6, 'f', 2) + QStringLiteral(" Mbps"));
    EXPECT_EQ(valueOf(f, "Frame rate:"), QStringLiteral("25.0000"));
    EXPECT_EQ(valueOf(f, "Frame type:"), QStringLiteral("Progressive"));
    EXPECT_EQ(valueOf(f, "Video size:"), QStringLiteral("1920 x 1080"));
    EXPECT_EQ(valueOf(f, "Display aspect ratio:"), QStringLiteral("16 x 9"));
    EXPECT_EQ(valueOf(f, "Audio format:"), QStringLiteral("AC-3"));
    EXPECT_EQ(valueOf(f, "Audio sampling:"), QStringLiteral("48 kHz"));
    EXPECT_EQ(valueOf(f, "Audio bit rate:"), QStringLiteral("256 kbps"));
    EXPECT_EQ(valueOf(f, "Channels:"), QStringLiteral("2 (L, R)"));

    // 1440 x 1080 written with square pixels is 4 x 3; 30000/1001 pictures/s; 2/0 + LFE.
    gen::AvchdSpec narrow;
    narrow.frames = 60;
    narrow.width = 1440;
    narrow.fps = 30;
    narrow.lfe = true;
    const PropertyRows n = avchdPropertyRows(gen::cachedAvchd("props-1440.m2ts", narrow), en);
    EXPECT_EQ(valueOf(n, "Video size:"), QStringLiteral("1440 x 1080"));
    EXPECT_EQ(valueOf(n, "Display aspect ratio:"), QStringLiteral("4 x 3"));
    EXPECT_EQ(valueOf(n, "Frame rate:"), QStringLiteral("29.9700"));
    EXPECT_EQ(valueOf(n, "Channels:"), QStringLiteral("3 (L, R, LFE)"));
}

// The Geotagging page opened from File > Properties shows the position of the picture on screen.
TEST(FileProperties, GeotaggingPageFollowsTheShownPicture) {
    test::ensureApplication();
    using media::codec::CodecRole;
    QTemporaryDir dir;
    core::SettingsStore store(std::filesystem::path(dir.path().toStdString()) / "zorv.ini");
    auto video = media::codec::findCodecByName(CodecRole::kH264VideoDecoder, "h264");
    auto audio = media::codec::findCodecByName(CodecRole::kAc3AudioDecoder, "ac3");
    ASSERT_TRUE(video && audio);
    store.writeDecoderSelection(core::DecoderRole::kAvcVideo, video->selection());
    store.writeDecoderSelection(core::DecoderRole::kAvcAudio, audio->selection());
    gen::AvchdSpec desc;
    desc.frames = 250;  // the same stream as the main window's map test
    desc.width = 640;
    desc.height = 352;
    desc.gps = gen::GpsMode::Track;
    const std::string path = gen::cachedAvchd("app-gps.m2ts", desc);

    test::PromptRecorder prompts;
    CMainDialog window(store, false);
    ASSERT_TRUE(window.openFile(QString::fromStdString(path))) << prompts.lastMessage().toStdString();
    ASSERT_TRUE(window.player()->setPictureIndex(60).ok());  // two seconds in: the track has moved twice

    std::vector<std::pair<QString, QString>> tabs;  // (tab title, latitude)
    QString altitude, speed, track;
    setDialogHook([&](QDialog& d) {
        auto* sheet = qobject_cast<CFilePropertiesSheet*>(&d);
        ASSERT_NE(sheet, nullptr);
        for (int i = 0; i < sheet->pages()->count(); ++i)
            tabs.emplace_back(sheet->pages()->tabText(i), sheet->page(i)->value(QStringLiteral("Latitude:")));
        if (CFilePropPage* gps = sheet->page(1)) {
            altitude = gps->value(QStringLiteral("Altitude:"));
            speed = gps->value(QStringLiteral("Speed:"));
            track = gps->value(QStringLiteral("Track:"));
        }
        sheet->accept();
    });
    window.command(cmd::kProperties);
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[1].first, QStringLiteral("Geotagging"));
    const gen::GpsFix fix = gen::avchdGpsFix(desc, 60);
    EXPECT_EQ(tabs[1].second, QStringLiteral("N %1\u00B0 %2' %3\"")
                                  .arg(fix.latDeg)
                                  .arg(fix.latMin)
                                  .arg(QString::number(fix.latSecX100 / 100.0, 'f', 2)));
    EXPECT_EQ(altitude, QStringLiteral("%1 m").arg(QString::number(fix.altitudeX10 / 10.0, 'f', 1)));
    EXPECT_EQ(speed, QStringLiteral("13.5 km/h"));
    EXPECT_EQ(track, QStringLiteral("45.0 true"));

    // Decimal degrees when the General page asks for them.
    window.options().gpsInDecimal = true;
    tabs.clear();
    window.command(cmd::kProperties);
    setDialogHook({});
    ASSERT_EQ(tabs.size(), 2u);
    const double lat = fix.latDeg + fix.latMin / 60.0 + fix.latSecX100 / 360000.0;
    EXPECT_EQ(tabs[1].second, QString::number(lat, 'f', 6));
    EXPECT_TRUE(prompts.prompts.empty());
}

}  // namespace
}  // namespace zorv::app
