#include "cli/run_with_progress.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
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

    // The bar is redrawn every 100 ms; the end of the work wakes the wait at once, so a short job does
    // not pay for the rest of a tick.
    std::mutex mu;
    std::condition_variable cv;
    bool done = false;
    bool result = false;
    std::thread worker([&] {
        bool r = work();
        std::lock_guard<std::mutex> lock(mu);
        result = r;
        done = true;
        cv.notify_all();
    });
    TerminalProgress bar(label);
    {
        std::unique_lock<std::mutex> lock(mu);
        while (!done) {
            if (gInterrupted) progress.cancel();
            lock.unlock();
            bar.update(progress.done(), progress.total());
            lock.lock();
            cv.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; });
        }
    }
    worker.join();
    if (result) bar.update(progress.total(), progress.total());
    bar.finish();
    sigaction(SIGINT, &old, nullptr);
    return result;
}

}  // namespace zorv::cli
