#include "tools/split_decider.h"

#include "core/civil_time.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "core/timecode.h"
#include "media/avi_chunks.h"

namespace zorv::tools {
namespace {

namespace dv = core::dv;

int bcd(uint8_t v, uint8_t tensMask) { return ((v >> 4) & tensMask) * 10 + (v & 0x0F); }

// Calls visit(pack) for each subcode slot and then each VAUX slot of every sequence, in order, until
// it returns true.
template <typename Visit>
void visitPacks(const uint8_t* frame, int sequences, Visit&& visit) {
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + static_cast<size_t>(s) * dv::kSequenceSize;
        for (int j = 0; j < dv::kSubcodePacksPerSequence; ++j)
            if (visit(seq + dv::subcodePackOffset(j))) return;
        for (int k = 0; k < dv::kVauxPacksPerSequence; ++k)
            if (visit(seq + dv::vauxPackOffset(k))) return;
    }
}

}  // namespace

std::string SplitFrameInfo::timecodeText() const {
    return hasTimecode() ? media::timecodeText(tcHours, tcMinutes, tcSeconds, tcFrames, tcDropFrame) : std::string();
}

SplitFrameInfo readSplitFrameInfo(const uint8_t* frame, size_t size, std::optional<SplitTrigger> trigger) {
    SplitFrameInfo info;
    int sequences = static_cast<int>(size / dv::kSequenceSize);
    if (sequences > 12) sequences = 12;
    info.sequences = sequences;
    if (sequences <= 0) return info;

    core::FoundTimecode tc = core::findTimecode(frame, sequences);
    info.tcHours = tc.hours;
    info.tcMinutes = tc.minutes;
    info.tcSeconds = tc.seconds;
    info.tcFrames = tc.frames;
    info.tcDropFrame = tc.dropFrame;

    const bool all = !trigger;
    if (trigger == SplitTrigger::kTimecode) return info;
    // Packs not wanted count as found, so the search stops as soon as the wanted ones are.
    static const uint8_t kUnwanted = 0;
    const uint8_t* date = all || trigger == SplitTrigger::kDateTime ? nullptr : &kUnwanted;
    const uint8_t* time = date;
    const uint8_t* bits = all || trigger == SplitTrigger::kUserBits ? nullptr : &kUnwanted;
    const uint8_t* control = all || trigger == SplitTrigger::kTapeIndex ? nullptr : &kUnwanted;
    visitPacks(frame, sequences, [&](const uint8_t* p) {
        switch (p[0]) {
        case 0x62:
            if (!date && (p[4] & 0x0F) < 10) date = p;
            break;
        case 0x63:
            if (!time && (p[4] & 0x0F) < 10) time = p;
            break;
        case 0x14:
            if (!bits) bits = p;
            break;
        case 0x61:
            if (!control) control = p;
            break;
        default: break;
        }
        return date && time && bits && control;
    });

    if (date && time && date != &kUnwanted) {
        info.recValid = true;
        info.recYear2 = bcd(date[4], 0x0F);
        info.recMonth = bcd(date[3], 0x01);
        info.recDay = bcd(date[2], 0x03);
        info.recHour = bcd(time[4], 0x03);
        info.recMinute = bcd(time[3], 0x07);
        info.recSecond = bcd(time[2], 0x07);
        int64_t year = info.recYear2 < 70 ? 2000 + info.recYear2 : 1900 + info.recYear2;
        info.recSeconds =
            core::normalizedUtcSeconds(year, info.recMonth - 1, info.recDay, info.recHour, info.recMinute, info.recSecond);
    }
    if (bits && bits != &kUnwanted) {
        info.userBitsValid = true;
        info.userBits = {bits[1], bits[2], bits[3], bits[4]};
    }
    if (control && control != &kUnwanted) info.recordingStart = (control[2] & 0x80) == 0;
    return info;
}

void SplitDecider::reset(const SplitRules& rules) { *this = SplitDecider(rules); }

// The timecode comparison runs for every trigger: it keeps repeat-pending and the new-reel marker.
bool SplitDecider::timecodeVerdict(const SplitFrameInfo& cur) {
    bool curMissing = !cur.hasTimecode(), prevMissing = !prev_.hasTimecode();
    if (curMissing && prevMissing) return false;
    if (curMissing || prevMissing) {
        repeatPending_ = false;
        return true;
    }
    if (style_ == 0) style_ = cur.sequences == 12 ? 2 : (cur.tcDropFrame ? 4 : 3);
    const int64_t threshold = rules_.timecodeThreshold;
    int64_t c = core::timecodeToFrames({cur.tcHours, cur.tcMinutes, cur.tcSeconds, cur.tcFrames}, style_);
    int64_t p = core::timecodeToFrames({prev_.tcHours, prev_.tcMinutes, prev_.tcSeconds, prev_.tcFrames}, style_);
    // The frame after the last one of a day is frame 0 of the next.
    int64_t expected = core::wrapFrames(p + 1, style_);
    if (c >= expected) {
        bool split = repeatPending_ || c - expected >= threshold;
        repeatPending_ = false;
        return split;
    }
    if (c < p) {
        newReel_ = true;
        repeatPending_ = false;
        return p + 1 - c >= threshold;
    }
    // The same timecode again.
    if (repeatPending_) return false;
    repeatPending_ = true;
    return framesInFile_ != 1;
}

SplitDecider::Verdict SplitDecider::step(const SplitFrameInfo& cur) {
    Verdict v;
    if (frameIndex_ == 0) {
        const int64_t duration = dv::systemFor(cur.sequences == 12).frameDuration;
        prerollFrames_ = static_cast<int64_t>(rules_.prerollSeconds) * 10000000 / duration;
        countdown_ = prerollFrames_;
        splitPending_ = false;
        framesInFile_ = 0;
        if (rules_.timecodeStyle30 != 0 && cur.sequences != 12) style_ = rules_.timecodeStyle30;
        if (cur.sequences == 12) style_ = 2;
    } else {
        bool tcSplit = timecodeVerdict(cur);
        bool split = false;
        switch (rules_.trigger) {
        case SplitTrigger::kTimecode: split = tcSplit; break;
        case SplitTrigger::kDateTime:
            if (cur.recValid && prev_.recValid) {
                const int64_t s = rules_.dateTimeThreshold;
                split = cur.recSeconds >= prev_.recSeconds ? cur.recSeconds - prev_.recSeconds >= s + 1
                                                           : prev_.recSeconds - cur.recSeconds >= s;
            } else {
                split = cur.recValid != prev_.recValid;
            }
            break;
        case SplitTrigger::kUserBits:
            if (cur.userBitsValid && prev_.userBitsValid) split = cur.userBits != prev_.userBits;
            else split = cur.userBitsValid != prev_.userBitsValid;
            break;
        case SplitTrigger::kTapeIndex: split = cur.recordingStart && !prev_.recordingStart; break;
        }
        if (forced_) {
            split = true;
            forced_ = false;
        }
        if (split) {
            v.split = true;
            framesInFile_ = 0;
            splitPending_ = true;
            countdown_ = prerollFrames_;
        }
    }

    if (countdown_ == 0) {
        v.deliver = true;
        if (splitPending_) {
            v.startsFile = true;
            v.newReel = newReel_;
            newReel_ = false;
            splitPending_ = false;
        }
    } else {
        --countdown_;
    }

    prev_ = cur;
    ++framesInFile_;
    ++frameIndex_;
    return v;
}

}  // namespace zorv::tools
