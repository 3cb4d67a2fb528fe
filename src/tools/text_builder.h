// Appending text to a caller's fixed buffer without allocating: the per-frame formatting of the
// export writers. Text that would not fit is cut off; the buffer is never overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zorv::tools {

class TextBuilder {
public:
    TextBuilder(char* buf, size_t capacity) : buf_(buf), cap_(capacity) {}

    void ch(char c) {
        if (len_ < cap_) buf_[len_++] = c;
    }
    void text(const char* s) { text(s, std::strlen(s)); }
    void text(const char* s, size_t n) {
        if (n > cap_ - len_) n = cap_ - len_;
        std::memcpy(buf_ + len_, s, n);
        len_ += n;
    }
    // "%d" of v, zero-padded to minWidth digits.
    void number(int64_t v, int minWidth = 0) {
        char tmp[24];
        int n = 0;
        const bool negative = v < 0;
        uint64_t u = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        do {
            tmp[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
        if (negative) ch('-');
        for (int i = n; i < minWidth; ++i) ch('0');
        while (n > 0) ch(tmp[--n]);
    }
    void hexDigit(int d) { ch("0123456789ABCDEF"[d & 0xF]); }
    // "%.Nf" of v.
    void fixed(double v, int decimals) {
        char tmp[48];
        const int n = std::snprintf(tmp, sizeof tmp, "%.*f", decimals, v);
        if (n > 0) text(tmp, static_cast<size_t>(n) < sizeof tmp ? static_cast<size_t>(n) : sizeof tmp - 1);
    }

    size_t size() const { return len_; }
    const char* data() const { return buf_; }
    void clear() { len_ = 0; }

private:
    char* buf_;
    size_t cap_;
    size_t len_ = 0;
};

}  // namespace zorv::tools
