// Settings files are user-editable text: the INI reader, the GUID reader and the position-table
// reader must take any bytes, and what they write back must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/guid.h"
#include "core/ini_document.h"
#include "core/settings_store.h"

using namespace zorv::core;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const IniDocument doc = IniDocument::parse(text);
    const std::string once = doc.serialize();
    const std::string twice = IniDocument::parse(once).serialize();
    if (once != twice) std::abort();

    if (auto g = Guid::parse(text)) {
        if (Guid::parse(g->toString()) != g) std::abort();
    }
    if (auto t = parseBurnPositions(text)) {
        if (parseBurnPositions(formatBurnPositions(*t)) != t) std::abort();
    }
    if (auto s = unquoteIniString(text)) {
        if (unquoteIniString(quoteIniString(*s)) != s) std::abort();
    }
    (void)Guid::fromName(text);
    return 0;
}
