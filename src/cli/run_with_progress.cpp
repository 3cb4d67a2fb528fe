#include "cli/run_with_progress.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "cli/terminal_progress.h"

namespace zorv::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int) { gInterrupted = 1; }

}  // namespace

bool runWithProgress(const std::string& label, core::Progress& progress, const std::function<bool()>& work) {
    gInterrupted = 0;
    struct sigaction sa {}, old {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old);

    std::atomic<bool> done{false};
    bool result = false;
    std::thread worker([&] {
        result = work();
        done.store(true, std::memory_order_release);
    });
    TerminalProgress bar(label);
    while (!done.load(std::memory_order_acquire)) {
        if (gInterrupted) progress.cancel();
        bar.update(progress.done(), progress.total());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    worker.join();
    if (result) bar.update(progress.total(), progress.total());
    bar.finish();
    sigaction(SIGINT, &old, nullptr);
    return result;
}

}  // namespace zorv::cli
