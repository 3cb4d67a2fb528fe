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

}  // namespace zorv::tools
