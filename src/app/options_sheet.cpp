#include "app/options_sheet.h"

namespace zorv::app {

bool runOptionsSheet(QWidget* parent, core::Options& options, core::SettingsStore& settings) {
    (void)parent;
    (void)options;
    (void)settings;
    return false;
}

}  // namespace zorv::app
