// The web-map request of the AVCHD player's Display Map: the picture's GPS position as "%.5f,%.5f" in
// decimal degrees fills both placeholders of the query on the map service's "maps" path. Opening the
// address with the desktop's default handler is the window's.
#pragma once

#include <optional>
#include <string>

#include "core/metadata_record.h"

namespace zorv::playback {

// The map service used for the request (its "maps" path takes the query below).
inline constexpr const char* kMapServiceHost = "https://maps.google.com";
inline constexpr const char* kMapQuery = "/maps?&t=h&z=15&spn=0.01,0.01&ll=%s&q=%s";

// The position of a picture's record; nothing without the GPS version tag (0xB0) and all latitude and
// longitude tags (0xB1 to 0xB8).
std::optional<std::string> mapPosition(const core::MetadataRecord& record);
// The address: host followed by the query with both placeholders filled with position.
std::string mapRequestUrl(const std::string& position, const std::string& host = kMapServiceHost);

// The message when the shown picture has no position: with or without geotagging in the file.
const char* noGeotagText(bool fileHasGeotagging);
inline constexpr const char* kMapTitle = "Display map";

}  // namespace zorv::playback
