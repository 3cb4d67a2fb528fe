// Last-chance crash report: on a fatal signal the process writes a short text report to
// "$HOME/zorv-pro.mdmp" (signal, faulting address, the module holding the faulting instruction,
// a backtrace), prints the fault notice on standard error, and then dies of the same signal as it
// would have without the handler.
#pragma once

namespace zorv::core {

inline constexpr const char* kCrashReportFileName = "zorv-pro.mdmp";

// Called inside the signal handler after the standard report has been written, with the report's
// file descriptor (-1 when no report file could be created). It runs in signal context: only
// async-signal-safe calls (write, and the like) are allowed in it.
using CrashReportExtra = void (*)(int fd);

// Installs the handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT, process-wide, running on an
// alternate signal stack (set up for the calling thread, so that a stack overflow of that thread is
// still reported). The report path is taken from HOME at this call. The handler works once: a
// second fatal signal, also one raised while the first report is being written, ends the process
// without a second report. Calling it again only replaces `extra`. Returns false when the handlers
// could not be installed.
bool installCrashHandler(CrashReportExtra extra = nullptr);

}  // namespace zorv::core
