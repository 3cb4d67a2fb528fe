// What a first start sets up so that every file plays at once: the decoders built into the program
// are preselected for HDV and AVCHD (the Decoders page still offers the others).
#pragma once

#include "core/options.h"
#include "core/settings_store.h"

namespace zorv::app {

// For each decoder role the store has never held a choice for, selects the built-in decoder in
// options and stores it. A stored choice, even an unusable one, is left as it is.
void preselectBuiltInDecoders(core::SettingsStore& store, core::Options& options);

}  // namespace zorv::app
