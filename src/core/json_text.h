// JSON text for one-line records that other programs read (batch results, info output): strings
// written with the escapes JSON needs, and a small reader for such lines.
//
// File names on Linux are bytes, not always UTF-8. A byte that is not part of valid UTF-8 is written
// as the escape "\udcXX" (XX the byte), as Python's "surrogateescape" does, so every name survives
// the round trip; parseJson() turns such an escape back into the byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::core {

// Appends s to out as a JSON string literal.
void appendJsonString(std::string& out, std::string_view s);

struct JsonMember;

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = Kind::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;                 // kString
    std::vector<JsonValue> items;     // kArray
    std::vector<JsonMember> members;  // kObject, in the order read

    // The member named key of an object, or nullptr.
    const JsonValue* find(std::string_view key) const;
    // The member's string / number, or nullopt when missing or of another kind.
    std::optional<std::string> stringAt(std::string_view key) const;
    std::optional<double> numberAt(std::string_view key) const;
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

// Reads one JSON value filling the whole text (white space around it allowed). Nesting deeper than
// 32 levels, trailing text, or anything malformed gives nullopt.
std::optional<JsonValue> parseJson(std::string_view text);

}  // namespace zorv::core
