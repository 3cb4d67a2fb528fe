// A word for sh: the text in single quotes, each quote inside written as '\''.
#pragma once

#include <string>

namespace zorv::gen {

inline std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

}  // namespace zorv::gen
