// File > "&Properties": the properties sheet (CFilePropertiesSheet) of the open media file.
#pragma once

#include <string>

#include <QWidget>

namespace zorv::media {
struct AvchdGpsValues;
}

namespace zorv::app {

// gps: the shown picture's position for the Geotagging page (AVCHD), null when it has none;
// gpsDecimal: degrees as decimal numbers (General page).
void showFileProperties(QWidget* parent, const std::string& path, const media::AvchdGpsValues* gps = nullptr,
                        bool gpsDecimal = false);

}  // namespace zorv::app
