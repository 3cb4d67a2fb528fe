#include "app/file_properties.h"

#include "app/file_properties_sheet.h"
#include "app/ui_prompts.h"

namespace zorv::app {

void showFileProperties(QWidget* parent, const std::string& path, const media::AvchdGpsValues* gps, bool gpsDecimal) {
    if (path.empty()) return;
    CFilePropertiesSheet sheet(parent, path, gps, gpsDecimal);
    runDialog(sheet);
}

}  // namespace zorv::app
