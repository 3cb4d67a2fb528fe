// The operating system's text for an error number, as the tools append it to their messages.
#pragma once

#include <string>

namespace zorv::tools {

// strerror text of errno value e (thread-safe); empty for 0.
std::string systemText(int e);

}  // namespace zorv::tools
