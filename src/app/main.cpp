// zorv-pro: the desktop application. Start-up order: the crash handler, the toolkit, the settings
// store, then the main window; a file named on the command line is opened once the window runs, and
// a crash report left by the previous run is offered.
//
// ZORV_SCREENSHOT=FILE.png (with ZORV_SCREENSHOT_DELAY=ms, default 3000, and ZORV_SCREENSHOT_WIDTH=px
// for the window's width) saves a picture of the main window after the delay and quits;
// scripts/screenshot.sh uses it under Xvfb.
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QTimer>

#include "app/crash_report_offer.h"
#include "app/main_dialog.h"
#include "app/video_view.h"
#include "core/crash_report.h"
#include "core/settings_store.h"

namespace {

// The --help text; the manual page is made from it.
constexpr const char* kUsage =
    "usage: zorv-pro [FILE]\n"
    "\n"
    "Plays DV AVI (Type 1 and Type 2), Raw DV, HDV (.m2t) and AVCHD (.mts, .m2ts) camcorder recordings\n"
    "with the camcorder metadata of each picture (timecode, recording date and time, camera settings,\n"
    "GPS position) beside the video, and runs the tools: convert, burn-in, modify metadata, split,\n"
    "extract audio, export metadata and subtitles, batch processing and DV capture.\n"
    "FILE, when given, is opened at once.\n"
    "\n"
    "keys:\n"
    "  Space                 play or pause; at the end, play from the start\n"
    "  Period                stop\n"
    "  Left, Right           one picture back or forward\n"
    "  Shift+Left, Right     one second (HDV and AVCHD: one I-frame) back or forward\n"
    "  Ctrl+Left, Right      one minute back or forward (DV)\n"
    "  Home, End             first or last picture\n"
    "  Page Up, Page Down    previous or next scene (DV)\n"
    "  Ctrl+Page Up, Down    previous or next stretch of damaged frames (DV), round at the ends\n"
    "  Ctrl+D                outline the damaged blocks of the picture (DV; remembered)\n"
    "  Ctrl+M                show the GPS position on a map (AVCHD with GPS data)\n"
    "  Ctrl+O                open a file\n"
    "\n"
    "options:\n"
    "  -h, --help            this text\n"
    "  --version             the program's version\n"
    "\n"
    "environment:\n"
    "  ZORV_NO_AUDIO=1       play without sound\n"
    "  ZORV_SCREENSHOT=FILE  save a PNG picture of the main window after ZORV_SCREENSHOT_DELAY\n"
    "                        milliseconds (default 3000) and quit; ZORV_SCREENSHOT_WIDTH sets the\n"
    "                        window's width\n"
    "\n"
    "files:\n"
    "  $XDG_CONFIG_HOME/ZORV/ZORV Pro 4.ini   settings (XDG_CONFIG_HOME defaults to ~/.config)\n"
    "  ~/zorv-pro.mdmp                        report of the last crash, offered at the next start\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && !std::strcmp(argv[1], "--version")) {
        std::printf("zorv-pro %s\n", ZORV_VERSION);
        return 0;
    }
    zorv::core::installCrashHandler();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ZORV"));
    QApplication::setApplicationName(QStringLiteral("ZORV Pro 4"));
    QApplication::setDesktopFileName(QStringLiteral("zorv-pro"));

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
        const int width = qEnvironmentVariableIntValue("ZORV_SCREENSHOT_WIDTH", &ok);
        if (ok && width > 0) window.resize(width, window.height());
        QTimer::singleShot(delay, &window, [&window, shot] {
            window.grab().save(shot);
            QApplication::quit();
        });
    } else {
        QTimer::singleShot(0, &window, [&window] { window.offerLastCrashReport(zorv::app::crashReportPath()); });
    }
    return app.exec();
}
