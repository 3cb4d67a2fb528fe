// `zorv info` and `zorv frame` for HDV and AVCHD transport streams: the stream description and every
// metadata item of one picture, chosen by index or by time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/metadata_text.h"
#include "media/formats/format_table.h"

namespace zorv::cli {

// Both return -1 when the file is not a transport stream they handle (the caller goes on with DV),
// else the process exit status.
int streamInfo(const std::string& path);

struct FrameRequest {
    std::optional<int64_t> index;   // picture in display order, from 0
    std::optional<double> seconds;  // or a time from the first picture
    bool json = false;
    core::DisplaySettings settings;
};
int streamFrame(const std::string& path, const FrameRequest& request);

// The HDV pieces.
int hdvInfo(const std::string& path, const media::FormatDescriptor& format);
int hdvFrame(const std::string& path, const media::FormatDescriptor& format, const FrameRequest& request);

// The AVCHD pieces (stream_info_avchd.cpp).
int avchdInfo(const std::string& path, const media::FormatDescriptor& format);
int avchdFrame(const std::string& path, const FrameRequest& request);

}  // namespace zorv::cli
