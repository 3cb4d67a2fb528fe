// The overlay layer as the drawing of a burn-in: one layer per worker thread, made by the factory.
#pragma once

#include "overlay/overlay_layer.h"
#include "overlay/picture_drawer.h"

namespace zorv::overlay {

DrawerFactory overlayDrawerFactory(const OverlaySettings& settings, core::MediaFamily family);

}  // namespace zorv::overlay
