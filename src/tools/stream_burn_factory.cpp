#include "tools/stream_burn_factory.h"

#include <optional>

#include "media/codec/codec_registry.h"
#include "overlay/overlay_drawer.h"
#include "tools/avi_picture_sink.h"
#include "tools/system_text.h"
#include "tools/ts_burn_source.h"

namespace zorv::tools {

namespace codec = media::codec;

StreamBurnChoice streamBurnChoice(const core::Options& options) {
    StreamBurnChoice c;
    c.audio = options.includeAudio;
    if (auto entry = codec::findCodec(codec::CodecRole::kVideoCompressor, options.outputCompressor.id))
        c.compressor = entry->name;
    return c;
}

std::unique_ptr<StreamBurnInJob> makeStreamBurnJob(core::MediaFamily family, const std::string& input,
                                                   const std::string& output, const core::Options& options,
                                                   const StreamBurnChoice& choice, std::string& error, bool overwrite) {
    media::OutputFile out;
    if (const core::Status s = out.begin(output, {overwrite, {input}}); !s) {
        error = s.sysError ? s.message + ": " + systemText(s.sysError) : s.message;
        return nullptr;
    }
    const bool hdv = family == core::MediaFamily::kHdv;
    const codec::CodecRole role = hdv ? codec::CodecRole::kMpeg2VideoDecoder : codec::CodecRole::kH264VideoDecoder;
    const core::DecoderSelection& chosen = hdv ? options.mpeg2Decoder : options.avcVideoDecoder;
    std::optional<codec::CodecEntry> decoder = codec::findCodec(role, chosen.id);
    if (!decoder) decoder = codec::firstAvailableCodec(role);
    if (!decoder) {
        error = hdv ? kNoHdvDecoder : kNoAvchdDecoder;
        return nullptr;
    }
    auto source = std::make_unique<TsBurnSource>();
    // With a compressor that keeps both cores busy, decoding on the job's own thread costs less than
    // decoder threads would (no hand-over between them) and keeps up with the compressor.
    const int decoderThreads = compressorUsesEveryCore(choice.compressor) ? 1 : 2;
    const core::Status s = source->open(input, family, decoder->name, choice.audio, decoderThreads);
    if (!s) {
        error = s.message;
        return nullptr;
    }
    int64_t num = 25, den = 1;
    source->pictureRate(num, den);
    auto sink = std::make_unique<AviPictureSink>(choice.compressor, num, den, choice.audio);
    auto job = std::make_unique<StreamBurnInJob>(
        family, std::move(out), std::move(source), std::move(sink),
        overlay::overlayDrawerFactory(overlay::OverlaySettings::fromOptions(options),
                                      hdv ? core::MediaFamily::kHdv : core::MediaFamily::kAvchd));
    job->setDecoder(decoder->displayName, decoder->id.toString());
    return job;
}

}  // namespace zorv::tools
