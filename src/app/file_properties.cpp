#include "app/file_properties.h"

namespace zorv::app {

void showFileProperties(QWidget* parent, const std::string& path) {
    (void)parent;
    (void)path;
}

}  // namespace zorv::app
