#include "gen/clip_writer.h"

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>

#include <signal.h>
#include <unistd.h>

#include "core/dv_layout.h"
#include "gen/dv_packs.h"
#include "media/avi_writer.h"
#include "media/dv_audio.h"
#include "media/codec/dv_encoder.h"
#include "media/rawdv_writer.h"

namespace zorv::gen {

using core::ErrorCode;
using core::Status;

namespace {

constexpr int kPictureCount = 8;

// Colour bars (luma, Cb, Cr) of the test pattern.
constexpr uint8_t kBars[8][3] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                                 {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

// Picture k: the bars shifted right by 24k pixels and a white square moving across the lower half.
void drawPicture(AVFrame* f, int k, bool pal) {
    const int w = f->width, h = f->height;
    const int cw = pal ? w / 2 : w / 4, ch = pal ? h / 2 : h;
    const int xs = w / cw, ys = h / ch;
    const int boxX = 40 + 80 * k, boxY = h * 5 / 8, box = 64;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0];
        for (int x = 0; x < w; ++x) {
            bool inBox = x >= boxX && x < boxX + box && y >= boxY && y < boxY + box;
            row[x] = inBox ? 235 : kBars[((x + 24 * k) * 8 / w) % 8][0];
        }
    }
    for (int y = 0; y < ch; ++y) {
        uint8_t* cb = f->data[1] + static_cast<ptrdiff_t>(y) * f->linesize[1];
        uint8_t* cr = f->data[2] + static_cast<ptrdiff_t>(y) * f->linesize[2];
        for (int x = 0; x < cw; ++x) {
            int px = x * xs, py = y * ys;
            bool inBox = px >= boxX && px < boxX + box && py >= boxY && py < boxY + box;
            const uint8_t* bar = kBars[((px + 24 * k) * 8 / w) % 8];
            cb[x] = inBox ? 128 : bar[1];
            cr[x] = inBox ? 128 : bar[2];
        }
    }
}

// Video block i of a frame in frame order (sequence x 135 + video block): its byte offset.
size_t videoBlockOffset(int i) {
    return core::dv::kSequenceSize * static_cast<size_t>(i / core::dv::kVideoBlocksPerSequence) +
           core::dv::videoBlockIndex(i % core::dv::kVideoBlocksPerSequence) * core::dv::kDifBlockSize;
}

}  // namespace

Status ClipFrames::open(const ClipSpec& desc) {
    spec_ = desc;
    pictures_.clear();
    media::codec::DvEncoder enc;
    if (Status s = enc.open(desc.pal()); !s) return s;
    media::codec::FramePtr pic = enc.makeInputPicture();
    if (!pic) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    for (int k = 0; k < kPictureCount; ++k) {
        if (av_frame_make_writable(pic.get()) < 0) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        drawPicture(pic.get(), k, desc.pal());
        std::vector<uint8_t> bytes;
        if (Status s = enc.encode(pic.get(), bytes); !s) return s;
        pictures_.push_back(std::move(bytes));
    }
    return Status::success();
}

void ClipFrames::render(int64_t n, std::vector<uint8_t>& out) const {
    const std::vector<uint8_t>& pic = pictures_[static_cast<size_t>(n % kPictureCount)];
    out.assign(pic.begin(), pic.end());
    writeFramePacks(frameMeta(spec_, n), out.data(), out.size());
    if (spec_.audio.tone && spec_.audio.present) renderTone(n, out);
    damage(n, out);
}

void ClipFrames::damage(int64_t n, std::vector<uint8_t>& out) const {
    const int blocks = static_cast<int>(out.size() / core::dv::kSequenceSize) * core::dv::kVideoBlocksPerSequence;
    for (const BlockDamage& d : spec_.damage) {
        if (d.frame != n) continue;
        const int sta = d.sta & 0x0F;
        const bool fromPrevious = sta == 0x2 || sta == 0xA || sta == 0x6 || sta == 0xE;
        const bool fromNext = sta == 0x4 || sta == 0xC;
        const std::vector<uint8_t>& other =
            pictures_[static_cast<size_t>((n + (fromNext ? 1 : kPictureCount - 1)) % kPictureCount)];
        const DamagedRun run = damagedRun(d, out.size());
        for (int k = 0; k < run.count; ++k) {
            const size_t off = videoBlockOffset((run.first + k) % blocks);
            uint8_t* blk = out.data() + off;
            if (fromPrevious || fromNext) std::copy(other.begin() + off + 3, other.begin() + off + 80, blk + 3);
            else if (sta != 0) std::fill(blk + 4, blk + 80, uint8_t{0});
            blk[3] = static_cast<uint8_t>(sta << 4 | (blk[3] & 0x0F));
        }
    }
    for (const AudioDamage& a : spec_.audioErrors) {
        if (a.frame != n) continue;
        if (auto info = media::dvaudio::readAudioInfo(out.data(), out.size()))
            media::dvaudio::markErrorSamples(out.data(), out.size(), *info, a.channel, a.first, a.count);
    }
}

