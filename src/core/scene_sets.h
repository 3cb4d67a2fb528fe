// Scene detection from metadata changes: one ordered set of frame numbers per watched item, the
// scene list selected by the scene-trigger mask, and the change list of all value changes.
//
// A full-file scan is the owner's loop (it needs the file):
//     sets.clear();
//     for each frame n: read it (an empty index entry -> sets.addDroppedFrame(n); continue)
//                       fillRecord(rec, frame, size); decodeRecord(rec, cur);
//                       if (n > 0) sets.compareFrame(n, cur, prev, false);
//                       prev = cur;
//     sets.rebuild();
// SceneDetector bundles the per-frame part for in-order passes such as burn-in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>

#include "core/decoded_values.h"
#include "core/metadata_record.h"

namespace zorv::core {

// Bits of the scene-trigger mask, one per change set.
enum SceneTrigger : uint32_t {
    kTriggerTimecode = 0x00001,
    kTriggerUserBits = 0x00002,
    kTriggerDateTime = 0x00010,
    kTriggerShutter = 0x00040,
    kTriggerIris = 0x00080,
    kTriggerStabilizer = 0x00100,
    kTriggerGain = 0x00200,
    kTriggerExposureMode = 0x00400,
    kTriggerWhiteBalance = 0x01000,
    kTriggerFocus = 0x04000,
    kTriggerAudioSampling = 0x08000,
    kTriggerAudioLock = 0x10000,
    kTriggerTapeIndex = 0x20000,
    kTriggerDroppedFrame = 0x40000,
    kTriggerDamage = 0x80000,  // the first frame of every run of damaged frames
};

inline constexpr uint32_t kDefaultSceneMask = kTriggerDateTime;
inline constexpr size_t kSceneSetCount = 15;

// True when cur's timecode does not follow prev's by exactly one frame (at prev's frame rate, with
// drop-frame labels skipped in style 4), or when the timecode appears or disappears.
bool timecodeDiscontinuity(const DecodedValues& cur, const DecodedValues& prev);
// True when the recording date-time appears, disappears, runs back, or jumps forward 2 s or more.
bool dateTimeDiscontinuity(const DecodedValues& cur, const DecodedValues& prev);

class SceneSets {
public:
    // Empties every set and both lists; the mask is kept.
    void clear();
    // Sets the mask and rebuilds the lists from the sets (no rescan is ever needed).
    void setMask(uint32_t mask);
    uint32_t mask() const { return mask_; }
    // Recomputes the scene list (sets selected by the mask) and the change list (all value sets,
    // whatever the mask; tape index points and dropped frames never enter it).
    void rebuild();

    // Compares frame n (> 0) with the previous frame and inserts n into every set whose test holds.
    // With alsoSceneList, n also enters the scene list for every such set selected by the mask, and
    // the result says whether it did; without it the result is false.
    bool compareFrame(int64_t n, const DecodedValues& cur, const DecodedValues& prev, bool alsoSceneList);
    // Frame n has an empty index entry. Returns whether it entered the scene list (only when
    // alsoSceneList is given and the dropped-frame bit is set).
    bool addDroppedFrame(int64_t n, bool alsoSceneList = false);

    // Frame n was read; damaged says whether it shows damage. The first frame of each run of
    // damaged frames enters the damage set (and the scene list, as addDroppedFrame says).
    bool noteDamage(int64_t n, bool damaged, bool alsoSceneList = false);
    // The smallest scene-list frame above n, else frameCount - 1.
    int64_t nextScene(int64_t n, int64_t frameCount) const;
    // The largest scene-list frame below n, else 0.
    int64_t previousScene(int64_t n) const;

    // The change set of one trigger bit (an unknown bit gives an empty set).
    const std::set<int64_t>& changes(SceneTrigger trigger) const;
    const std::set<int64_t>& sceneList() const { return sceneList_; }
    const std::set<int64_t>& changeList() const { return changeList_; }

private:
    bool insert(size_t index, int64_t n, bool alsoSceneList);

    std::array<std::set<int64_t>, kSceneSetCount> sets_;
    std::set<int64_t> sceneList_;
    std::set<int64_t> changeList_;
    uint32_t mask_ = kDefaultSceneMask;
    int64_t lastDamaged_ = -2;
};

// The in-order pass "detect frame": fill and decode the record of one frame, compare it with the
// previous frame (not for frame 0), and keep its values as the previous ones. The values are per
// file: call reset() when a new file starts.
class SceneDetector {
public:
    explicit SceneDetector(SceneSets& sets) : sets_(sets) {}

    void reset();
    // Returns true when frame n entered the scene list (alsoSceneList), as compareFrame does.
    bool detectFrame(int64_t n, const uint8_t* frame, size_t frameSize, bool alsoSceneList = true);

    const MetadataRecord& record() const { return rec_; }
    const DecodedValues& current() const { return cur_; }
    const DecodedValues& previous() const { return prev_; }

private:
    SceneSets& sets_;
    MetadataRecord rec_;
    DecodedValues cur_;
    DecodedValues prev_;
};

}  // namespace zorv::core
