// CFilePropertiesSheet: the pages describing the open media file, each a two-column list
// ("Property", "Value"): CFilePropAvi for DV files, CFilePropM2T for HDV, CFilePropAVC for AVCHD and
// CFilePropAVCGPS ("Geotagging") for AVCHD files with geotagging.
#pragma once

#include <QDialog>
#include <QWidget>

#include "app/file_properties_rows.h"

class QTabWidget;
class QTreeWidget;

namespace zorv::app {

class CFilePropPage : public QWidget {
    Q_OBJECT
public:
    CFilePropPage(const PropertyRows& rows, QWidget* parent = nullptr);
    QTreeWidget* list() const { return list_; }
    // The value of the row with this property name (empty when there is none).
    QString value(const QString& property) const;

private:
    QTreeWidget* list_;
};

class CFilePropAvi : public CFilePropPage {
    Q_OBJECT
public:
    explicit CFilePropAvi(const std::string& path, QWidget* parent = nullptr)
        : CFilePropPage(dvPropertyRows(path, QLocale()), parent) {}
};
class CFilePropM2T : public CFilePropPage {
    Q_OBJECT
public:
    explicit CFilePropM2T(const std::string& path, QWidget* parent = nullptr)
        : CFilePropPage(hdvPropertyRows(path, QLocale()), parent) {}
};
class CFilePropAVC : public CFilePropPage {
    Q_OBJECT
public:
    explicit CFilePropAVC(const std::string& path, QWidget* parent = nullptr)
        : CFilePropPage(avchdPropertyRows(path, QLocale()), parent) {}
};
class CFilePropAVCGPS : public CFilePropPage {
    Q_OBJECT
public:
    CFilePropAVCGPS(const media::AvchdGpsValues* gps, bool decimal, QWidget* parent = nullptr)
        : CFilePropPage(gpsPropertyRows(gps, decimal), parent) {}
};

class CFilePropertiesSheet : public QDialog {
    Q_OBJECT
public:
    // The pages for the file's kind; gps: the current picture's position, when known.
    CFilePropertiesSheet(QWidget* parent, const std::string& path, const media::AvchdGpsValues* gps = nullptr,
                         bool gpsDecimal = false);
    QTabWidget* pages() const { return pages_; }
    CFilePropPage* page(int index) const;

private:
    QTabWidget* pages_;
};

}  // namespace zorv::app
