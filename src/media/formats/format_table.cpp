#include "media/formats/format_table.h"

#include <algorithm>
#include <new>

#include "media/formats/formats.h"

namespace zorv::media {

namespace {

// Probe order: the AVI kinds first (any other AVI ends recognition), then Raw DV, the transport
// streams and the program stream, all from one read of the file's start.
const FormatDescriptor* const kTable[] = {
    &kAviType1Format, &kAviType2Format, &kRawDvFormat, &kHdv2Format, &kHdv1Format, &kAvchdFormat, &kModFormat,
};

const FormatDescriptor kUnknownFormat = {
    .playRefusal = "File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format:\r\n\r\n%s",
};

}  // namespace

std::span<const FormatDescriptor* const> formatTable() { return kTable; }

const FormatDescriptor& formatOf(FileType type) {
    for (const FormatDescriptor* d : kTable)
        if (d->type == type) return *d;
    return kUnknownFormat;
}

const FormatDescriptor& formatOf(int type) { return formatOf(static_cast<FileType>(type)); }

std::string playRefusalText(const FormatDescriptor& format, const std::string& path) {
    std::string text = format.playRefusal ? format.playRefusal : "";
    if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, path);
    return text;
}

ProbeContext::~ProbeContext() { delete[] buf_; }

bool ProbeContext::isRiffAvi() const {
    return std::equal(head_, head_ + 4, "RIFF") && std::equal(head_ + 8, head_ + 12, "AVI ");
}

bool ProbeContext::start(Recognition& r, const uint8_t*& data, size_t& n) {
    if (!read_) {
        read_ = true;
        const size_t want = static_cast<size_t>(std::min<int64_t>(size_, static_cast<int64_t>(kTsTestBytes)));
        buf_ = new (std::nothrow) uint8_t[want];
        if (!buf_) {
            r.status = core::Status::failure(core::ErrorCode::kOutOfMemory);
        } else {
            const int64_t got = file_.readAt(0, buf_, want);
            if (got < 0) {
                delete[] buf_;
                buf_ = nullptr;
                r.status = core::Status::failure(core::ErrorCode::kReadFailed, {}, file_.sysError());
            } else {
                n_ = static_cast<size_t>(got);
            }
        }
    }
    if (!buf_) return false;
    data = buf_;
    n = n_;
    return true;
}

const TsGeometry* ProbeContext::tsGeometry() {
    if (geometryState_ == 0) geometryState_ = buf_ && size_ >= kTsMinSize && findTsGeometry(buf_, n_, geometry_) ? 1 : -1;
    return geometryState_ > 0 ? &geometry_ : nullptr;
}

FileType ProbeContext::hdvType() {
    if (!hdvDone_) {
        hdvDone_ = true;
        const TsGeometry* geom = tsGeometry();
        if (geom && n_ == kTsTestBytes) hdv_ = detectHdv(buf_, n_, *geom);
    }
    return hdv_;
}

}  // namespace zorv::media