void ClipFrames::renderTone(int64_t n, std::vector<uint8_t>& out) const {
    const int samples = audioSamples(spec_, n);
    const int64_t start = audioSampleStart(spec_, n);
    pair0_.resize(2 * static_cast<size_t>(samples));
    toneSamples(spec_, 0, start, samples, pair0_.data());
    if (spec_.audio.bits == 12) {
        pair1_.resize(pair0_.size());
        toneSamples(spec_, 1, start, samples, pair1_.data());
        media::dvaudio::insertPcm12(out.data(), out.size(), pair0_.data(), pair1_.data(), samples);
    } else {
        media::dvaudio::insertPcm(out.data(), out.size(), pair0_.data(), samples, spec_.audio.sampleRate,
                                  spec_.audio.sampleRate != 44100);
    }
}

size_t ClipFrames::audioBytes(int64_t n) const { return static_cast<size_t>(audioSamples(spec_, n)) * 4; }

void ClipFrames::audioPcm(int64_t n, std::vector<uint8_t>& out) const {
    const int samples = audioSamples(spec_, n);
    out.assign(static_cast<size_t>(samples) * 4, 0);
    if (!spec_.audio.tone) return;
    pair0_.resize(2 * static_cast<size_t>(samples));
    toneSamples(spec_, 0, audioSampleStart(spec_, n), samples, pair0_.data());
    for (size_t i = 0; i < pair0_.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(pair0_[i]);
        out[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(pair0_[i]) >> 8);
    }
}

Status writeClip(const ClipSpec& desc, const std::string& path, Container container, IndexStyle style) {
    ClipFrames frames;
    if (Status s = frames.open(desc); !s) return s;
    std::vector<uint8_t> frame;
    frame.reserve(desc.frameSize());

    if (container == Container::RawDv) {
        media::RawDvWriter w;
        if (Status s = w.open(path); !s) return s;
        for (int64_t n = 0; n < desc.frames; ++n) {
            if (desc.isDropped(n) || desc.isOmitted(n)) continue;
            frames.render(n, frame);
            if (Status s = w.writeFrame(frame); !s) return s;
        }
        return w.close();
    }

    media::AviWriterOptions opt;
    opt.type = container == Container::Avi2 ? media::AviType::kType2 : media::AviType::kType1;
    opt.pal = desc.pal();
    opt.openDml = style == IndexStyle::OpenDml;
    opt.idx1FromFileStart = style == IndexStyle::Idx1FromFile;
    opt.riffLimit = desc.riffLimit;
    opt.reservedListSize = desc.reservedListSize;
    opt.audioSampleRate = static_cast<uint32_t>(desc.audio.sampleRate);
    std::vector<uint8_t> audio;
    audio.reserve(4 * media::dvaudio::kMaxSamplesPerFrame);
    media::AviWriter w;
    if (Status s = w.open(path, opt); !s) return s;
    for (int64_t n = 0; n < desc.frames; ++n) {
        if (desc.isOmitted(n)) continue;
        frames.audioPcm(n, audio);
        std::span<const uint8_t> pcm(audio);
        Status s;
        if (desc.isDropped(n)) {
            s = w.writeEmptyFrame(pcm);
        } else {
            frames.render(n, frame);
            s = w.writeFrame(frame, pcm);
        }
        if (!s) return s;
    }
    return w.close();
}

namespace {

// A temporary folder of this process, removed when the process ends.
struct CacheDir {
    std::filesystem::path path;
    CacheDir() {
        std::error_code ec;
        std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
        removeStale(tmp);
        path = tmp / ("zorv-gen-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path, ec);
    }
    // Folders of processes that ended without cleaning up (killed or crashed).
    static void removeStale(const std::filesystem::path& tmp) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(tmp, ec)) {
            std::string name = e.path().filename().string();
            if (name.rfind("zorv-gen-", 0) != 0 || name.size() == 9) continue;
            std::string digits = name.substr(9);
            if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
            pid_t pid = static_cast<pid_t>(std::stol(digits));
            if (::kill(pid, 0) != 0 && errno == ESRCH) std::filesystem::remove_all(e.path(), ec);
        }
    }
    ~CacheDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

std::string cachedClip(const std::string& name, const ClipSpec& desc, Container container, IndexStyle style) {
    static std::mutex mu;
    static CacheDir dir;
    static std::map<std::string, std::string> made;
    std::lock_guard<std::mutex> lock(mu);
    if (auto it = made.find(name); it != made.end()) return it->second;
    std::string path = (dir.path / name).string();
    if (!writeClip(desc, path, container, style)) return {};
    made[name] = path;
    return path;
}

}  // namespace zorv::gen
