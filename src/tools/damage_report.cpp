#include "tools/damage_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/civil_time.h"
#include "core/metadata_text.h"
#include "media/dv_media_file.h"
#include "media/write_all.h"
#include "tools/export_scan.h"

namespace zorv::tools {

using core::DamageSeverity;
using core::FrameDamage;

namespace {

constexpr size_t kOutBuffer = 64 * 1024;
constexpr size_t kRowCapacity = 1024;

const char kCsvHeader[] =
    "first,last,frames,position,timecode,date,time,severity,video_blocks,concealed,uncorrected,other,"
    "concealed_share,sta_1,sta_2,sta_3,sta_4,sta_5,sta_6,sta_7,sta_8,sta_9,sta_a,sta_b,sta_c,sta_d,sta_e,"
    "sta_f,audio_ch1,audio_ch2,audio_ch3,audio_ch4,misplaced_blocks,packs_missing,timecode_repeated,"
    "timecode_backwards\n";

// The first frame of a row with what the scan knew of it.
struct Row {
    int64_t first = 0;
    int64_t last = 0;
    bool dropped = false;
    FrameDamage damage;
    core::DecodedValues values;
};

class DamageReporter : public media::ScanObserver {
public:
    DamageReporter(media::DvMediaFile& source, int fd, const DamageReportSettings& settings, std::vector<DamageRun>* runs)
        : source_(source), fd_(fd), settings_(settings), runs_(runs) {
        buf_.reserve(kOutBuffer + kRowCapacity);
    }

    bool begin() {
        if (settings_.format == DamageFormat::kCsv) return put(kCsvHeader, sizeof kCsvHeader - 1);
        if (settings_.format == DamageFormat::kJson) {
            std::string head = "{\"frames\":[";
            return put(head.data(), head.size());
        }
        return true;
    }

    bool onFrame(int64_t n, const core::MetadataRecord&, const core::DecodedValues& values) override {
        if (n > next_ && !gap(next_, n - 1)) return false;
        next_ = n + 1;
        const FrameDamage& d = source_.damage();
        count(n, d);
        const bool damaged = d.damaged();
        if (!settings_.allFrames && !damaged) return flush();
        if (!settings_.allFrames && open_ && !row_.dropped && row_.last == n - 1 && row_.damage.sameAs(d)) {
            row_.last = n;
            return true;
        }
        if (!flush()) return false;
        row_ = Row{n, n, false, d, values};
        open_ = true;
        return true;
    }

    // After the scan: the frames past the last one read, the last row, the summary.
    bool finish() {
        const int64_t total = source_.frameCount();
        if (next_ < total && !gap(next_, total - 1)) return false;
        if (!flush()) return false;
        summary_.frames = total;
        const std::string line = damageSummaryLine(summary_);
        std::string tail;
        if (settings_.format == DamageFormat::kText) {
            tail = line + "\n";
        } else if (settings_.format == DamageFormat::kJson) {
            char s[512];
            std::snprintf(
                s, sizeof s,
                "],\"summary\":{\"frames\":%" PRId64 ",\"damaged_frames\":%" PRId64 ",\"concealed_frames\":%" PRId64
                ",\"uncorrected_frames\":%" PRId64 ",\"audio_error_frames\":%" PRId64 ",\"audio_error_samples\":%" PRId64
                ",\"dropped_frames\":%" PRId64 ",\"longest_run\":%" PRId64 ",\"longest_run_start\":%" PRId64 "}}\n",
                summary_.frames, summary_.damagedFrames, summary_.concealedFrames, summary_.uncorrectedFrames,
                summary_.audioErrorFrames, summary_.audioErrorSamples, summary_.droppedFrames, summary_.longestRun,
                summary_.longestRunStart);
            tail = s;
        }
        return put(tail.data(), tail.size()) && drain();
    }

    const DamageSummary& summary() const { return summary_; }
    int sysError() const { return sysError_; }

private:
    // Frames first..last have empty index entries: one dropped row (one per frame with allFrames).
    bool gap(int64_t first, int64_t last) {
        for (int64_t n = first; n <= last; ++n) {
            ++summary_.droppedFrames;
            extendRun(n, DamageSeverity::kUncorrected, true);
            if (settings_.allFrames || n == first) {
                if (!flush()) return false;
                row_ = Row{n, n, true, FrameDamage{}, core::DecodedValues{}};
                open_ = true;
            } else {
                row_.last = n;
            }
        }
        return true;
    }

