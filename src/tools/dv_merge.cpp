#include "tools/dv_merge.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <tuple>
#include <sys/uio.h>

#include "core/dv_decode.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "media/avi_writer.h"
#include "media/dv_audio.h"
#include "media/dv_frame_damage.h"
#include "media/dv_media_file.h"
#include "media/rawdv_writer.h"
#include "media/write_all.h"
#include "tools/damage_report.h"

namespace zorv::tools {

namespace dv = core::dv;
using core::ErrorCode;
using core::FrameDamage;
using core::Status;

namespace {

// Where a frame sits on the tape: its timecode as a frame count and its recording date/time in
// seconds (-1 when unknown). A frame without a timecode of its own takes the one after its
// predecessor's, so frames whose packs were lost still line up.
struct TapeKey {
    int64_t tc = -1;
    int64_t rec = -1;
};

bool sameFrame(const TapeKey& a, const TapeKey& b) {
    return a.tc >= 0 && a.tc == b.tc && (a.rec < 0 || b.rec < 0 || a.rec == b.rec);
}

struct Transfer {
    std::string path;
    media::DvMediaFile file;
    std::vector<int64_t> frames;  // frames with data, in order
    std::vector<TapeKey> keys;    // their keys
    size_t cursor = 0;
    std::vector<uint8_t> buf;

    bool done() const { return cursor >= frames.size(); }
    const TapeKey& head() const { return keys[cursor]; }
    // Offset from the cursor of the first frame within the window matching key, or -1.
    int64_t find(const TapeKey& key, int window) const {
        const size_t end = std::min(frames.size(), cursor + static_cast<size_t>(window));
        for (size_t i = cursor; i < end; ++i)
            if (sameFrame(keys[i], key)) return static_cast<int64_t>(i - cursor);
        return -1;
    }
};

// Collects the tape keys of a transfer while its metadata is scanned.
class KeyCollector : public media::ScanObserver {
public:
    KeyCollector(Transfer& t, int fps) : t_(t), fps_(fps) {}
    bool onFrame(int64_t n, const core::MetadataRecord&, const core::DecodedValues& v) override {
        TapeKey k;
        if (v.tcHours >= 0) {
            k.tc = ((static_cast<int64_t>(v.tcHours) * 60 + v.tcMinutes) * 60 + v.tcSeconds) * fps_ + v.tcFrames;
        } else if (!t_.keys.empty() && t_.keys.back().tc >= 0) {
            k.tc = t_.keys.back().tc + 1;
        }
        if (v.recValid && v.recSeconds >= 0) k.rec = v.recSeconds;
        t_.frames.push_back(n);
        t_.keys.push_back(k);
        return true;
    }

private:
    Transfer& t_;
    int fps_;
};

// Ordering of candidate frames: errors nobody concealed and misplaced blocks first, then concealment,
// audio errors, and blank packs.
bool lessDamaged(const FrameDamage& a, const FrameDamage& b) {
    auto rank = [](const FrameDamage& d) {
        return std::make_tuple(d.uncorrectedBlocks() + d.otherBlocks() + d.misplacedBlocks, d.concealedBlocks(),
                               d.audioErrorTotal(), d.packsMissing ? 1 : 0);
    };
    return rank(a) < rank(b);
}

bool blockIntact(const uint8_t* frame, int seq, size_t b, int perChannel, int audioBits, bool packsMissing) {
    const uint8_t* blk = frame + dv::kSequenceSize * static_cast<size_t>(seq) + b * dv::kDifBlockSize;
    if (!core::blockInPlace(blk, seq, b, perChannel)) return false;
    switch (core::sectionOf(b)) {
    case core::DifSection::kVideo: return (blk[3] >> 4) == 0;
    case core::DifSection::kAudio: return media::dvaudio::blockErrorSamples(blk, audioBits) == 0;
    case core::DifSection::kSubcode:
    case core::DifSection::kVaux: return !packsMissing;
    case core::DifSection::kHeader: return true;
    }
    return true;
}

// The merge report, written as the frames are made.
class MergeReport {
public:
    MergeReport(MergeReportFormat format, int fd, size_t transfers) : format_(format), fd_(fd), transfers_(transfers) {}

