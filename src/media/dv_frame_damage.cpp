#include "media/dv_frame_damage.h"

#include "media/dv_audio.h"

namespace zorv::media {

void readFrameDamage(core::FrameDamage& d, const uint8_t* frame, size_t frameSize) {
    core::readVideoDamage(d, frame, frameSize);
    d.audioErrors.fill(0);
    d.audioChannels = 0;
    if (!frame) return;
    if (auto info = dvaudio::readAudioInfo(frame, frameSize))
        d.audioChannels = static_cast<uint8_t>(dvaudio::countErrorSamples(frame, frameSize, *info, d.audioErrors.data()));
}

}  // namespace zorv::media
