#include "app/ui_prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QPushButton>
#include <QSpacerItem>

namespace zorv::app {

namespace {
PromptHook& hook() {
    static PromptHook h;
    return h;
}
DialogHook& dialogHook() {
    static DialogHook h;
    return h;
}
int titleWidth(const QWidget& w, const QString& title) {
    // The title bar's font is the desktop's; the widget's font and room for the bar's buttons come close.
    return w.fontMetrics().horizontalAdvance(title) + 160;
}
}  // namespace

void setDialogHook(DialogHook h) { dialogHook() = std::move(h); }

int runDialog(QDialog& dialog) {
    if (!dialogHook()) return dialog.exec();
    dialog.setResult(QDialog::Rejected);
    dialog.open();
    dialogHook()(dialog);
    if (dialog.isVisible()) dialog.reject();  // a hook that leaves it open cancels it
    return dialog.result();
}

void setPromptHook(PromptHook h) { hook() = std::move(h); }

QString displayText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    if (hook()) {
        Prompt p;
        p.kind = PromptKind::kMessage;
        p.icon = icon;
        p.title = title;
        p.text = text;
        p.buttons = buttons;
        p.defaultButton = defaultButton;
        return hook()(p).button;
    }
    QMessageBox box(icon, title, displayText(text), buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    // A message box sizes itself to its text only: room for the whole title as well.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth(box, title), 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString askSaveFileName(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter,
                        const QString& defaultSuffix) {
    if (hook()) {
        Prompt p;
        p.kind = PromptKind::kSaveFile;
        p.title = title;
        p.proposedPath = proposedPath;
        p.filter = filter;
        p.defaultSuffix = defaultSuffix;
        return hook()(p).path;
    }
    QFileDialog dialog(parent, title, proposedPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(proposedPath);
    if (!defaultSuffix.isEmpty()) dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
}

}  // namespace zorv::app
