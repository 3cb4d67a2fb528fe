#include "cli/option_parser.h"

#include <string>

#include "cli/cli_common.h"
#include "core/option_fields.h"

namespace zorv::cli {

namespace {

bool isOperand(OperandForm form, std::string_view a) {
    switch (form) {
    case OperandForm::kNotAnOption: return !(a.size() > 1 && a[0] == '-');
    case OperandForm::kNoLeadingDash: return !a.empty() && a[0] != '-';
    case OperandForm::kNoDoubleDash: return !a.starts_with("--");
    case OperandForm::kDashOrNoLeadingDash: return a == "-" || (!a.empty() && a[0] != '-');
    case OperandForm::kAnyNotTaken: return true;
    }
    return false;
}

const CliOption* find(std::span<const CliOption> options, std::string_view a) {
    for (const CliOption& o : options)
        if (a == o.name || (!o.alias.empty() && a == o.alias)) return &o;
    return nullptr;
}

}  // namespace

int parseCommandLine(int argc, char** argv, const CommandLine& line) {
    auto wrong = [&] {
        line.usage(stderr);
        return 2;
    };
    // -1 when taken, otherwise the status to return.
    auto result = [&](int taken) { return taken == 0 ? -1 : taken == kWrongArgument ? wrong() : taken; };
    auto operand = [&](const ArgumentTaker& take, const char* a) { return take ? result(take(a)) : wrong(); };
    bool ended = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (ended) {
            if (int r = operand(line.operandAfterEnd ? line.operandAfterEnd : line.operand, argv[i]); r >= 0) return r;
            continue;
        }
        if (line.dashDashEnds && a == "--") {
            ended = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            line.usage(stdout);
            return 0;
        }
        const CliOption* o = find(line.options, a);
        if (o && (!o->takesValue || i + 1 < argc || line.missingValueToOption)) {
            const char* value = o->takesValue && i + 1 < argc ? argv[++i] : nullptr;
            if (int r = result(o->take(value)); r >= 0) return r;
            continue;
        }
        if (isOperand(line.operands, a)) {
            if (int r = operand(line.operand, argv[i]); r >= 0) return r;
            continue;
        }
        if (line.namesUnknownOption) printError("unknown option " + std::string(a));
        return wrong();
    }
    return -1;
}

ArgumentTaker storeIn(std::string& target) {
    return [&target](const char* v) {
        target = v;
        return 0;
    };
}

ArgumentTaker oneOperand(std::string& target) {
    return [&target](const char* v) {
        if (!target.empty()) return kWrongArgument;
        target = v;
        return 0;
    };
}

ArgumentTaker setFlag(bool& flag) {
    return [&flag](const char*) {
        flag = true;
        return 0;
    };
}

CliOption fieldFlag(core::Options& options, bool core::Options::*field) {
    return {core::optionField(field).cliName, {}, false, setFlag(options.*field)};
}

CliOption fieldChoice(core::Options& options, int core::Options::*field) {
    const core::OptionFieldSpec& row = core::optionField(field);
    return {row.cliName, {}, true, [&options, field, &row](const char* v) {
                if (auto n = core::choiceValue(row, v ? v : "")) {
                    options.*field = *n;
                    return 0;
                }
                std::string names;
                for (std::size_t i = 0; i < row.choices.size(); ++i) {
                    if (i) names += i + 1 == row.choices.size() ? " or " : ", ";
                    names += row.choices[i];
                }
                printError(std::string(row.cliName) + " takes " + names);
                return 2;
            }};
}

CliOption fieldNumber(core::Options& options, int core::Options::*field) {
    const std::string_view name = core::optionField(field).cliName;
    return {name, {}, true, [&options, field, name](const char* v) {
                auto n = v ? parseInt(v) : std::nullopt;
                if (!n) {
                    printError(std::string(name) + " takes a number");
                    return 2;
                }
                options.*field = static_cast<int>(*n);
                return 0;
            }};
}

}  // namespace zorv::cli
