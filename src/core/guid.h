// 128-bit class identifiers (GUIDs) in the registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorv::core {

// A GUID held as its 16 bytes in text order (the first byte is the first two hex digits of the text).
// The all-zero GUID means "nothing selected".
struct Guid {
    std::array<std::uint8_t, 16> bytes{};

    bool isNull() const;
    friend bool operator==(const Guid&, const Guid&) = default;

    // Parses exactly "{8-4-4-4-12}" hex digits (either case) inside braces; anything else fails.
    static std::optional<Guid> parse(std::string_view text);
    // Upper-case text form with braces, e.g. "{00000000-0000-0000-0000-000000000000}".
    std::string toString() const;

    // A stable identifier derived from a name (name-based UUID, version 5, in the program's own
    // namespace): the same name always gives the same GUID, different names practically never collide.
    static Guid fromName(std::string_view name);
};

// Text form of the all-zero GUID.
inline constexpr std::string_view kNullGuidText = "{00000000-0000-0000-0000-000000000000}";

}  // namespace zorv::core
