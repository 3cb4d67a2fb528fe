// The common shape of an options page: filled from the option record when first shown, checked when
// the user leaves it or presses OK, read back into the record at OK. Helpers for the number fields
// the pages share (edit fields that accept what the user types, checked by the page).
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <optional>

#include "core/options.h"
#include "core/options_validation.h"

class QButtonGroup;
class QBoxLayout;
#include <initializer_list>
#include <utility>

namespace zorv::app {

class COptPage : public QWidget {
    Q_OBJECT
public:
    explicit COptPage(QWidget* parent = nullptr) : QWidget(parent) {}

    // Shows the record's values in the controls (with the "reads as" rules of the page).
    virtual void fill(const core::Options& options) = 0;
    // Writes the controls' values into the record. Fields typed as something other than a number
    // are stored as core::kNotANumber.
    virtual void readBack(core::Options& options) const = 0;
    // The first problem of the page's values, with the field that gets the focus.
    virtual std::optional<core::OptionProblem> check(const core::Options& base) const { return std::nullopt; }
    virtual QLineEdit* fieldFor(const core::OptionProblem& problem) const { return nullptr; }
};

// A number field of at most maxDigits digits, with a leading minus sign when signedValues.
QLineEdit* numberEdit(QWidget* parent, int maxDigits, bool signedValues = false, const char* objectName = nullptr);
// The field's number, core::kNotANumber when empty or not a number.
int numberOf(const QLineEdit* edit);
void setNumber(QLineEdit* edit, int value);

// The id of the checked radio of a group, fallback when none.
int checkedId(const QButtonGroup* group, int fallback);

// A titled box of radio buttons added to layout; each radio gets the id given and the object name
// prefix followed by the id.
QButtonGroup* addRadioGroup(QWidget* owner, QBoxLayout* layout, const QString& title,
                            std::initializer_list<std::pair<const char*, int>> radios, const char* prefix);

}  // namespace zorv::app
