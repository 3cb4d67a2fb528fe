#include "media/dv_media_file.h"
// clang-format off
#include "app/damage_scan.h"
// clang-format on

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include <QTimer>

namespace zorv::app {

namespace {
constexpr int kPullMs = 150;  // how often the window takes up what the scan found
constexpr int kScanNice = 10;
}  // namespace

// What the worker and the window share: the runs so far (appended to, or the last one grown), a
// generation that grows with every change, and the cancel request.
struct DamageScan::Shared {
    std::mutex mutex;
    std::vector<tools::DamageRun> runs;
    uint64_t generation = 0;
    int64_t frameCount = 0;
    bool done = false;
    bool failed = false;
    core::Progress progress;

    void add(int64_t n, core::DamageSeverity severity, bool dropped) {
        std::lock_guard<std::mutex> lk(mutex);
        tools::extendDamageRuns(runs, n, severity, dropped);
        ++generation;
    }
};

namespace {

// Every frame the scan reads; frames it skips (empty index entries) are dropped ones.
class RunCollector : public media::ScanObserver {
public:
    RunCollector(media::DvMediaFile& file, DamageScan::Shared& shared) : file_(file), shared_(shared) {}
    bool onFrame(int64_t n, const core::MetadataRecord&, const core::DecodedValues&) override {
        droppedUpTo(n);
        next_ = n + 1;
        if (const core::FrameDamage& d = file_.damage(); d.damaged()) shared_.add(n, d.severity(), false);
        return true;
    }
    void droppedUpTo(int64_t end) {
        for (; next_ < end; ++next_) shared_.add(next_, core::DamageSeverity::kUncorrected, true);
    }

private:
    media::DvMediaFile& file_;
    DamageScan::Shared& shared_;
    int64_t next_ = 0;
};

void scanFile(const std::string& path, DamageScan::Shared& shared) {
    // Playback comes first: this thread (and the reading thread the scan starts, which inherits it)
    // runs at a lower priority.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kScanNice);
    media::DvMediaFile file;
    bool ok = file.open(path) && file.indexed();
    if (ok) {
        {
            std::lock_guard<std::mutex> lk(shared.mutex);
            shared.frameCount = file.frameCount();
            ++shared.generation;
        }
        RunCollector collector(file, shared);
        ok = file.scan(&shared.progress, &collector);
        if (ok) collector.droppedUpTo(file.frameCount());
    }
    std::lock_guard<std::mutex> lk(shared.mutex);
    shared.done = ok;
    shared.failed = !ok && !shared.progress.cancelled();
    ++shared.generation;
}

}  // namespace

DamageScan::DamageScan(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setInterval(kPullMs);
    connect(timer_, &QTimer::timeout, this, [this] { pull(); });
}

DamageScan::~DamageScan() {
    // Nobody is told any more: the thread is only stopped.
    blockSignals(true);
    stop();
}

void DamageScan::start(const std::string& path) {
    stop();
    shared_ = std::make_shared<Shared>();
    worker_ = std::thread([shared = shared_, path] { scanFile(path, *shared); });
    timer_->start();
}

void DamageScan::stop() {
    timer_->stop();
    if (shared_) shared_->progress.cancel();
    if (worker_.joinable()) worker_.join();
    shared_.reset();
    const bool had = !runs_.empty() || frameCount_ > 0;
    runs_.clear();
    seen_ = 0;
    frameCount_ = 0;
    finished_ = failed_ = false;
    if (had) emit changed();
}

void DamageScan::pull() {
    if (!shared_) return;
    bool ended = false;
    {
        std::lock_guard<std::mutex> lk(shared_->mutex);
        if (shared_->generation == seen_) return;
        seen_ = shared_->generation;
        // Runs are only appended or the last one grown: copy from the last one known on.
        const size_t from = runs_.empty() ? 0 : runs_.size() - 1;
        runs_.resize(shared_->runs.size());
        std::copy(shared_->runs.begin() + static_cast<std::ptrdiff_t>(from), shared_->runs.end(),
                  runs_.begin() + static_cast<std::ptrdiff_t>(from));
        frameCount_ = shared_->frameCount;
        finished_ = shared_->done;
        failed_ = shared_->failed;
        ended = shared_->done || shared_->failed;
    }
    if (ended) {
        timer_->stop();
        if (worker_.joinable()) worker_.join();
    }
    emit changed();
}

const tools::DamageRun* DamageScan::runAt(int64_t n) const { return tools::damageRunAt(runs_, n); }

int64_t DamageScan::nextStart(int64_t n, bool& wrapped) const {
    wrapped = false;
    auto it =
        std::upper_bound(runs_.begin(), runs_.end(), n, [](int64_t v, const tools::DamageRun& r) { return v < r.first; });
    if (it != runs_.end()) return it->first;
    if (runs_.empty() || !finished_) return -1;
    wrapped = true;
    return runs_.front().first;
}

int64_t DamageScan::previousStart(int64_t n, bool& wrapped) const {
    wrapped = false;
    auto it =
        std::lower_bound(runs_.begin(), runs_.end(), n, [](const tools::DamageRun& r, int64_t v) { return r.first < v; });
    if (it != runs_.begin()) return std::prev(it)->first;
    if (runs_.empty() || !finished_) return -1;
    wrapped = true;
    return runs_.back().first;
}

}  // namespace zorv::app
