#include "app/crash_report_offer.h"

#include <cstdlib>
#include <filesystem>

#include <QUrl>

#include "app/ui_prompts.h"
#include "core/crash_report.h"
#include "core/settings_store.h"

namespace zorv::app {

namespace {
constexpr const char* kSeenValue = "CrashReportSeen";  // modification time of the last report offered
}

std::string crashReportPath() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return (std::filesystem::path(home) / core::kCrashReportFileName).string();
}

bool offerCrashReport(QWidget* parent, core::SettingsStore& store, const std::string& reportPath,
                      const std::function<bool(const QString& url)>& openFolder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (reportPath.empty() || !fs::is_regular_file(reportPath, ec)) return false;
    const auto written = fs::last_write_time(reportPath, ec);
    if (ec) return false;
    // Seconds are enough to tell one report from the next.
    const auto stamp = std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch()).count();
    const std::string seen = store.readString(core::kSectionOptions, kSeenValue, "");
    if (seen == std::to_string(stamp)) return false;
    store.writeString(core::kSectionOptions, kSeenValue, std::to_string(stamp));

    const QString path = QString::fromStdString(reportPath);
    const auto answer =
        showMessage(parent, QMessageBox::Warning, QStringLiteral("ZORV Pro closed unexpectedly"),
                    QStringLiteral("ZORV Pro stopped because of a fault the last time it ran. A report of the fault was "
                                   "written to:\n\n%1\n\nThe report names the module the fault happened in; it can help "
                                   "you or the developers find the cause. Open the folder that holds it?")
                        .arg(path),
                    QMessageBox::Open | QMessageBox::Close, QMessageBox::Close);
    if (answer == QMessageBox::Open)
        openFolder(QUrl::fromLocalFile(QString::fromStdString(fs::path(reportPath).parent_path().string())).toString());
    return true;
}

}  // namespace zorv::app