    void count(int64_t n, const FrameDamage& d) {
        const int concealed = d.concealedBlocks();
        if (concealed > 0) ++summary_.concealedFrames;
        if (d.uncorrectedBlocks() + d.otherBlocks() > 0) ++summary_.uncorrectedFrames;
        const int audio = d.audioErrorTotal();
        if (audio > 0) ++summary_.audioErrorFrames;
        summary_.audioErrorSamples += audio;
        extendRun(n, d.severity(), false);
    }

    void extendRun(int64_t n, DamageSeverity sev, bool dropped) {
        if (sev == DamageSeverity::kNone) {
            runLength_ = 0;
            return;
        }
        ++summary_.damagedFrames;
        if (runLength_ == 0) runStart_ = n;
        ++runLength_;
        if (runLength_ > summary_.longestRun) {
            summary_.longestRun = runLength_;
            summary_.longestRunStart = runStart_;
        }
        if (runs_) extendDamageRuns(*runs_, n, sev, dropped);
    }

    bool flush() {
        if (!open_) return true;
        open_ = false;
        char text[kRowCapacity];
        const size_t len = format(text);
        return put(text, len);
    }

    size_t format(char (&out)[kRowCapacity]) {
        const Row& r = row_;
        const FrameDamage& d = r.damage;
        core::TextBuf pos;
        core::formatFramePosition(pos, r.first, source_.decoded().timecodeStyle, core::DisplaySettings{},
                                  core::TextVariant::MetadataWindow);
        const FrameKeyText key = frameKeyText(r.values);
        const char* tc = key.timecode;
        const char* date = key.date;
        const char* time = key.time;
        const char* sev = r.dropped ? "dropped" : severityName(d.severity());
        const int64_t frames = r.last - r.first + 1;
        int len = 0;
        switch (settings_.format) {
        case DamageFormat::kText: {
            char span[48];
            if (frames > 1) std::snprintf(span, sizeof span, "%" PRId64 "-%" PRId64, r.first, r.last);
            else std::snprintf(span, sizeof span, "%" PRId64, r.first);
            len = std::snprintf(out, sizeof out, "%-17s %s  %-11s  %-10s %-8s  %-11s", span, pos.c_str(),
                                tc[0] ? tc : "--:--:--:--", date[0] ? date : "----------", time[0] ? time : "--:--:--", sev);
            if (r.dropped) break;
            auto add = [&](const char* fmt, auto... args) {
                if (len < static_cast<int>(sizeof out))
                    len += std::snprintf(out + len, sizeof out - static_cast<size_t>(len), fmt, args...);
            };
            if (d.damagedBlocks() > 0) {
                add("  blocks %d/%d (concealed %.1f%%):", d.damagedBlocks(), d.videoBlocks, 100.0 * d.concealedShare());
                for (int s = 1; s < 16; ++s)
                    if (d.sta[static_cast<size_t>(s)]) add(" STA %X x%d", s, d.sta[static_cast<size_t>(s)]);
            }
            if (d.audioErrorTotal() > 0) {
                add("  audio errors");
                for (int c = 0; c < d.audioChannels; ++c) add(" ch%d %d", c + 1, d.audioErrors[static_cast<size_t>(c)]);
            }
            if (d.misplacedBlocks) add("  misplaced blocks %d", d.misplacedBlocks);
            if (d.packsMissing) add("  no packs");
            if (d.timecodeRepeated) add("  timecode repeated");
            if (d.timecodeBackwards) add("  timecode backwards");
            break;
        }
        case DamageFormat::kCsv:
            len = std::snprintf(out, sizeof out,
                                "%" PRId64 ",%" PRId64 ",%" PRId64
                                ",%s,%s,%s,%s,%s,%d,%d,%d,%d,%.4f,"
                                "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d",
                                r.first, r.last, frames, pos.c_str(), tc, date, time, sev, d.videoBlocks,
                                d.concealedBlocks(), d.uncorrectedBlocks(), d.otherBlocks(), d.concealedShare(), d.sta[1],
                                d.sta[2], d.sta[3], d.sta[4], d.sta[5], d.sta[6], d.sta[7], d.sta[8], d.sta[9], d.sta[10],
                                d.sta[11], d.sta[12], d.sta[13], d.sta[14], d.sta[15], d.audioErrors[0], d.audioErrors[1],
                                d.audioErrors[2], d.audioErrors[3], d.misplacedBlocks, d.packsMissing ? 1 : 0,
                                d.timecodeRepeated ? 1 : 0, d.timecodeBackwards ? 1 : 0);
            break;
        case DamageFormat::kJson: {
            len = std::snprintf(out, sizeof out,
                                "%s\n{\"first\":%" PRId64 ",\"last\":%" PRId64 ",\"frames\":%" PRId64
                                ",\"position\":\"%s\",\"timecode\":\"%s\",\"date\":\"%s\",\"time\":\"%s\","
                                "\"severity\":\"%s\",\"video_blocks\":%d,\"concealed\":%d,\"uncorrected\":%d,"
                                "\"other\":%d,\"concealed_share\":%.4f,\"sta\":[",
                                rows_ ? "," : "", r.first, r.last, frames, pos.c_str(), tc, date, time, sev, d.videoBlocks,
                                d.concealedBlocks(), d.uncorrectedBlocks(), d.otherBlocks(), d.concealedShare());
            for (int s = 0; s < 16 && len < static_cast<int>(sizeof out); ++s)
                len += std::snprintf(out + len, sizeof out - static_cast<size_t>(len), s ? ",%d" : "%d",
                                     d.sta[static_cast<size_t>(s)]);
            if (len < static_cast<int>(sizeof out))
                len += std::snprintf(out + len, sizeof out - static_cast<size_t>(len),
                                     "],\"audio_errors\":[%d,%d,%d,%d],\"audio_channels\":%d,\"misplaced_blocks\":%d,"
                                     "\"packs_missing\":%s,\"timecode_repeated\":%s,\"timecode_backwards\":%s}",
                                     d.audioErrors[0], d.audioErrors[1], d.audioErrors[2], d.audioErrors[3], d.audioChannels,
                                     d.misplacedBlocks, d.packsMissing ? "true" : "false",
                                     d.timecodeRepeated ? "true" : "false", d.timecodeBackwards ? "true" : "false");
            ++rows_;
            size_t n = std::min(static_cast<size_t>(len), sizeof out - 1);
            return n;
        }
        }
        size_t n = std::min(static_cast<size_t>(len), sizeof out - 2);
        out[n++] = '\n';
        ++rows_;
        return n;
    }

