// File properties: the value forms, and the rows of generated DV files.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/file_properties_rows.h"
#include "app/file_properties_sheet.h"
#include "gen/clip_writer.h"
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
    EXPECT_TRUE(valueOf(n, "Audio sampling:").startsWith(QStringLiteral("32 KHz"))) << valueOf(n, "Audio sampling:").toStdString();
    EXPECT_EQ(valueOf(n, "Prem Reel:"), QStringLiteral("<missing>"));  // AVI files only
    EXPECT_EQ(valueOf(n, "Size:"), fileSizeText(40 * 120000, en));

    CFilePropertiesSheet sheet(nullptr, widePath);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("File properties"));
    ASSERT_NE(sheet.page(0), nullptr);
    EXPECT_EQ(sheet.page(0)->value(QStringLiteral("Display aspect ratio:")), QStringLiteral("16 x 9"));
}

}  // namespace
}  // namespace zorv::app
