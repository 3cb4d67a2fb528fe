#include "tools/avi_repair.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/dv_layout.h"
#include "core/option_choices.h"
#include "media/formats/format_table.h"
#include "media/avi_audio_reader.h"
#include "media/avi_chunks.h"
#include "media/avi_writer.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"
#include "media/recognize.h"

namespace zorv::tools {

using core::ErrorCode;
using core::Status;
using media::fourcc;
using media::le32;

namespace {

int64_t padded(int64_t n) { return n + (n & 1); }

// Four printable characters: anything else is not a chunk header (zeros past the written data,
// or damage).
bool plausibleId(const uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    return true;
}

// Chunks of stream 0: "00dc", "00db" (video of Type 2) or "00__" (interleaved DV of Type 1).
bool isVideoChunk(const uint8_t* p) {
    if (p[0] != '0' || p[1] != '0') return false;
    return (p[2] == 'd' && (p[3] == 'c' || p[3] == 'b')) || (p[2] == '_' && p[3] == '_');
}

// One frame held back until the next video chunk shows where its audio ends.
class PendingFrame {
public:
    std::vector<uint8_t> frame;
    std::vector<uint8_t> audio;
    bool held = false;
    bool empty = false;

    Status writeTo(media::AviWriter& out) {
        if (!held) return Status::success();
        held = false;
        Status s = empty ? out.writeEmptyFrame(audio) : out.writeFrame(frame, audio);
        audio.clear();
        return s;
    }
};

}  // namespace

std::string repairOutputName(const std::string& input) {
    std::filesystem::path p(input);
    p.replace_extension();
    return p.string() + "-repaired.avi";
}

Status repairDvAvi(const std::string& input, const std::string& output, RepairResult* result) {
    RepairResult r;
    media::File in;
    if (!in.open(input)) return Status::failure(ErrorCode::kOpenFailed, {}, in.sysError());
    media::Recognition rec = media::recognize(in);
    const media::FormatDescriptor& format = media::formatOf(rec.ok() ? rec.type : media::FileType{});
    if (!format.has(media::format_tool::kRepair)) return Status::failure(ErrorCode::kOpenFailed, kRepairNotDvAvi);
    r.aviType = core::choiceOf<media::AviType>(format.aviType);  // 1 or 2: only DV AVI files are repaired
    const int64_t fileSize = in.size();
    uint8_t h[24];
    if (!in.readExact(0, h, 24) || le32(h + 12) != fourcc("LIST") || le32(h + 20) != fourcc("hdrl"))
        return Status::failure(ErrorCode::kReadFailed, kRepairHeaderDamaged);
    const int64_t hdrlEnd = 20 + padded(le32(h + 16));
    if (hdrlEnd > fileSize) return Status::failure(ErrorCode::kReadFailed, kRepairHeaderDamaged);

    media::AviAudioReader audioHeader;
    if (Status s = audioHeader.open(in); !s) return s;
    const media::AviAudioFormat& af = audioHeader.format();
    const bool audio = r.aviType == media::AviType::kType2 && af.streamNumber >= 0;
    if (audio && !af.isPcm16Stereo()) return Status::failure(ErrorCode::kOpenFailed, kRepairNotDvAvi);
    uint8_t audioId[4] = {uint8_t('0' + af.streamNumber / 10), uint8_t('0' + af.streamNumber % 10), 'w', 'b'};

    // The system comes from the first whole frame; the writer opens there.
    media::AviWriter out;
    media::AviWriterOptions opt;
    opt.type = r.aviType;
    opt.audioSampleRate = audio ? uint32_t(af.sampleRate) : 48000;
    PendingFrame pending;
    std::vector<uint8_t> timecodeList;
    size_t frameSize = 0;

    int64_t pos = hdrlEnd;
    Status st;
    auto startWriter = [&](size_t size) {
        frameSize = size;
        opt.pal = core::dv::isPal(size);
        r.pal = opt.pal;
        return out.open(output, opt);
    };
    while (pos + 8 <= fileSize) {
        uint8_t c[12] = {};
        if (!in.readExact(pos, c, pos + 12 <= fileSize ? 12 : 8)) break;
        const uint32_t id = le32(c);
        const int64_t size = le32(c + 4);
        if (!plausibleId(c)) break;
        // Lists are entered, whatever size they claim: RIFF "AVIX", LIST "movi" and "rec ".
        if (id == fourcc("RIFF") ||
            (id == fourcc("LIST") && (le32(c + 8) == fourcc("movi") || le32(c + 8) == fourcc("rec ")))) {
            pos += 12;
            continue;
        }
        if (pos + 8 + size > fileSize) break;  // cut short
        if (id == fourcc("LIST") && le32(c + 8) == fourcc("Tdat") && 8 + size == int64_t(media::kTimecodeListSize)) {
            timecodeList.resize(media::kTimecodeListSize);
            if (!in.readExact(pos, timecodeList.data(), timecodeList.size())) timecodeList.clear();
        } else if (isVideoChunk(c) &&
                   (size == 0 || size == int64_t(core::dv::kFrameSize525) || size == int64_t(core::dv::kFrameSize625))) {
            if (size != 0 && frameSize == 0 && !(st = startWriter(size_t(size)))) break;
            if (size == 0 || size_t(size) == frameSize) {
                if (!(st = pending.writeTo(out))) break;
                pending.empty = size == 0;
                pending.frame.resize(size_t(size));
                if (size > 0 && !in.readExact(pos + 8, pending.frame.data(), size_t(size))) {
                    st = Status::failure(ErrorCode::kReadFailed, {}, in.sysError());
                    break;
                }
                // Empty entries before the first frame have no system yet: they are left out.
                pending.held = frameSize != 0;
                if (pending.held) {
                    ++r.frames;
                    if (pending.empty) ++r.emptyFrames;
                }
            }
        } else if (audio && std::equal(audioId, audioId + 4, c) && size > 0) {
            const size_t at = pending.audio.size();
            pending.audio.resize(at + size_t(size));
            if (!in.readExact(pos + 8, pending.audio.data() + at, size_t(size))) {
                st = Status::failure(ErrorCode::kReadFailed, {}, in.sysError());
                break;
            }
            r.audioBytes += uint64_t(size);
        }
        pos += 8 + padded(size);
    }
    r.recoveredEnd = std::min(pos, fileSize);
    if (st && frameSize == 0) st = Status::failure(ErrorCode::kReadFailed, kRepairNoFrames);
    if (st) st = pending.writeTo(out);
    Status closed = out.close();
    if (st) st = closed;
    if (!st) return st;
    if (!timecodeList.empty()) {
        media::File o;
        if (o.open(output, media::File::Mode::kReadWrite))
            if (auto list = media::findReservedList(o.fd()); list && list->size == media::kTimecodeListSize)
                o.writeAt(int64_t(list->pos), timecodeList.data(), timecodeList.size());
    }
    // Said repaired only when the file reads back as the frames taken.
    media::DvMediaFile check;
    if (!check.open(output) || check.frameCount() != r.frames)
        return Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file");
    if (result) *result = r;
    return Status::success();
}

}  // namespace zorv::tools
