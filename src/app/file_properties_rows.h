// The rows of the file properties pages: which properties each kind of file shows and how each value
// is written. Pure functions of the file and the locale, so the sheet only lays them out.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zorv::media {
struct AvchdGpsValues;
}

namespace zorv::app {

// (property, value); an empty property is a blank separator row.
using PropertyRows = std::vector<std::pair<QString, QString>>;

// "1,024 MiB (1,073,741,824 bytes)" from 1 GiB up, else "... KiB (... bytes)".
QString fileSizeText(int64_t bytes, const QLocale& locale);
// DV audio: rate in units of 100 Hz ("48 KHz", "44.1 KHz"), then ", %d bit" when known (bits > 0),
// then ", locked" / ", unlocked" when known (locked 1 / 0).
QString dvAudioSamplingText(int rate100Hz, int bits, int locked);
// AVCHD audio: "48 kHz", "44.100 kHz".
QString avchdAudioSamplingText(int rateHz);
// "1 x 1", "4 x 3" or "16 x 9" from the coded size and the sample aspect ratio (0/0 counts as 1/1).
QString avchdAspectText(int64_t width, int64_t height, int sarWidth, int sarHeight);

PropertyRows dvPropertyRows(const std::string& path, const QLocale& locale);
PropertyRows hdvPropertyRows(const std::string& path, const QLocale& locale);
PropertyRows avchdPropertyRows(const std::string& path, const QLocale& locale);
// Geotagging rows; values empty when gps is null. decimal: degrees as decimal numbers.
PropertyRows gpsPropertyRows(const media::AvchdGpsValues* gps, bool decimal);

}  // namespace zorv::app
