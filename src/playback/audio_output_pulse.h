// The PulseAudio output (see audio_output.h).
#pragma once

#include <memory>

#include "playback/audio_output.h"

namespace zorv::playback {

// Null when the client library is not built in or no sound server answers.
std::unique_ptr<AudioOutput> makePulseAudioOutput();

}  // namespace zorv::playback
