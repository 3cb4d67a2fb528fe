// The options sheet (COptionsSheet) as the main window's Tools > "&Options..." opens it, and the same
// sheet reduced to one tool's pages to confirm that tool's settings.
#pragma once

#include <QString>
#include <functional>
#include <QWidget>
#include <vector>

#include "app/options_sheet_dialog.h"
#include "core/options.h"
#include "core/settings_store.h"

namespace zorv::app {

// Shows the sheet on the option record; OK stores the pages' values into it (and, when "Save all
// settings as default" is ticked, into the store); changed decoder selections are stored as well.
// Returns true on OK.
bool runOptionsSheet(QWidget* parent, core::Options& options, core::SettingsStore& settings);

// The reduced sheet under a confirmation title ("Confirm Settings for Burn-in", "Capture Options"...)
// with the given pages. OK stores the pages' values into the record; returns true on OK.
bool runConfirmationSheet(QWidget* parent, const QString& title, const std::vector<OptionsPageId>& pages,
                          core::Options& options);

// Lets a test act on each sheet once it is shown (drive its pages, then accept or reject it); the
// sheet is then not run modally by the functions above. An empty function removes the hook.
void setOptionsSheetHook(std::function<void(COptionsSheet&)> hook);

}  // namespace zorv::app
