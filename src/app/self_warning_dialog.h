// CSelfWarningDialog: the warning before Burn-In or Modify Metadata writes into the open file itself
// ("Direct File Processing"). It names the menu item that writes a new file instead; "No" is the
// default button.
#pragma once

#include <QDialog>
#include <QString>

class QPushButton;

namespace zorv::app {

class CSelfWarningDialog : public QDialog {
    Q_OBJECT
public:
    // saferMenu: "Tools > Burn-In Metadata" or "Tools > Modify Metadata".
    CSelfWarningDialog(QWidget* parent, const QString& saferMenu);
    QPushButton* yesButton() const { return yes_; }
    QPushButton* noButton() const { return no_; }

private:
    QPushButton* yes_;
    QPushButton* no_;
};

// Shows the warning; true when the user chose "YES".
bool confirmDirectChanges(QWidget* parent, const QString& saferMenu);

}  // namespace zorv::app
