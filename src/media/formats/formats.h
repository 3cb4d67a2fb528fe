// The descriptors, one per container file; the table (format_table.cpp) lists them in probe order.
#pragma once

#include "media/formats/format_table.h"

namespace zorv::media {

extern const FormatDescriptor kAviType1Format;
extern const FormatDescriptor kAviType2Format;
extern const FormatDescriptor kRawDvFormat;
extern const FormatDescriptor kHdv2Format;
extern const FormatDescriptor kHdv1Format;
extern const FormatDescriptor kAvchdFormat;
extern const FormatDescriptor kModFormat;

}  // namespace zorv::media
