// The modal questions every window asks (message boxes and the save-file dialog) go through these
// functions, so that a test can answer them without a modal loop: a hook installed with
// setPromptHook() receives each prompt and returns the answer the user would have given.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace zorv::app {

enum class PromptKind { kMessage, kSaveFile };

struct Prompt {
    PromptKind kind = PromptKind::kMessage;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;  // message text as the system words it ("\r\n" line breaks kept)
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // Save dialogs: the proposed path, the filter list ("AVI (*.avi)" ...) and default suffix.
    QString proposedPath;
    QString filter;
    QString defaultSuffix;
};

struct PromptAnswer {
    QMessageBox::StandardButton button = QMessageBox::Ok;
    QString path;  // save dialogs: the chosen path; empty = cancelled
};

using PromptHook = std::function<PromptAnswer(const Prompt&)>;

// Installs (or, with an empty function, removes) the hook that answers every prompt.
void setPromptHook(PromptHook hook);

// A message box; returns the button pressed.
QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The save dialog: resizable, no overwrite question of its own (the caller asks "File Exists").
// Returns the chosen path, empty when cancelled.
QString askSaveFileName(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter,
                        const QString& defaultSuffix = QString());

// Modal windows of the program's own (selection dialogs, a codec's settings, the properties sheet)
// run through runDialog(). With a hook installed the dialog is opened without a modal loop and handed
// to the hook, which drives it and closes it; the dialog's result is returned either way.
using DialogHook = std::function<void(QDialog&)>;
void setDialogHook(DialogHook hook);
int runDialog(QDialog& dialog);

// The text as a message box shows it: Windows line breaks become plain ones.
QString displayText(const QString& text);

}  // namespace zorv::app
