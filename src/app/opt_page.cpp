#include "app/opt_page.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QRegularExpressionValidator>

namespace zorv::app {

QLineEdit* numberEdit(QWidget* parent, int maxDigits, bool signedValues, const char* objectName) {
    auto* edit = new QLineEdit(parent);
    const QString pattern =
        QStringLiteral("%1\\d{0,%2}").arg(signedValues ? QStringLiteral("-?") : QString()).arg(maxDigits);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    edit->setMaxLength(maxDigits + (signedValues ? 1 : 0));
    edit->setMaximumWidth(60);
    if (objectName) edit->setObjectName(QString::fromLatin1(objectName));
    return edit;
}

int numberOf(const QLineEdit* edit) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    return ok ? v : core::kNotANumber;
}

void setNumber(QLineEdit* edit, int value) { edit->setText(QString::number(value)); }

int checkedId(const QButtonGroup* group, int fallback) {
    const int id = group->checkedId();
    return id == -1 ? fallback : id;
}

QButtonGroup* addRadioGroup(QWidget* owner, QBoxLayout* layout, const QString& title,
                            std::initializer_list<std::pair<const char*, int>> radios, const char* prefix) {
    auto* box = new QGroupBox(title, owner);
    auto* inner = new QVBoxLayout(box);
    auto* group = new QButtonGroup(owner);
    for (const auto& [text, id] : radios) {
        auto* r = new QRadioButton(QString::fromUtf8(text), box);
        r->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(id));
        group->addButton(r, id);
        inner->addWidget(r);
    }
    if (layout) layout->addWidget(box);
    return group;
}

}  // namespace zorv::app
