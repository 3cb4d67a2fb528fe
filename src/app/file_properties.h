// File > "&Properties": the properties sheet (CFilePropertiesSheet) of the open media file.
#pragma once

#include <string>

#include <QWidget>

namespace zorv::app {

void showFileProperties(QWidget* parent, const std::string& path);

}  // namespace zorv::app