    bool put(const char* text, size_t n) {
        buf_.insert(buf_.end(), text, text + n);
        return buf_.size() < kOutBuffer || drain();
    }

    bool drain() {
        if (buf_.empty()) return true;
        struct iovec iov {
            buf_.data(), buf_.size()
        };
        if (int err = media::writeAllV(fd_, &iov, 1); err != 0) {
            sysError_ = err;
            return false;
        }
        buf_.clear();
        return true;
    }

    media::DvMediaFile& source_;
    int fd_;
    DamageReportSettings settings_;
    std::vector<DamageRun>* runs_;
    std::vector<char> buf_;
    Row row_;
    bool open_ = false;
    int64_t next_ = 0;
    int64_t rows_ = 0;
    int64_t runStart_ = 0;
    int64_t runLength_ = 0;
    DamageSummary summary_;
    int sysError_ = 0;
};

}  // namespace

void extendDamageRuns(std::vector<DamageRun>& runs, int64_t n, DamageSeverity sev, bool dropped) {
    if (sev == DamageSeverity::kNone) return;
    if (!runs.empty() && runs.back().last == n - 1 && runs.back().severity == sev && runs.back().dropped == dropped)
        runs.back().last = n;
    else runs.push_back(DamageRun{n, n, sev, dropped});
}

const DamageRun* damageRunAt(const std::vector<DamageRun>& runs, int64_t n) {
    auto it = std::upper_bound(runs.begin(), runs.end(), n, [](int64_t v, const DamageRun& r) { return v < r.first; });
    if (it == runs.begin()) return nullptr;
    --it;
    return n <= it->last ? &*it : nullptr;
}

FrameKeyText frameKeyText(const core::DecodedValues& v) {
    FrameKeyText k{};
    if (v.tcHours >= 0)
        std::snprintf(k.timecode, sizeof k.timecode, "%02d:%02d:%02d%c%02d", v.tcHours % 100, v.tcMinutes % 100,
                      v.tcSeconds % 100, v.timecodeStyle == 4 ? ';' : ':', v.tcFrames % 100);
    if (v.recValid) {
        core::CivilDateTime t = core::civilFromUtcSeconds(v.recSeconds);
        std::snprintf(k.date, sizeof k.date, "%04d-%02d-%02d", static_cast<int>(t.year % 10000), t.month, t.day);
        std::snprintf(k.time, sizeof k.time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    }
    return k;
}

const char* severityName(DamageSeverity s) {
    switch (s) {
    case DamageSeverity::kNone: return "ok";
    case DamageSeverity::kSigns: return "signs";
    case DamageSeverity::kAudio: return "audio";
    case DamageSeverity::kConcealed: return "concealed";
    case DamageSeverity::kUncorrected: return "uncorrected";
    }
    return "?";
}

size_t damageCsvColumns(char (&out)[kDamageCsvCapacity], const FrameDamage& d) {
    const DamageSeverity sev = d.severity();
    const int len = std::snprintf(out, sizeof out, ",%s,%d,%d,%.4f,%d,%d,%d,%d,%d,%d,%d,%d",
                                  sev == DamageSeverity::kNone ? "" : severityName(sev), d.concealedBlocks(),
                                  d.uncorrectedBlocks() + d.otherBlocks(), d.concealedShare(), d.audioErrors[0],
                                  d.audioErrors[1], d.audioErrors[2], d.audioErrors[3], d.misplacedBlocks,
                                  d.packsMissing ? 1 : 0, d.timecodeRepeated ? 1 : 0, d.timecodeBackwards ? 1 : 0);
    return std::min(static_cast<size_t>(len > 0 ? len : 0), sizeof out - 1);
}

std::string damageSummaryLine(const DamageSummary& s) {
    char text[512];
    int len = std::snprintf(text, sizeof text,
                            "Summary: %" PRId64 " frames, %" PRId64 " damaged, %" PRId64 " with concealment, %" PRId64
                            " with uncorrected errors, %" PRId64 " audio error samples in %" PRId64 " frame%s",
                            s.frames, s.damagedFrames, s.concealedFrames, s.uncorrectedFrames, s.audioErrorSamples,
                            s.audioErrorFrames, s.audioErrorFrames == 1 ? "" : "s");
    if (s.droppedFrames > 0 && len < static_cast<int>(sizeof text))
        len += std::snprintf(text + len, sizeof text - static_cast<size_t>(len), ", %" PRId64 " dropped", s.droppedFrames);
    if (len < static_cast<int>(sizeof text)) {
        if (s.longestRun > 0)
            std::snprintf(text + len, sizeof text - static_cast<size_t>(len),
                          ", longest damaged run %" PRId64 " frame%s from frame %" PRId64, s.longestRun,
                          s.longestRun == 1 ? "" : "s", s.longestRunStart);
        else std::snprintf(text + len, sizeof text - static_cast<size_t>(len), ", no damaged run");
    }
    return text;
}

core::Status writeDamageReport(media::DvMediaFile& source, int fd, const DamageReportSettings& settings,
                               core::Progress* progress, DamageSummary* summary, std::vector<DamageRun>* runs) {
    if (runs) runs->clear();
    DamageReporter reporter(source, fd, settings, runs);
    auto writeFailure = [&] {
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to write the damage report",
                                     reporter.sysError());
    };
    if (!reporter.begin()) return writeFailure();
    core::Status st = runExportScan(source, reporter, progress);
    if (st.code == core::ErrorCode::kWriteFailed) return writeFailure();
    if (!st) return st;
    if (!reporter.finish()) return writeFailure();
    if (summary) *summary = reporter.summary();
    return st;
}

}  // namespace zorv::tools
