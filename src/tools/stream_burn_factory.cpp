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
                                                   const StreamBurnChoice& choice, bool overwrite,
                                                   overlay::DrawerFactory drawers) {
    // The reasons a build fails are told in full by their text.
    auto failed = [family](core::ErrorCode code, std::string text) {
        return std::make_unique<StreamBurnInJob>(family, core::Status::failure(code, std::move(text)));
    };
    media::OutputFile out;
    if (const core::Status s = out.begin(output, {overwrite, {input}}); !s)
        return failed(s.code, s.sysError ? s.message + ": " + systemText(s.sysError) : s.message);
    const bool hdv = family == core::MediaFamily::kHdv;
    const codec::CodecRole role = hdv ? codec::CodecRole::kMpeg2VideoDecoder : codec::CodecRole::kH264VideoDecoder;
    const core::DecoderSelection& chosen = hdv ? options.mpeg2Decoder : options.avcVideoDecoder;
    std::optional<codec::CodecEntry> decoder = codec::findCodec(role, chosen.id);
    if (!decoder) decoder = codec::firstAvailableCodec(role);
    if (!decoder) return failed(core::ErrorCode::kOpenFailed, hdv ? kNoHdvDecoder : kNoAvchdDecoder);
    auto source = std::make_unique<TsBurnSource>();
    // With a compressor that keeps both cores busy, decoding on the job's own thread costs less than
    // decoder threads would (no hand-over between them) and keeps up with the compressor.
    const int decoderThreads = compressorUsesEveryCore(choice.compressor) ? 1 : 2;
    const core::Status s = source->open(input, family, decoder->name, choice.audio, decoderThreads);
    if (!s) return failed(s.code, s.message);
    int64_t num = 25, den = 1;
    source->pictureRate(num, den);
    auto sink = std::make_unique<AviPictureSink>(choice.compressor, num, den, choice.audio);
    if (!drawers)
        drawers = overlay::overlayDrawerFactory(overlay::OverlaySettings::fromOptions(options),
                                                hdv ? core::MediaFamily::kHdv : core::MediaFamily::kAvchd);
    auto job = std::make_unique<StreamBurnInJob>(family, std::move(out), std::move(source), std::move(sink),
                                                 std::move(drawers));
    job->setDecoder(decoder->displayName, decoder->id.toString());
    job->setOutputName(output);
    return job;
}

}  // namespace zorv::tools
