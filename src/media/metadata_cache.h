// The time-keyed metadata cache of a burn-in graph: records of pictures arrive from the stream's
// auxiliary data keyed by their start time (100-ns units); the drawing side asks for the record of
// the picture it draws. The cache only moves forward: a look-up frees every record older than the
// one it returns.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

namespace zorv::media {

template <typename Record>
class MetadataCache {
public:
    void setActive(bool active) {
        std::lock_guard<std::mutex> lock(mutex_);
        active_ = active;
    }
    bool active() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return active_;
    }

    // Counts the sample and, while active, stores its record under startTime; a key already present
    // keeps its first record. style is the timecode style of the picture (2 = 25 frames/s).
    // Returns true when the record was stored.
    bool add(int64_t startTime, const Record& record, int style) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++samples_;
        if (!active_) return false;
        lastStyle_ = style;
        return records_.emplace(startTime, record).second;
    }

    // The first record at or after t. For 29.97 material (last style not 2) t is taken 0.1 ms earlier
    // so that a picture time rounded up still finds its own record. Older records are freed.
    std::optional<Record> lookUp(int64_t t) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lastStyle_ != 2) t = t > kEarlier ? t - kEarlier : 0;
        auto it = records_.lower_bound(t);
        records_.erase(records_.begin(), it);
        if (it == records_.end()) return std::nullopt;
        return it->second;
    }

    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.clear();
    }

    size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_.size();
    }
    int64_t samplesReceived() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return samples_;
    }
    int lastStyle() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastStyle_;
    }

private:
    static constexpr int64_t kEarlier = 1000;  // 0.1 ms in 100-ns units

    mutable std::mutex mutex_;
    std::map<int64_t, Record> records_;
    bool active_ = false;
    int lastStyle_ = 2;
    int64_t samples_ = 0;
};

}  // namespace zorv::media
