#include "core/json_text.h"

#include <cstdio>
#include <cstdlib>

namespace zorv::core {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when the byte starts none.
size_t utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;  // overlong, too big
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;                                           // surrogate
    return n;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    std::optional<JsonValue> document() {
        JsonValue v;
        if (!value(v, 0)) return std::nullopt;
        space();
        if (at_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    static constexpr int kMaxDepth = 32;

    void space() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
    }
    bool literal(std::string_view word) {
        if (s_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    bool value(JsonValue& v, int depth) {
        if (depth > kMaxDepth) return false;
        space();
        if (at_ >= s_.size()) return false;
        const char c = s_[at_];
        if (c == '{') return object(v, depth);
        if (c == '[') return array(v, depth);
        if (c == '"') {
            v.kind = JsonValue::Kind::kString;
            return string(v.text);
        }
        if (c == 't' || c == 'f') {
            v.kind = JsonValue::Kind::kBool;
            v.boolean = c == 't';
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            v.kind = JsonValue::Kind::kNull;
            return literal("null");
        }
        return number(v);
    }

    bool object(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::kObject;
        ++at_;
        space();
        if (at_ < s_.size() && s_[at_] == '}') return ++at_, true;
        for (;;) {
            space();
            std::string key;
            if (at_ >= s_.size() || s_[at_] != '"' || !string(key)) return false;
            space();
            if (at_ >= s_.size() || s_[at_] != ':') return false;
            ++at_;
            JsonValue member;
            if (!value(member, depth + 1)) return false;
            v.members.push_back({std::move(key), std::move(member)});
            space();
            if (at_ >= s_.size()) return false;
            if (s_[at_] == '}') return ++at_, true;
            if (s_[at_++] != ',') return false;
        }
    }

    bool array(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::kArray;
        ++at_;
        space();
        if (at_ < s_.size() && s_[at_] == ']') return ++at_, true;
        for (;;) {
            JsonValue item;
            if (!value(item, depth + 1)) return false;
            v.items.push_back(std::move(item));
            space();
            if (at_ >= s_.size()) return false;
            if (s_[at_] == ']') return ++at_, true;
            if (s_[at_++] != ',') return false;
        }
    }

    bool hex4(uint32_t& out) {
        if (at_ + 4 > s_.size()) return false;
        out = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = s_[at_++];
            out <<= 4;
            if (h >= '0' && h <= '9') out |= static_cast<uint32_t>(h - '0');
            else if (h >= 'a' && h <= 'f') out |= static_cast<uint32_t>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') out |= static_cast<uint32_t>(h - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool string(std::string& out) {
        ++at_;  // the opening quote
        while (at_ < s_.size()) {
            const char c = s_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) return false;
            const char e = s_[at_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t cp;
                if (!hex4(cp)) return false;
                if (cp >= 0xD800 && cp <= 0xDBFF && s_.substr(at_, 2) == "\\u") {
                    const size_t back = at_;
                    at_ += 2;
                    uint32_t low;
                    if (!hex4(low)) return false;
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        appendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                        break;
                    }
                    at_ = back;
                }
                if (cp >= 0xDC80 && cp <= 0xDCFF) out += static_cast<char>(cp - 0xDC00);  // an escaped byte
                else if (cp >= 0xD800 && cp <= 0xDFFF) appendUtf8(out, 0xFFFD);
                else appendUtf8(out, cp);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    bool number(JsonValue& v) {
        const size_t start = at_;
        if (at_ < s_.size() && s_[at_] == '-') ++at_;
        const size_t digits = at_;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
        if (at_ == digits) return false;
        if (at_ < s_.size() && s_[at_] == '.') {
            const size_t frac = ++at_;
            while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
            if (at_ == frac) return false;
        }
        if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
            ++at_;
            if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
            const size_t exp = at_;
            while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
            if (at_ == exp) return false;
        }
        const std::string copy(s_.substr(start, at_ - start));
        v.kind = JsonValue::Kind::kNumber;
        v.number = std::strtod(copy.c_str(), nullptr);
        return true;
    }

    std::string_view s_;
    size_t at_ = 0;
};

}  // namespace

void appendJsonString(std::string& out, std::string_view s) {
    out += '"';
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = utf8Length(s, i);
        char esc[8];
        if (n == 0) {
            std::snprintf(esc, sizeof esc, "\\udc%02x", c);
            out += esc;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    out += '"';
}

const JsonValue* JsonValue::find(std::string_view key) const {
    for (const auto& m : members)
        if (m.key == key) return &m.value;
    return nullptr;
}

std::optional<std::string> JsonValue::stringAt(std::string_view key) const {
    const JsonValue* v = find(key);
    if (!v || v->kind != Kind::kString) return std::nullopt;
    return v->text;
}

std::optional<double> JsonValue::numberAt(std::string_view key) const {
    const JsonValue* v = find(key);
    if (!v || v->kind != Kind::kNumber) return std::nullopt;
    return v->number;
}

std::optional<JsonValue> parseJson(std::string_view text) { return Reader(text).document(); }

}  // namespace zorv::core
