// zorv-pro: the desktop application. Start-up order: the crash handler, the toolkit, the settings
// store, then the main window; a file named on the command line is opened once the window runs.
//
// ZORV_SCREENSHOT=FILE.png (with ZORV_SCREENSHOT_DELAY=ms, default 3000) saves a picture of the main
// window after the delay and quits; scripts/screenshot.sh uses it under Xvfb.
#include <QApplication>
#include <QTimer>

#include "app/main_dialog.h"
#include "app/video_view.h"
#include "core/crash_report.h"
#include "core/settings_store.h"

int main(int argc, char** argv) {
    zorv::core::installCrashHandler();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ZORV"));
    QApplication::setApplicationName(QStringLiteral("ZORV Pro 4"));

    zorv::core::SettingsStore settings;
    zorv::app::CMainDialog window(settings, zorv::app::probeOpenGl());
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.openAtStart(args.at(1));

    const QString shot = qEnvironmentVariable("ZORV_SCREENSHOT");
    if (!shot.isEmpty()) {
        bool ok = false;
        int delay = qEnvironmentVariableIntValue("ZORV_SCREENSHOT_DELAY", &ok);
        if (!ok) delay = 3000;
        QTimer::singleShot(delay, &window, [&window, shot] {
            window.grab().save(shot);
            QApplication::quit();
        });
    }
    return app.exec();
}
