// The command-line options of a subcommand described as data, and the one loop that reads them:
// --help, the options in any order, the operands, "--" and the usage on a wrong argument.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/options.h"

namespace zorv::cli {

// Taking an option or operand: 0 when taken, kWrongArgument for the usage on standard error (status 2),
// otherwise the command's exit status after printing why.
using ArgumentTaker = std::function<int(const char* value)>;
inline constexpr int kWrongArgument = -1;

struct CliOption {
    std::string_view name;   // "--format"
    std::string_view alias;  // a second spelling ("-o" beside "--output"), or empty
    bool takesValue = false;
    ArgumentTaker take;  // value: the option's argument, null for a flag
};

// Which arguments are operands (until "--", after which all are).
enum class OperandForm {
    kNotAnOption,          // all but '-' followed by more ("-" alone is an operand)
    kNoLeadingDash,        // a non-empty argument that does not start with '-'
    kNoDoubleDash,         // an argument that does not start with "--" ("-x.avi" is an operand)
    kDashOrNoLeadingDash,  // "-" alone or a non-empty argument that does not start with '-'
    kAnyNotTaken,          // every argument no option takes (an option given last without its value too)
};

struct CommandLine {
    CommandLine(void (*usageText)(FILE* out), std::span<const CliOption> taken, OperandForm form)
        : usage(usageText), options(taken), operands(form) {}

    void (*usage)(FILE* out);
    std::span<const CliOption> options;
    OperandForm operands;
    bool dashDashEnds = true;           // "--" ends the options
    bool missingValueToOption = false;  // a value option given last is taken with a null value (else
                                        // it is a wrong argument)
    bool namesUnknownOption = false;    // "unknown option X" before the usage
    // Takes one operand (kWrongArgument for one too many). Null: no operands.
    ArgumentTaker operand;
    // Takes one operand after "--" where that differs from operand. Null: operand.
    ArgumentTaker operandAfterEnd;
};

// Reads argv. -1 when every argument was taken; otherwise the exit status to return: 0 after --help
// (usage on standard output), 2 after a wrong argument (usage on standard error), or what an option's
// taker returned.
int parseCommandLine(int argc, char** argv, const CommandLine& line);

// A taker that stores the option's argument in target.
ArgumentTaker storeIn(std::string& target);
// A taker that sets flag.
ArgumentTaker setFlag(bool& flag);
// An operand taker for a command of one operand: stores it in target; a second one is wrong.
ArgumentTaker oneOperand(std::string& target);

// Options that set a field of the option record, under the field's command-line name:
// a check box set by the option alone;
CliOption fieldFlag(core::Options& options, bool core::Options::*field);
// a choice by the names of its values ("NAME takes a, b or c" for any other);
CliOption fieldChoice(core::Options& options, int core::Options::*field);
// any whole number, kept as given ("NAME takes a number" for anything else).
CliOption fieldNumber(core::Options& options, int core::Options::*field);

}  // namespace zorv::cli
