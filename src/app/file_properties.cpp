#include "app/file_properties.h"

#include "app/file_properties_sheet.h"

namespace zorv::app {

void showFileProperties(QWidget* parent, const std::string& path) {
    if (path.empty()) return;
    CFilePropertiesSheet sheet(parent, path);
    sheet.exec();
}

}  // namespace zorv::app
