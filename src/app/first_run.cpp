#include "app/first_run.h"

#include "media/codec/codec_registry.h"

namespace zorv::app {

void preselectBuiltInDecoders(core::SettingsStore& store, core::Options& options) {
    using media::codec::CodecRole;
    struct Role {
        core::DecoderRole role;
        const char* value;  // the stored class identifier's name
        CodecRole codecs;
        const char* builtIn;
        core::DecoderSelection core::Options::*selection;
    };
    static const Role kRoles[] = {
        {core::DecoderRole::kMpeg2Video, "Mpeg2Guid", CodecRole::kMpeg2VideoDecoder, "mpeg2video",
         &core::Options::mpeg2Decoder},
        {core::DecoderRole::kAvcVideo, "AvcVGuid", CodecRole::kH264VideoDecoder, "h264", &core::Options::avcVideoDecoder},
        {core::DecoderRole::kAvcAudio, "AvcAGuid", CodecRole::kAc3AudioDecoder, "ac3", &core::Options::avcAudioDecoder},
    };
    for (const Role& r : kRoles) {
        if (!store.readString("Options", r.value, "").empty()) continue;
        auto entry = media::codec::findCodecByName(r.codecs, r.builtIn);
        if (!entry) entry = media::codec::firstAvailableCodec(r.codecs);
        if (!entry) continue;
        options.*r.selection = entry->selection();
        store.writeDecoderSelection(r.role, entry->selection());
    }
}

}  // namespace zorv::app
