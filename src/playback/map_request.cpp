#include "playback/map_request.h"

#include "core/metadata_text.h"

namespace zorv::playback {

std::optional<std::string> mapPosition(const core::MetadataRecord& record) {
    core::TextBuf text;
    if (!core::formatMapPosition(text, record)) return std::nullopt;
    return std::string(text.view());
}

std::string mapRequestUrl(const std::string& position, const std::string& host) {
    std::string query = kMapQuery;
    for (size_t at = query.find("%s"); at != std::string::npos; at = query.find("%s", at + position.size()))
        query.replace(at, 2, position);
    return host + query;
}

const char* noGeotagText(bool fileHasGeotagging) {
    return fileHasGeotagging ? "No geotagging information available at this playback position"
                             : "No geotagging information available";
}

}  // namespace zorv::playback
