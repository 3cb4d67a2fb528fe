// The damage of the open DV file, frame by frame, found by a scan of its own on a worker thread so the
// window never waits for it: runs of damaged frames of one severity, filled in while the scan goes,
// and the damaged stretch after or before a picture for the Next/Previous Damaged Frame commands.
// Memory grows with the damage (one run per stretch), not with the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

#include "tools/damage_report.h"

class QTimer;

namespace zorv::app {

class DamageScan : public QObject {
    Q_OBJECT
public:
    explicit DamageScan(QObject* parent = nullptr);
    ~DamageScan() override;

    // Starts scanning a DV file (any earlier scan is stopped first).
    void start(const std::string& path);
    // Cancels the scan, waits for its thread and forgets the runs.
    void stop();

    bool finished() const { return finished_; }  // the whole file was scanned
    bool failed() const { return failed_; }      // the scan stopped on a read error
    int64_t frameCount() const { return frameCount_; }
    // The runs found so far, in frame order.
    const std::vector<tools::DamageRun>& runs() const { return runs_; }
    // The run holding frame n, or null.
    const tools::DamageRun* runAt(int64_t n) const;
    // The first frame of the first run that starts after frame n; when none does and the whole file is
    // scanned, the first run's (wrapped is set then). -1 when there is no run to go to.
    int64_t nextStart(int64_t n, bool& wrapped) const;
    // The first frame of the last run that starts before frame n, else (wrapped) the last run's.
    int64_t previousStart(int64_t n, bool& wrapped) const;

    // What the scan's thread and the window share (defined with the scan).
    struct Shared;

signals:
    // New runs or a longer last run, or the scan ended.
    void changed();

private:
    void pull();

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    QTimer* timer_ = nullptr;
    std::vector<tools::DamageRun> runs_;
    uint64_t seen_ = 0;  // the shared generation last copied
    int64_t frameCount_ = 0;
    bool finished_ = false;
    bool failed_ = false;
};

}  // namespace zorv::app
