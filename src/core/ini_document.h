// An INI text of sections holding typed values: integers (32-bit, written in decimal) and strings
// (written in double quotes with backslash escapes, so that any text round-trips).
//
//   [Options]
//   RMWPos=1
//   BatchFolder="/home/me/Videos \"out\""
//
// Section and value names compare without regard to ASCII case, as registry names do. Lines that
// are neither a section header nor "name=value" are ignored when reading and dropped when writing.
// An unquoted value that is not a number reads as a string; a quoted value with a broken escape is
// of no type (both readers give their default).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::core {

struct IniValue {
    enum class Type { kInteger, kString, kInvalid };
    Type type = Type::kInvalid;
    std::int32_t number = 0;
    std::string text;
};

class IniDocument {
public:
    static IniDocument parse(std::string_view text);
    std::string serialize() const;

    const IniValue* find(std::string_view section, std::string_view name) const;
    std::optional<std::int32_t> integer(std::string_view section, std::string_view name) const;
    std::optional<std::string> string(std::string_view section, std::string_view name) const;

    // Setters refuse names that cannot be written back (empty, line breaks, '=' or a leading '['
    // in a value name, ']' in a section name) and return false.
    bool setInteger(std::string_view section, std::string_view name, std::int32_t value);
    bool setString(std::string_view section, std::string_view name, std::string_view value);
    bool remove(std::string_view section, std::string_view name);
    void removeSection(std::string_view section);
    bool hasSection(std::string_view section) const;

private:
    struct Entry {
        std::string name;
        IniValue value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    Entry* prepare(std::string_view section, std::string_view name);

    std::vector<Section> sections_;
};

// The quoted form of a string value, and back (nullopt for a malformed quoted text).
std::string quoteIniString(std::string_view text);
std::optional<std::string> unquoteIniString(std::string_view quoted);

}  // namespace zorv::core
