// The operating system's text for an error number, as the tools append it to their messages.
#pragma once

#include <string>

#include "core/error.h"

namespace zorv::tools {

// strerror text of errno value e (thread-safe); empty for 0.
std::string systemText(int e);
// A tool's failure text with the system's text of its error number (after " - ") when the message
// does not already hold it; "Operation failed" when there is neither.
std::string failureText(const core::Status& s);

}  // namespace zorv::tools
