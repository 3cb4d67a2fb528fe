// Rebuilding DV AVI files cut short: at every chunk boundary of a Type 1 and a Type 2 file, and with
// the sizes and indexes a crashed capture leaves, the repaired file holds every whole frame and every
// audio chunk before the cut, byte for byte.
#include "tools/avi_repair.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gen/clip_writer.h"
#include "media/avi_audio_reader.h"
#include "media/avi_chunks.h"
#include "media/dv_media_file.h"
#include "gen/file_bytes.h"

namespace zorv::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct WorkDir {
    fs::path path = fs::temp_directory_path() / ("zorv_repair_" + std::to_string(::getpid()));
    WorkDir() { fs::create_directories(path); }
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

Bytes readAll(const fs::path& p) { return zorv::gen::fileBytes<Bytes>(p); }

void writeAll(const fs::path& p, const Bytes& b, size_t n) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(n));
}

uint32_t le32(const Bytes& d, size_t at) {
    return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24;
}

struct Chunk {
    size_t pos;
    std::string id;
    size_t end;  // past its body
};

// Every chunk of the file in order, lists entered.
std::vector<Chunk> allChunks(const Bytes& d) {
    std::vector<Chunk> out;
    for (size_t p = 0; p + 8 <= d.size();) {
        std::string id(d.begin() + long(p), d.begin() + long(p) + 4);
        size_t size = le32(d, p + 4);
        out.push_back({p, id, p + 8 + size + (size & 1)});
        p = (id == "RIFF" || id == "LIST") ? p + 12 : out.back().end;
    }
    return out;
}

// What a repair of the file cut at `cut` must give: the whole frame chunks and audio chunks before it.
struct Expected {
    Bytes frames, audio;
    int64_t count = 0;
};
Expected expectedBefore(const Bytes& d, const std::vector<Chunk>& chunks, size_t cut) {
    Expected e;
    for (const Chunk& c : chunks) {
        if (c.id == "RIFF" || c.id == "LIST") continue;  // entered
        if (c.end > cut) break;
        size_t size = le32(d, c.pos + 4);
        if ((c.id == "00dc" || c.id == "00__") && size > 0) {
            e.frames.insert(e.frames.end(), d.begin() + long(c.pos + 8), d.begin() + long(c.pos + 8 + size));
            ++e.count;
        } else if (c.id == "01wb") {
            e.audio.insert(e.audio.end(), d.begin() + long(c.pos + 8), d.begin() + long(c.pos + 8 + size));
        }
    }
    return e;
}

void checkRepaired(const fs::path& out, const Expected& e) {
    media::DvMediaFile m;
    ASSERT_TRUE(m.open(out.string()));
    ASSERT_EQ(m.frameCount(), e.count);
    Bytes frames(e.frames.size());
    for (int64_t n = 0; n < e.count; ++n) ASSERT_TRUE(m.readFrame(n, frames.data() + n * m.frameSize()));
    EXPECT_TRUE(frames == e.frames);
    media::AviAudioReader audio;
    ASSERT_TRUE(audio.open(m.file()));
    Bytes pcm;
    while (audio.read(pcm, 1 << 20) > 0) {
    }
    EXPECT_TRUE(pcm == e.audio) << pcm.size() << " " << e.audio.size();
}

