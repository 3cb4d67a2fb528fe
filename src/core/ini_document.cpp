#include "core/ini_document.h"

#include <charconv>
#include <limits>

namespace zorv::core {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool validSectionName(std::string_view s) {
    return !s.empty() && trim(s) == s && !hasLineBreak(s) && s.find(']') == std::string_view::npos;
}

bool validValueName(std::string_view s) {
    return !s.empty() && trim(s) == s && !hasLineBreak(s) && s.find('=') == std::string_view::npos && s.front() != '[' &&
           s.front() != ';' && s.front() != '#';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A DWORD in decimal: signed 32-bit, or unsigned up to 0xFFFFFFFF read back as its signed value.
std::optional<std::int32_t> parseDword(std::string_view s) {
    if (s.empty()) return std::nullopt;
    long long v = 0;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+') return std::nullopt;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc{} || ptr != last) return std::nullopt;
    if (v < std::numeric_limits<std::int32_t>::min() || v > 0xFFFFFFFFLL) return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

IniValue parseValue(std::string_view raw) {
    IniValue v;
    if (!raw.empty() && raw.front() == '"') {
        if (auto s = unquoteIniString(raw)) {
            v.type = IniValue::Type::kString;
            v.text = std::move(*s);
        }
        return v;
    }
    if (auto n = parseDword(raw)) {
        v.type = IniValue::Type::kInteger;
        v.number = *n;
        return v;
    }
    v.type = IniValue::Type::kString;
    v.text = std::string(raw);
    return v;
}

}  // namespace

std::string quoteIniString(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\x";
                out += kHex[u >> 4];
                out += kHex[u & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::optional<std::string> unquoteIniString(std::string_view q) {
    if (q.size() < 2 || q.front() != '"' || q.back() != '"') return std::nullopt;
    q = q.substr(1, q.size() - 2);
    std::string out;
    out.reserve(q.size());
    for (std::size_t i = 0; i < q.size(); ++i) {
        const char c = q[i];
        if (c == '"') return std::nullopt;  // an unescaped quote inside
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= q.size()) return std::nullopt;
        switch (q[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (i + 2 >= q.size()) return std::nullopt;
            const int hi = hexDigit(q[i + 1]);
            const int lo = hexDigit(q[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += static_cast<char>(hi << 4 | lo);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

IniDocument IniDocument::parse(std::string_view text) {
    IniDocument doc;
    Section* current = nullptr;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) {
                current = nullptr;
                continue;
            }
            const std::string_view name = trim(line.substr(1, close - 1));
            if (name.empty()) {
                current = nullptr;
                continue;
            }
            current = doc.findSection(name);
            if (!current) {
                doc.sections_.push_back(Section{std::string(name), {}});
                current = &doc.sections_.back();
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        const std::string_view name = trim(line.substr(0, eq));
        if (name.empty()) continue;
        bool duplicate = false;
        for (const auto& e : current->entries)
            if (equalsNoCase(e.name, name)) duplicate = true;
        if (duplicate) continue;  // the first occurrence wins
        current->entries.push_back(Entry{std::string(name), parseValue(trim(line.substr(eq + 1)))});
    }
    return doc;
}

std::string IniDocument::serialize() const {
    std::string out;
    for (const auto& s : sections_) {
        if (!out.empty()) out += '\n';
        out += '[';
        out += s.name;
        out += "]\n";
        for (const auto& e : s.entries) {
            if (e.value.type == IniValue::Type::kInvalid) continue;
            out += e.name;
            out += '=';
            if (e.value.type == IniValue::Type::kInteger) out += std::to_string(e.value.number);
            else out += quoteIniString(e.value.text);
            out += '\n';
        }
    }
    return out;
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
    for (auto& s : sections_)
        if (equalsNoCase(s.name, name)) return &s;
    return nullptr;
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
    for (const auto& s : sections_)
        if (equalsNoCase(s.name, name)) return &s;
    return nullptr;
}

const IniValue* IniDocument::find(std::string_view section, std::string_view name) const {
    const Section* s = findSection(section);
    if (!s) return nullptr;
    for (const auto& e : s->entries)
        if (equalsNoCase(e.name, name)) return &e.value;
    return nullptr;
}

std::optional<std::int32_t> IniDocument::integer(std::string_view section, std::string_view name) const {
    const IniValue* v = find(section, name);
    if (!v || v->type != IniValue::Type::kInteger) return std::nullopt;
    return v->number;
}

std::optional<std::string> IniDocument::string(std::string_view section, std::string_view name) const {
    const IniValue* v = find(section, name);
    if (!v || v->type != IniValue::Type::kString) return std::nullopt;
    return v->text;
}

IniDocument::Entry* IniDocument::prepare(std::string_view section, std::string_view name) {
    if (!validSectionName(section) || !validValueName(name)) return nullptr;
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{std::string(section), {}});
        s = &sections_.back();
    }
    for (auto& e : s->entries)
        if (equalsNoCase(e.name, name)) return &e;
    s->entries.push_back(Entry{std::string(name), {}});
    return &s->entries.back();
}

bool IniDocument::setInteger(std::string_view section, std::string_view name, std::int32_t value) {
    Entry* e = prepare(section, name);
    if (!e) return false;
    e->value = IniValue{IniValue::Type::kInteger, value, {}};
    return true;
}

bool IniDocument::setString(std::string_view section, std::string_view name, std::string_view value) {
    Entry* e = prepare(section, name);
    if (!e) return false;
    e->value = IniValue{IniValue::Type::kString, 0, std::string(value)};
    return true;
}

bool IniDocument::remove(std::string_view section, std::string_view name) {
    Section* s = findSection(section);
    if (!s) return false;
    for (auto it = s->entries.begin(); it != s->entries.end(); ++it) {
        if (equalsNoCase(it->name, name)) {
            s->entries.erase(it);
            return true;
        }
    }
    return false;
}

void IniDocument::removeSection(std::string_view section) {
    for (auto it = sections_.begin(); it != sections_.end(); ++it) {
        if (equalsNoCase(it->name, section)) {
            sections_.erase(it);
            return;
        }
    }
}

bool IniDocument::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

}  // namespace zorv::core
