// The codecs a selection dialog examines for a role (every one libavcodec has for it, whether it
// passes the role's test or not), and the settings a codec offers, for the "Properties" button.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "media/codec/codec_registry.h"

namespace zorv::media::codec {

// Every decoder of the role's format (or every video encoder for compressors), software only, in
// libavcodec's order; "Uncompressed" is not among them.
std::vector<CodecEntry> codecCandidates(CodecRole role);

// One setting of a codec: its name, value type, default and description.
struct CodecSetting {
    std::string name;
    std::string type;
    std::string defaultValue;
    std::string help;
};

// The codec's own settings (its private options); empty when it has none or is unknown.
std::vector<CodecSetting> codecSettings(CodecRole role, std::string_view codecName);

}  // namespace zorv::media::codec
