#include "cli/interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "media/output_file.h"

namespace zorv::cli {

namespace {

std::atomic<bool> gWatching{false};
std::atomic<int> gRequested{0};

extern "C" void onInterrupt(int sig) {
    if (gWatching.load() && gRequested.exchange(sig) == 0) return;
    media::removePendingOutputsFromSignal();
    ::_exit(128 + sig);
}

}  // namespace

void installInterruptHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

void watchInterrupts(bool watching) {
    gRequested.store(0);
    gWatching.store(watching);
}

bool interruptRequested() { return gRequested.load() != 0; }

}  // namespace zorv::cli
