#include "tools/system_text.h"

#include <cstring>

namespace zorv::tools {

std::string systemText(int e) {
    if (e == 0) return {};
    char buf[256];
    buf[0] = '\0';
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return ::strerror_r(e, buf, sizeof buf);
#else
    if (::strerror_r(e, buf, sizeof buf) != 0) return "error " + std::to_string(e);
    return buf;
#endif
}

std::string failureText(const core::Status& s) {
    std::string text = s.message;
    if (s.sysError != 0) {
        const std::string sys = systemText(s.sysError);
        if (text.find(sys) == std::string::npos) text += (text.empty() ? "" : " - ") + sys;
    }
    return text.empty() ? std::string("Operation failed") : text;
}

}  // namespace zorv::tools
