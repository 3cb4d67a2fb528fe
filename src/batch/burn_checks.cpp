#include "batch/burn_checks.h"

#include "media/formats/format_table.h"
#include "media/codec/codec_registry.h"
#include "media/recognize.h"

namespace zorv::batch {

namespace codec = media::codec;

std::string noDecoderConfiguredText(const char* what) {
    const std::string w = what;
    return "ZORV Pro is not yet configured with a 3rd party " + w +
           ".\r\n\r\nPlease go to the \"Decoders\" section of the Tools->Options dialog and select a 3rd party " + w +
           " from the list of those which are installed on your PC. If the list is empty then your PC does not have "
           "a suitable " +
           w +
           " installed, and you will need to install one before proceeding.\r\n\r\nFor more details, see the "
           "\"Decoders\" section of the online help.";
}

std::optional<DecoderProblem> checkBurnDecoders(const std::vector<media::FileType>& types, const core::Options& options,
                                                bool chosenOnly) {
    struct Family {
        core::MediaFamily family;
        codec::CodecRole role;
        const core::DecoderSelection* chosen;
        const char* title;
        const char* what;
    };
    const Family families[] = {
        {core::MediaFamily::kHdv, codec::CodecRole::kMpeg2VideoDecoder, &options.mpeg2Decoder,
         "No MPEG-2 video decoder configured", "MPEG-2 video decoder"},
        {core::MediaFamily::kAvchd, codec::CodecRole::kH264VideoDecoder, &options.avcVideoDecoder,
         "No AVCHD video decoder configured", "AVCHD video decoder"},
    };
    for (const Family& f : families) {
        bool present = false;
        for (media::FileType t : types) {
            const media::FormatDescriptor& format = media::formatOf(t);
            present = present || (format.family == f.family && format.has(media::format_tool::kBurnIn));
        }
        if (!present) continue;
        const bool ok = chosenOnly ? f.chosen->isSet() && codec::findCodec(f.role, f.chosen->id).has_value()
                                   : !codec::availableCodecs(f.role).empty();
        if (!ok) return DecoderProblem{f.title, noDecoderConfiguredText(f.what)};
    }
    return std::nullopt;
}

std::vector<media::FileType> fileTypes(const std::vector<std::string>& paths) {
    std::vector<media::FileType> out;
    out.reserve(paths.size());
    for (const auto& p : paths) {
        const media::Recognition r = media::recognize(p);
        out.push_back(r.ok() ? r.type : media::FileType{});
    }
    return out;
}

bool BurnTimeoutWatch::tick(const BatchSnapshot& s) {
    if (s.burnFile < 0) {
        file_ = -1;
        ticks_ = 0;
        return false;
    }
    if (s.burnFile != file_) {
        file_ = s.burnFile;
        ticks_ = 0;
    }
    ++ticks_;
    if (s.burnPosition == 0 && ticks_ >= limit_) {
        ticks_ = 0;
        return true;
    }
    return false;
}

}  // namespace zorv::batch
