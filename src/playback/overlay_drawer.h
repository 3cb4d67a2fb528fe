// The overlay layer as the drawing of a burn-in: one layer per worker thread, made by the factory.
#pragma once

#include "playback/overlay_layer.h"
#include "tools/burn_in.h"

namespace zorv::playback {

tools::DrawerFactory overlayDrawerFactory(const OverlaySettings& settings, LayerFamily family);

}  // namespace zorv::playback