    bool begin(const std::vector<std::string>& inputs) {
        if (format_ == MergeReportFormat::kCsv) {
            line_ = "frame,timecode,recorded,base,before,after,damaged_blocks_after,audio_errors_after";
            for (size_t i = 1; i <= transfers_; ++i) line_ += ",frame_" + std::to_string(i) + ",blocks_" + std::to_string(i);
            line_ += "\n";
        } else if (format_ == MergeReportFormat::kJson) {
            line_ = "{\"transfers\":[";
            for (size_t i = 0; i < inputs.size(); ++i) {
                if (i) line_ += ",";
                line_ += "\"";
                for (char c : inputs[i]) {
                    if (c == '"' || c == '\\') line_ += '\\';
                    if (static_cast<unsigned char>(c) < 0x20) continue;
                    line_ += c;
                }
                line_ += "\"";
            }
            line_ += "],\"frames\":[";
        }
        return put();
    }

    bool frame(const MergedFrame& f, const core::DecodedValues& v) {
        if (format_ == MergeReportFormat::kNone) return true;
        const FrameKeyText key = frameKeyText(v);
        const char* tc = key.timecode;
        char date[40];
        std::snprintf(date, sizeof date, "%s%s%s", key.date, key.date[0] ? " " : "", key.time);
        char head[256];
        const char* before = severityName(f.before.severity());
        const char* after = severityName(f.after.severity());
        if (format_ == MergeReportFormat::kCsv) {
            std::snprintf(head, sizeof head, "%" PRId64 ",%s,%s,%d,%s,%s,%d,%d", f.out, tc, date, f.base + 1, before, after,
                          f.after.damagedBlocks() + f.after.misplacedBlocks, f.after.audioErrorTotal());
            line_ = head;
            for (size_t i = 0; i < transfers_; ++i) {
                std::snprintf(head, sizeof head, ",%" PRId64 ",%d", f.sourceFrame[i], f.blocksFrom[i]);
                line_ += head;
            }
            line_ += "\n";
        } else {
            std::snprintf(head, sizeof head,
                          "%s\n{\"frame\":%" PRId64
                          ",\"timecode\":\"%s\",\"recorded\":\"%s\",\"base\":%d,"
                          "\"before\":\"%s\",\"after\":\"%s\",\"damaged_blocks_after\":%d,\"audio_errors_after\":%d,"
                          "\"sources\":[",
                          rows_ ? "," : "", f.out, tc, date, f.base + 1, before, after,
                          f.after.damagedBlocks() + f.after.misplacedBlocks, f.after.audioErrorTotal());
            line_ = head;
            for (size_t i = 0; i < transfers_; ++i) {
                std::snprintf(head, sizeof head, "%s{\"frame\":%" PRId64 ",\"blocks\":%d}", i ? "," : "", f.sourceFrame[i],
                              f.blocksFrom[i]);
                line_ += head;
            }
            line_ += "]}";
        }
        ++rows_;
        return put();
    }

    bool finish(const MergeResult& r) {
        if (format_ != MergeReportFormat::kJson) return flush();
        char tail[256];
        std::snprintf(tail, sizeof tail,
                      "],\"summary\":{\"frames\":%" PRId64 ",\"merged_frames\":%" PRId64 ",\"repaired_frames\":%" PRId64
                      ",\"damaged_frames\":%" PRId64 ",\"blocks_replaced\":%" PRId64 "}}\n",
                      r.frames, r.mergedFrames, r.repairedFrames, r.damagedFrames, r.blocksReplaced);
        line_ = tail;
        return put() && flush();
    }

    int sysError() const { return sysError_; }

private:
    bool put() {
        out_ += line_;
        return out_.size() < 64 * 1024 || flush();
    }

    bool flush() {
        if (out_.empty() || fd_ < 0) return true;
        struct iovec iov {
            out_.data(), out_.size()
        };
        if (int err = media::writeAllV(fd_, &iov, 1); err != 0) {
            sysError_ = err;
            return false;
        }
        out_.clear();
        return true;
    }