TEST(AviRepair, FileCutAtEveryChunkBoundaryKeepsEveryWholeChunk) {
    WorkDir dir;
    for (gen::Container k : {gen::Container::Avi2, gen::Container::Avi1}) {
        SCOPED_TRACE(static_cast<int>(k));
        gen::ClipSpec desc = k == gen::Container::Avi2 ? gen::palClip(4) : gen::ntscClip(3);
        desc.audio.tone = true;
        fs::path src = dir.path / "src.avi";
        ASSERT_TRUE(gen::writeClip(desc, src.string(), k));
        {
            media::DvMediaFile m;
            ASSERT_TRUE(m.open(src.string()));
            int fd = ::open(src.c_str(), O_RDWR);
            EXPECT_TRUE(media::writeTimecodeList(fd, media::timecodeText(1, 2, 3, 4, false), "Reel"));
            ::close(fd);
        }
        const Bytes d = readAll(src);
        const auto chunks = allChunks(d);
        size_t moviBody = 0;
        for (const Chunk& c : chunks)
            if (c.id == "LIST" && std::memcmp(d.data() + c.pos + 8, "movi", 4) == 0) moviBody = c.pos + 12;
        ASSERT_NE(moviBody, 0u);
        int cuts = 0;
        for (const Chunk& c : chunks) {
            if (c.pos < moviBody) continue;
            for (size_t cut : {c.pos, c.pos + 8 + (c.end - c.pos - 8) / 2}) {
                SCOPED_TRACE(cut);
                fs::path in = dir.path / "cut.avi", out = dir.path / "fixed.avi";
                writeAll(in, d, cut);
                fs::remove(out);
                const Expected e = expectedBefore(d, chunks, cut);
                RepairResult r;
                core::Status s = repairDvAvi(in.string(), out.string(), &r);
                if (e.count == 0) {
                    EXPECT_EQ(s.message, kRepairNoFrames);
                    continue;
                }
                ASSERT_TRUE(s) << s.message;
                EXPECT_EQ(r.frames, e.count);
                checkRepaired(out, e);
                ++cuts;
            }
        }
        EXPECT_GT(cuts, 4);
        // The whole file keeps its Premiere timecode list.
        fs::path out = dir.path / "whole.avi";
        ASSERT_TRUE(repairDvAvi(src.string(), out.string()));
        media::DvMediaFile m;
        ASSERT_TRUE(m.open(out.string()));
        media::AviChunks a(m.file().fd(), m.fileType());
        EXPECT_EQ(a.reelName().value_or(""), "Reel");
        EXPECT_EQ(a.premiereTimecode().value_or(""), "01:02:03:04");
        checkRepaired(out, expectedBefore(d, chunks, d.size()));
    }
}

TEST(AviRepair, CrashedCaptureWithoutSizesOrIndexIsRebuilt) {
    WorkDir dir;
    gen::ClipSpec desc = gen::palClip(5);
    desc.audio.tone = true;
    fs::path src = dir.path / "src.avi";
    ASSERT_TRUE(gen::writeClip(desc, src.string(), gen::Container::Avi2));
    Bytes d = readAll(src);
    const auto chunks = allChunks(d);
    // RIFF and 'movi' sizes 0, no idx1, no standard index, zeros after the last frame.
    size_t end = 0;
    for (const Chunk& c : chunks) {
        if (c.id == "LIST" && std::memcmp(d.data() + c.pos + 8, "movi", 4) == 0) std::memset(d.data() + c.pos + 4, 0, 4);
        if (c.id == "01wb") end = c.end;
    }
    std::memset(d.data() + 4, 0, 4);
    std::fill(d.begin() + long(end), d.end(), 0);
    fs::path in = dir.path / "crashed.avi", out = dir.path / "fixed.avi";
    writeAll(in, d, d.size());
    media::DvMediaFile broken;
    EXPECT_FALSE(broken.open(in.string()) && broken.frameCount() == 5);
    RepairResult r;
    ASSERT_TRUE(repairDvAvi(in.string(), out.string(), &r));
    EXPECT_EQ(r.frames, 5);
    EXPECT_EQ(r.recoveredEnd, int64_t(end));
    checkRepaired(out, expectedBefore(readAll(src), allChunks(readAll(src)), end));
    if (std::system("command -v ffprobe >/dev/null 2>&1") == 0) {
        std::string cmd =
            "test \"$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames "
            "-of default=nw=1:nk=1 '" +
            out.string() + "')\" = 5";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    // Not a DV AVI: refused, nothing written.
    writeAll(in, Bytes(200000, 0x11), 200000);
    fs::remove(out);
    EXPECT_EQ(repairDvAvi(in.string(), out.string()).message, kRepairNotDvAvi);
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace zorv::tools
