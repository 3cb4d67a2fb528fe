#include "app/self_warning_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/ui_prompts.h"

namespace zorv::app {

CSelfWarningDialog::CSelfWarningDialog(QWidget* parent, const QString& saferMenu) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Make Direct Changes to Input File?"));
    auto* heading = new QLabel(QStringLiteral("WARNING!"), this);
    heading->setObjectName(QStringLiteral("heading"));
    QFont big = heading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    heading->setFont(big);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    auto* text = new QLabel(QStringLiteral("The changes will be made directly to the input file and cannot be undone.\n\n"
                                           "To write the changes to a new file instead, use %1.")
                                .arg(saferMenu),
                            this);
    text->setObjectName(QStringLiteral("text"));
    text->setWordWrap(true);

    yes_ = new QPushButton(QStringLiteral("YES"), this);
    no_ = new QPushButton(QStringLiteral("No"), this);
    yes_->setAutoDefault(false);
    no_->setDefault(true);
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(heading, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes_);
    buttons->addWidget(no_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(text);
    layout->addLayout(buttons);
    no_->setFocus();
    // Wide enough for the whole title (and the title bar's buttons).
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
}

bool confirmDirectChanges(QWidget* parent, const QString& saferMenu) {
    CSelfWarningDialog dialog(parent, saferMenu);
    return runDialog(dialog) == QDialog::Accepted;
}

}  // namespace zorv::app
