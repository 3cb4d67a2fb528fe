#include "app/tool_launcher.h"

#include <QMessageBox>

#include "app/main_dialog.h"

namespace zorv::app {

void ToolLauncher::launch(CMainDialog& window, ToolId tool) {
    (void)tool;
    if (!window.fileOpen()) return;
    window.stopPlayback();
    QMessageBox::information(window.window(), "ZORV Pro", "This operation is not available yet.");
}

}  // namespace zorv::app
