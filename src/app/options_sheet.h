// The options sheet (COptionsSheet) as the main window's Tools > "&Options..." opens it.
#pragma once

#include <QWidget>

#include "core/options.h"
#include "core/settings_store.h"

namespace zorv::app {

// Shows the sheet on the option record; OK stores the pages' values into it (and, when "Save all
// settings as default" is ticked, into the store). Returns true on OK.
bool runOptionsSheet(QWidget* parent, core::Options& options, core::SettingsStore& settings);

}  // namespace zorv::app
