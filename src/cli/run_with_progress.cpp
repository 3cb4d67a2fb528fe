#include "cli/run_with_progress.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "cli/interrupt.h"
#include "cli/terminal_progress.h"

namespace zorv::cli {

bool runWithProgress(const std::string& label, core::Progress& progress, const std::function<bool()>& work) {
    watchInterrupts(true);

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
            if (interruptRequested()) progress.cancel();
            lock.unlock();
            bar.update(progress.done(), progress.total());
            lock.lock();
            cv.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; });
        }
    }
    worker.join();
    if (result) bar.update(progress.total(), progress.total());
    bar.finish();
    watchInterrupts(false);
    return result;
}

}  // namespace zorv::cli
