#include "core/scene_sets.h"

#include "core/dv_decode.h"
#include "core/dv_pack_fill.h"

namespace zorv::core {

namespace {

// Storage order of the sets; the first twelve form the change list.
enum SetIndex : size_t {
    kIdxTimecode,
    kIdxDateTime,
    kIdxIris,
    kIdxShutter,
    kIdxStabilizer,
    kIdxGain,
    kIdxExposureMode,
    kIdxWhiteBalance,
    kIdxFocus,
    kIdxAudioSampling,
    kIdxAudioLock,
    kIdxUserBits,
    kIdxTapeIndex,
    kIdxDroppedFrame,
    kIdxDamage,
};
constexpr size_t kValueSetCount = 12;

static const uint32_t kSetBits[kSceneSetCount] = {
    kTriggerTimecode,  kTriggerDateTime,     kTriggerIris,         kTriggerShutter,      kTriggerStabilizer,
    kTriggerGain,      kTriggerExposureMode, kTriggerWhiteBalance, kTriggerFocus,        kTriggerAudioSampling,
    kTriggerAudioLock, kTriggerUserBits,     kTriggerTapeIndex,    kTriggerDroppedFrame, kTriggerDamage,
};

const std::set<int64_t> kEmptySet;

}  // namespace

bool timecodeDiscontinuity(const DecodedValues& cur, const DecodedValues& prev) {
    if (prev.tcHours == -1) return cur.tcHours != -1;
    if (cur.tcHours == -1) return true;
    int rate = prev.frameRate;
    if (rate == 0) rate = prev.timecodeStyle == 2 ? 25 : 30;
    int f = prev.tcFrames + 1, s = prev.tcSeconds, m = prev.tcMinutes, h = prev.tcHours;
    if (f >= rate) {
        f = 0;
        ++s;
    }
    if (s > 59) {
        s = 0;
        ++m;
    }
    if (m > 59) {
        m = 0;
        ++h;
    }
    if (h > 23) h = 0;
    if (prev.timecodeStyle == 4 && f == 0 && s == 0 && m % 10 != 0) f = 2;
    return !(h == cur.tcHours && m == cur.tcMinutes && s == cur.tcSeconds && f == cur.tcFrames);
}

bool dateTimeDiscontinuity(const DecodedValues& cur, const DecodedValues& prev) {
    if (!prev.recValid) return cur.recValid;
    if (!cur.recValid) return true;
    return !(cur.recSeconds >= prev.recSeconds && cur.recSeconds < prev.recSeconds + 2);
}

void SceneSets::clear() {
    for (auto& s : sets_) s.clear();
    sceneList_.clear();
    changeList_.clear();
    lastDamaged_ = -2;
}

void SceneSets::setMask(uint32_t mask) {
    mask_ = mask;
    rebuild();
}

void SceneSets::rebuild() {
    sceneList_.clear();
    changeList_.clear();
    for (size_t i = 0; i < kSceneSetCount; ++i) {
        const bool selected = (mask_ & kSetBits[i]) != 0;
        if (i < kValueSetCount) changeList_.insert(sets_[i].begin(), sets_[i].end());
        if (selected) sceneList_.insert(sets_[i].begin(), sets_[i].end());
    }
}

bool SceneSets::insert(size_t index, int64_t n, bool alsoSceneList) {
    sets_[index].insert(n);
    if (alsoSceneList && (mask_ & kSetBits[index]) != 0) {
        sceneList_.insert(n);
        return true;
    }
    return false;
}

bool SceneSets::compareFrame(int64_t n, const DecodedValues& cur, const DecodedValues& prev, bool alsoSceneList) {
    bool scene = false;
    auto test = [&](bool changed, size_t index) {
        if (changed) scene |= insert(index, n, alsoSceneList);
    };
    test(dateTimeDiscontinuity(cur, prev), kIdxDateTime);
    test(timecodeDiscontinuity(cur, prev), kIdxTimecode);
    test(cur.shutter != prev.shutter, kIdxShutter);
    test(cur.iris != prev.iris, kIdxIris);
    test(cur.stabilizer != prev.stabilizer, kIdxStabilizer);
    test(cur.gain != prev.gain, kIdxGain);
    test(cur.exposureMode != prev.exposureMode, kIdxExposureMode);
    test(cur.whiteBalance != prev.whiteBalance, kIdxWhiteBalance);
    test(cur.focus != prev.focus, kIdxFocus);
    test(cur.audioUnlocked != prev.audioUnlocked, kIdxAudioLock);
    test(cur.audioSampling != prev.audioSampling, kIdxAudioSampling);
    test(cur.userBits != prev.userBits, kIdxUserBits);
    test(cur.recordingStart == 0 && prev.recordingStart != 0, kIdxTapeIndex);
    return scene;
}

bool SceneSets::addDroppedFrame(int64_t n, bool alsoSceneList) { return insert(kIdxDroppedFrame, n, alsoSceneList); }

bool SceneSets::noteDamage(int64_t n, bool damaged, bool alsoSceneList) {
    if (!damaged) return false;
    const bool starts = lastDamaged_ != n - 1;
    lastDamaged_ = n;
    return starts && insert(kIdxDamage, n, alsoSceneList);
}

int64_t SceneSets::nextScene(int64_t n, int64_t frameCount) const {
    auto it = sceneList_.upper_bound(n);
    return it != sceneList_.end() ? *it : frameCount - 1;
}

int64_t SceneSets::previousScene(int64_t n) const {
    auto it = sceneList_.lower_bound(n);
    if (it == sceneList_.begin()) return 0;
    return *--it;
}

const std::set<int64_t>& SceneSets::changes(SceneTrigger trigger) const {
    for (size_t i = 0; i < kSceneSetCount; ++i)
        if (kSetBits[i] == trigger) return sets_[i];
    return kEmptySet;
}

void SceneDetector::reset() {
    rec_.clear();
    cur_ = DecodedValues{};
    prev_ = DecodedValues{};
}

bool SceneDetector::detectFrame(int64_t n, const uint8_t* frame, size_t frameSize, bool alsoSceneList) {
    fillRecord(rec_, frame, frameSize);
    decodeRecord(rec_, cur_);
    bool scene = false;
    if (n > 0) scene = sets_.compareFrame(n, cur_, prev_, alsoSceneList);
    prev_ = cur_;
    return scene;
}

}  // namespace zorv::core
