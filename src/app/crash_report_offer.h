// After a crash the next start shows where the report was written and offers to open its folder.
// A report is offered once: its modification time is remembered in the settings store.
#pragma once

#include <functional>
#include <string>

#include <QString>

class QWidget;

namespace zorv::core {
class SettingsStore;
}

namespace zorv::app {

// The report file written by the crash handler for this user ($HOME/zorv-pro.mdmp).
std::string crashReportPath();

// When the report at reportPath is newer than the last one offered: shows it, with a button that
// opens its folder (through openFolder), and remembers it as offered. Returns true when shown.
bool offerCrashReport(QWidget* parent, core::SettingsStore& store, const std::string& reportPath,
                      const std::function<bool(const QString& url)>& openFolder);

}  // namespace zorv::app