    MergeReportFormat format_;
    int fd_;
    size_t transfers_;
    std::string line_;
    std::string out_;
    int64_t rows_ = 0;
    int sysError_ = 0;
};

}  // namespace

int mergeFrameBlocks(const std::vector<const uint8_t*>& frames, size_t frameSize, uint8_t* out,
                     std::vector<int>& blocksFrom) {
    const size_t count = std::min(frames.size(), kMaxTransfers);
    blocksFrom.assign(count, 0);
    if (count == 0) return -1;
    std::array<FrameDamage, kMaxTransfers> damage;
    for (size_t i = 0; i < count; ++i) media::readFrameDamage(damage[i], frames[i], frameSize);
    size_t base = 0;
    for (size_t i = 1; i < count; ++i)
        if (lessDamaged(damage[i], damage[base])) base = i;
    std::memcpy(out, frames[base], frameSize);

    const int sequences = dv::sequenceCount(frameSize);
    const int perChannel = core::sequencesPerChannel(sequences);
    std::array<int, kMaxTransfers> bits;
    bits.fill(16);
    for (size_t i = 0; i < count; ++i)
        if (auto info = media::dvaudio::readAudioInfo(frames[i], frameSize)) bits[i] = info->bits;
    int total = 0;
    for (int s = 0; s < sequences; ++s) {
        for (size_t b = 0; b < dv::kBlocksPerSequence; ++b) {
            ++total;
            if (blockIntact(frames[base], s, b, perChannel, bits[base], damage[base].packsMissing)) {
                ++blocksFrom[base];
                continue;
            }
            size_t from = base;
            for (size_t i = 0; i < count && from == base; ++i)
                if (i != base && blockIntact(frames[i], s, b, perChannel, bits[i], damage[i].packsMissing)) from = i;
            const size_t off = dv::kSequenceSize * static_cast<size_t>(s) + b * dv::kDifBlockSize;
            if (from != base) std::memcpy(out + off, frames[from] + off, dv::kDifBlockSize);
            ++blocksFrom[from];
        }
    }
    return static_cast<int>(base);
}

Status mergeTransfers(const std::vector<std::string>& inputs, const std::string& outPath, const MergeSettings& settings,
                      core::Progress* progress, MergeResult* result) {
    if (inputs.size() < 2 || inputs.size() > kMaxTransfers)
        return Status::failure(ErrorCode::kOpenFailed, "Merging takes 2 to " + std::to_string(kMaxTransfers) + " transfers");
    std::vector<std::unique_ptr<Transfer>> transfers;
    size_t frameSize = 0;
    int64_t totalFrames = 0;
    for (const std::string& path : inputs) {
        auto t = std::make_unique<Transfer>();
        t->path = path;
        if (!t->file.open(path) || !t->file.indexed() || t->file.frameCount() == 0)
            return Status::failure(ErrorCode::kReadFailed, "Failed to read file - " + path, t->file.sysError());
        if (frameSize == 0) frameSize = t->file.frameSize();
        if (t->file.frameSize() != frameSize)
            return Status::failure(ErrorCode::kOpenFailed, "The transfers are not of the same video system: " + path);
        KeyCollector keys(*t, dv::systemOfFrame(frameSize).nominalRate);
        if (!t->file.scan(nullptr, &keys)) {
            Status st = t->file.status();
            if (st.message.empty()) st.message = "Failed to read file - " + path;
            return st;
        }
        t->buf.resize(frameSize);
        totalFrames += static_cast<int64_t>(t->frames.size());
        transfers.push_back(std::move(t));
    }

    media::RawDvWriter raw;
    media::AviWriter avi;
    if (settings.container == MergeContainer::kAvi1) {
        media::AviWriterOptions opt;
        opt.type = media::AviType::kType1;
        opt.pal = dv::isPal(frameSize);
        if (Status st = avi.open(outPath, opt); !st) return st;
    } else if (Status st = raw.open(outPath); !st) {
        return st;
    }
    auto writeFrame = [&](std::span<const uint8_t> f) {
        return settings.container == MergeContainer::kAvi1 ? avi.writeFrame(f) : raw.writeFrame(f);
    };

    MergeReport report(settings.reportFormat, settings.reportFd, transfers.size());
    auto reportFailure = [&] {
        return Status::failure(ErrorCode::kWriteFailed, "Failed to write the merge report", report.sysError());
    };
    if (!report.begin(inputs)) return reportFailure();
    if (progress) {
        progress->setTotal(std::max<int64_t>(totalFrames, 1));
        progress->setDone(0);
    }

    const size_t count = transfers.size();
    std::vector<uint8_t> out(frameSize);
    std::vector<const uint8_t*> copies;
    std::vector<size_t> members;
    MergeResult res;
    MergedFrame mf;
    std::vector<int> from;
    core::MetadataRecord record;
    core::DecodedValues values;
    TapeKey last;
    int64_t done = 0;
    for (;;) {
        // The transfer whose next frame comes first: no other transfer holds it further on.
        size_t chosen = count;
        for (size_t i = 0; i < count && chosen == count; ++i) {
            if (transfers[i]->done()) continue;
            bool first = true;
            for (size_t j = 0; j < count && first; ++j)
                if (j != i && !transfers[j]->done() && transfers[j]->find(transfers[i]->head(), settings.window) > 0)
                    first = false;
            if (first) chosen = i;
        }
        if (chosen == count) {  // the transfers disagree on the order: take them as they come
            for (size_t i = 0; i < count && chosen == count; ++i)
                if (!transfers[i]->done()) chosen = i;
        }
        if (chosen == count) break;
        const TapeKey key = transfers[chosen]->head();

        members.clear();
        for (size_t j = 0; j < count; ++j) {
            if (transfers[j]->done()) continue;
            if (j == chosen || sameFrame(transfers[j]->head(), key)) members.push_back(j);
        }
        // A frame the transfer repeats (the same place on the tape as the frame just written) is a
        // deck's repeat, not a frame of the tape.
        if (sameFrame(last, key)) {
            for (size_t j : members) ++transfers[j]->cursor;
            done += static_cast<int64_t>(members.size());
            continue;
        }

        copies.clear();
        mf.sourceFrame.assign(count, -1);
        for (size_t j : members) {
            Transfer& t = *transfers[j];
            const int64_t n = t.frames[t.cursor];
            if (!t.file.readFrame(n, t.buf.data())) {
                Status st = t.file.status();
                st.message = "Failed to read file - " + t.path;
                return st;
            }
            copies.push_back(t.buf.data());
            mf.sourceFrame[j] = n;
        }
        const int local = mergeFrameBlocks(copies, frameSize, out.data(), from);
        mf.out = res.frames;
        mf.base = static_cast<int>(members[static_cast<size_t>(local)]);
        mf.blocksFrom.assign(count, 0);
        for (size_t k = 0; k < members.size(); ++k) mf.blocksFrom[members[k]] = from[k];
        media::readFrameDamage(mf.before, copies[static_cast<size_t>(local)], frameSize);
        media::readFrameDamage(mf.after, out.data(), frameSize);

        if (Status st = writeFrame(out); !st) return st;
        // The packs of the written frame, for the report's timecode and date columns.
        core::fillRecord(record, out.data(), frameSize);
        core::decodeRecord(record, values);
        if (!report.frame(mf, values)) return reportFailure();

        ++res.frames;
        if (members.size() > 1) ++res.mergedFrames;
        if (mf.before.damaged() && !mf.after.damaged()) ++res.repairedFrames;
        if (mf.after.damaged()) ++res.damagedFrames;
        for (size_t k = 0; k < members.size(); ++k)
            if (k != static_cast<size_t>(local)) res.blocksReplaced += from[k];
        last = key;
        for (size_t j : members) ++transfers[j]->cursor;
        done += static_cast<int64_t>(members.size());
        if (progress) {
            progress->setDone(done);
            if (progress->cancelled()) return Status::failure(ErrorCode::kCancelled, "Operation Cancelled");
        }
    }
    if (Status st = settings.container == MergeContainer::kAvi1 ? avi.close() : raw.close(); !st) return st;
    if (!report.finish(res)) return reportFailure();
    if (result) *result = res;
    return Status::success();
}

}  // namespace zorv::tools
