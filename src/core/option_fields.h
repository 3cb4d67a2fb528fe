// The option fields as one table: per field of the option record its options page, its value name in
// the [Defaults] section of the settings store, its type, its range or choices, the rule by which a
// value outside the range reads, its default and the command-line option that sets it where a command
// takes one. The record's defaults, normalized(), the clamp functions, visitOptionFields() (and so the
// settings store) and the command-line parsers of those options read this table.
//
// The decoder selections of the Decoders page, the remember-position flag and View > Show Damaged
// Blocks are not rows: they live in the [Options] section with values of their own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "core/options.h"

namespace zorv::core {

// How a value outside [low, high] reads.
enum class OutOfRange : std::uint8_t {
    kKept,     // as it is: the page checks it before it is used, or any value is valid
    kNearest,  // as the nearer bound
    kReadsAs,  // as the row's readsAs value
    kBits,     // only the bits of `high` are kept
};

// Where the field is in the record. A user-bits value is one element of the userBits array.
using OptionMember = std::variant<int Options::*, std::uint32_t Options::*, bool Options::*, std::string Options::*,
                                  DecoderSelection Options::*, BurnPositionTable Options::*, std::array<int, 4> Options::*>;

struct OptionFieldSpec {
    std::string_view page;  // the options page that shows it
    std::string_view name;  // value name in [Defaults]
    OptionMember member;
    int element = -1;                   // the userBits element; -1 for every other field
    std::int64_t defaultValue = 0;      // integers, masks, flags (0/1)
    std::string_view defaultText = {};  // texts; the name of an unset selection
    int low = 0, high = 0;              // integers: the range; positions: the range of each coordinate
    OutOfRange rule = OutOfRange::kKept;
    int readsAs = 0;
    // Command-line option that sets the field, and for a choice field the names of its values
    // low, low + 1, ... in order.
    std::string_view cliName = {};
    std::span<const std::string_view> choices = {};
};

// The rows, in the order of the options pages (and of the values in a stored [Defaults] section).
std::span<const OptionFieldSpec> optionFields();

// The row of a field; the user-bits rows are found by element. Every integer field has a row.
const OptionFieldSpec& optionField(int Options::*member);
const OptionFieldSpec& optionField(std::uint32_t Options::*member);
const OptionFieldSpec& optionField(bool Options::*member);
const OptionFieldSpec& optionField(BurnPositionTable Options::*member);

// The value a stored v reads as under the row's rule.
int readsAs(const OptionFieldSpec& row, int v);
inline bool inFieldRange(const OptionFieldSpec& row, int v) { return v >= row.low && v <= row.high; }

// The integer of a field: the named member or the userBits element.
int& intOf(Options& o, const OptionFieldSpec& row);

// The value of the choice named text (nullopt when no choice has that name), and the name of a value.
std::optional<int> choiceValue(const OptionFieldSpec& row, std::string_view text);
std::string_view choiceName(const OptionFieldSpec& row, int value);

}  // namespace zorv::core
