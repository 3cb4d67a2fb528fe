#include "app/opt_burn_user.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QVBoxLayout>

namespace zorv::app {

namespace {
// A position field holds what is typed (up to three digits) so that 100 and above can be refused.
int positionOf(const QLineEdit* e) {
    const int v = numberOf(e);
    return v == core::kNotANumber ? 255 : std::min(v, 255);
}
}  // namespace

int COptBurnUser::parseTextHeight(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,3})(?:\\.(\\d)?)?\\s*$"));
    const auto m = form.match(text);
    if (!m.hasMatch()) return core::kNotANumber;
    return m.captured(1).toInt() * 10 + (m.captured(2).isEmpty() ? 0 : m.captured(2).toInt());
}

COptBurnUser::COptBurnUser(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        tr("These controls allow you to independently position each item of metadata anywhere on the video frame, "
           "and also set the font and height of the text. To use these controls you must have selected \"User "
           "positioning\" in the \"Burn-in\" options, otherwise the text will be positioned in fixed columns with a "
           "fixed size."),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);

    auto* fontRow = new QHBoxLayout;
    font_ = new QComboBox(this);
    font_->setObjectName(QStringLiteral("fontFace"));
    font_->setEditable(true);
    font_->addItems(QFontDatabase::families());
    fontRow->addWidget(font_, 1);
    fontRow->addWidget(new QLabel(tr("Text height"), this));
    height_ = new QLineEdit(this);
    height_->setObjectName(QStringLiteral("textHeight"));
    height_->setMaxLength(5);
    height_->setMaximumWidth(60);
    height_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,3}(\\.\\d?)?")), height_));
    fontRow->addWidget(height_);
    fontRow->addWidget(new QLabel(QStringLiteral("%"), this));
    bold_ = new QCheckBox(tr("Bold"), this);
    bold_->setObjectName(QStringLiteral("bold"));
    italic_ = new QCheckBox(tr("Italic"), this);
    italic_->setObjectName(QStringLiteral("italic"));
    fontRow->addWidget(bold_);
    fontRow->addWidget(italic_);
    layout->addLayout(fontRow);

    auto* grid = new QGridLayout;
    for (int half = 0; half < 2; ++half) {
        grid->addWidget(new QLabel(tr("X %"), this), 0, half * 3 + 1);
        grid->addWidget(new QLabel(tr("Y %"), this), 0, half * 3 + 2);
    }
    for (int i = 0; i < core::kBurnItemCount; ++i) {
        const int r = 1 + i % 10, c = (i / 10) * 3;
        const char* label = core::kBurnItems[static_cast<std::size_t>(i)].label;
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), r, c);
        x_[i] = numberEdit(this, 3, false, nullptr);
        x_[i]->setObjectName(QStringLiteral("posX%1").arg(i));
        y_[i] = numberEdit(this, 3, false, nullptr);
        y_[i]->setObjectName(QStringLiteral("posY%1").arg(i));
        grid->addWidget(x_[i], r, c + 1);
        grid->addWidget(y_[i], r, c + 2);
    }
    layout->addLayout(grid);
    layout->addStretch(1);
}

void COptBurnUser::fill(const core::Options& o) {
    font_->setCurrentText(QString::fromStdString(o.fontFace));
    const int h = core::clampTextHeight(o.textHeight);
    height_->setText(QStringLiteral("%1.%2").arg(h / 10).arg(h % 10));
    bold_->setChecked((o.styleFlags & 1) != 0);
    italic_->setChecked((o.styleFlags & 2) != 0);
    for (int i = 0; i < core::kBurnItemCount; ++i) {
        const core::BurnPosition& p = o.burnPositions[static_cast<std::size_t>(i)];
        setNumber(x_[i], core::clampPositionPercent(p.x));
        setNumber(y_[i], core::clampPositionPercent(p.y));
    }
}

void COptBurnUser::readBack(core::Options& o) const {
    o.fontFace = font_->currentText().toStdString();
    o.textHeight = parseTextHeight(height_->text());
    o.styleFlags = (o.styleFlags & ~3) | (bold_->isChecked() ? 1 : 0) | (italic_->isChecked() ? 2 : 0);
    for (int i = 0; i < core::kBurnItemCount; ++i) {
        core::BurnPosition& p = o.burnPositions[static_cast<std::size_t>(i)];
        p.x = static_cast<std::uint8_t>(positionOf(x_[i]));
        p.y = static_cast<std::uint8_t>(positionOf(y_[i]));
    }
}

std::optional<core::OptionProblem> COptBurnUser::check(const core::Options& base) const {
    core::Options o = base;
    readBack(o);
    return core::validateBurnUserPage(o);
}

QLineEdit* COptBurnUser::fieldFor(const core::OptionProblem& p) const {
    if (p.field == core::OptionField::kTextHeight) return height_;
    if (p.field == core::OptionField::kBurnPosition && p.index >= 0 && p.index < core::kBurnItemCount)
        return positionOf(x_[p.index]) > 99 ? x_[p.index] : y_[p.index];
    return nullptr;
}

}  // namespace zorv::app
