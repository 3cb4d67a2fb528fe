#include "gen/broken_corpus.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "gen/avchd_writer.h"
#include "gen/clip_writer.h"
#include "gen/hdv_writer.h"
#include "gen/file_bytes.h"

namespace zorv::gen {

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(b[at + 3]) << 24;
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
void put64(Bytes& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

bool readAll(const std::string& path, Bytes& out) {
    if (!std::filesystem::is_regular_file(path)) return false;
    out = fileBytes<Bytes>(path);
    return true;
}

core::Status writeAll(const std::string& path, const Bytes& data, size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(std::min(size, data.size())));
    if (!f) return core::Status::failure(core::ErrorCode::kWriteFailed, "cannot write " + path, errno);
    return core::Status::success();
}

// Every chunk of a RIFF file (lists are entered): its FourCC (the list type for LIST and RIFF) and
// the offset of its 8-byte header.
struct Chunk {
    std::string id;
    size_t at = 0;
    uint32_t size = 0;
};

void walkChunks(const Bytes& b, size_t from, size_t end, std::vector<Chunk>& out) {
    while (from + 8 <= end) {
        std::string id(reinterpret_cast<const char*>(&b[from]), 4);
        const uint32_t size = get32(b, from + 4);
        if ((id == "RIFF" || id == "LIST") && from + 12 <= end) {
            out.push_back({std::string(reinterpret_cast<const char*>(&b[from + 8]), 4), from, size});
            walkChunks(b, from + 12, std::min<size_t>(end, from + 8 + size), out);
        } else {
            out.push_back({id, from, size});
        }
        from += 8 + size + (size & 1);
    }
}

const Chunk* findChunk(const std::vector<Chunk>& chunks, const std::string& id, int nth = 0) {
    for (const auto& c : chunks)
        if (c.id == id && nth-- == 0) return &c;
    return nullptr;
}

// Offset of the nth video frame chunk (stream 0: "00dc", "00db", "00__", ...) in the file.
size_t firstFrame(const std::vector<Chunk>& chunks, int nth = 0) {
    for (const auto& c : chunks)
        if (c.id.compare(0, 2, "00") == 0 && nth-- == 0) return c.at;
    return 0;
}

struct Recipe {
    BrokenFile file;
    std::function<bool(Bytes&, size_t& size)> damage;  // false: the base file lacks the structure
    int base;                                          // index into the bases below
};

enum Base { kAviOdml, kAviIdx1, kAvi2Odml, kRawDv, kHdv, kAvchd, kAvi2Idx1File, kBaseCount };

// Packets of a transport stream from its first sync byte.
struct TsLayout {
    size_t start = 0;
    size_t packet = 188;
};
TsLayout tsLayout(const Bytes&, size_t packet) {
    TsLayout t;
    t.packet = packet;
    t.start = packet == 192 ? 4 : 0;
    return t;
}

// The first packet payload at or after `from` beginning with 00 00 01 <streamId>; returns the
// offset of the start code, or 0.
size_t findPesStart(const Bytes& b, const TsLayout& ts, size_t from, uint8_t streamId) {
    for (size_t p = ts.start + (from > ts.start ? (from - ts.start) / ts.packet * ts.packet : 0); p + 188 <= b.size();
         p += ts.packet) {
        if (b[p] != 0x47 || !(b[p + 1] & 0x40)) continue;
        size_t payload = p + 4;
        if (b[p + 3] & 0x20) payload += 1 + b[p + 4];
        if (payload + 6 > p + 188) continue;
        if (b[payload] == 0 && b[payload + 1] == 0 && b[payload + 2] == 1 && b[payload + 3] == streamId) return payload;
    }
    return 0;
}

// Offsets of every "MDPM" whose UUID, SEI header and count byte lie inside one packet.
std::vector<size_t> findMdpm(const Bytes& b, const TsLayout& ts) {
    static const uint8_t kUuidTail[4] = {0xF8, 0x4D, 0x11, 0xD9};
    std::vector<size_t> out;
    for (size_t i = 20; i + 5 <= b.size(); ++i) {
        if (std::memcmp(&b[i], "MDPM", 4) != 0) continue;
        const size_t head = i - 18;  // payload type byte
        const size_t pk = (head - ts.start) / ts.packet;
        if ((i + 4 - ts.start) / ts.packet != pk || head - ts.start - pk * ts.packet < 8) continue;
        if (b[head] != 5 || std::memcmp(&b[i - 12], kUuidTail, 4) != 0) continue;
        out.push_back(i);
    }
    return out;
}

std::vector<Recipe> recipes() {
    std::vector<Recipe> r;
    auto add = [&](Base base, const char* name, const char* family, const char* damage,
                   std::function<bool(Bytes&, size_t&)> fn) {
        r.push_back({{name, family, damage}, std::move(fn), base});
    };
    auto chunks = [](const Bytes& b) {
        std::vector<Chunk> c;
        walkChunks(b, 0, b.size(), c);
        return c;
    };
    auto cutAt = [](size_t offset) {
        return [offset](Bytes&, size_t& size) {
            size = std::min(size, offset);
            return true;
        };
    };
    // Cuts at a structure of the file, found by `where` (0: not found).
    auto cutAtChunk = [chunks](std::function<size_t(const std::vector<Chunk>&)> where) {
        return [chunks, where](Bytes& b, size_t& size) {
            const size_t at = where(chunks(b));
            if (!at) return false;
            size = at;
            return true;
        };
    };

    // AVI: truncations at each structural boundary.
    add(kAviOdml, "avi_cut_riff_header.avi", "avi", "cut inside the 12-byte RIFF header (6 bytes left)", cutAt(6));
    add(kAviOdml, "avi_cut_after_riff_header.avi", "avi", "cut right after the RIFF header", cutAt(12));
    add(kAviOdml, "avi_cut_mid_hdrl.avi", "avi", "cut 100 bytes into the hdrl list",
        cutAtChunk([](const std::vector<Chunk>& c) {
            const Chunk* h = findChunk(c, "hdrl");
            return h ? h->at + 100 : 0;
        }));
    add(kAviOdml, "avi_cut_movi_header.avi", "avi", "cut right after the movi list header",
        cutAtChunk([](const std::vector<Chunk>& c) {
            const Chunk* m = findChunk(c, "movi");
            return m ? m->at + 12 : 0;
        }));
    add(kAviOdml, "avi_cut_mid_frame.avi", "avi", "cut 70000 bytes into the second frame",
        cutAtChunk([](const std::vector<Chunk>& c) {
            const size_t f = firstFrame(c, 1);
            return f ? f + 8 + 70000 : 0;
        }));
    add(kAviIdx1, "avi_cut_mid_idx1.avi", "avi", "cut 20 bytes into the idx1 entries",
        cutAtChunk([](const std::vector<Chunk>& c) {
            const Chunk* i = findChunk(c, "idx1");
            return i ? i->at + 8 + 20 : 0;
        }));
    add(kAviIdx1, "avi_cut_before_idx1.avi", "avi", "cut right before idx1 (header says the index is there)",
        cutAtChunk([](const std::vector<Chunk>& c) {
            const Chunk* i = findChunk(c, "idx1");
            return i ? i->at : 0;
        }));
    add(kAvi2Odml, "avi2_cut_mid_frame.avi", "avi", "Type 2: cut 1000 bytes into the third frame",
        cutAtChunk([](const std::vector<Chunk>& c) {
            const size_t f = firstFrame(c, 2);
            return f ? f + 8 + 1000 : 0;
        }));

    // AVI: sizes larger than the file.
    auto riffHuge = [](Bytes& b, size_t&) {
        put32(b, 4, 0xFFFFFFF0u);
        return true;
    };
    add(kAviOdml, "avi_riff_size_past_end.avi", "avi", "RIFF size 0xFFFFFFF0 in a 290 KB file", riffHuge);
    add(kAviIdx1, "avi_idx1_riff_size_past_end.avi", "avi", "idx1 file: RIFF size 0xFFFFFFF0", riffHuge);
    add(kAviOdml, "avi_movi_size_past_end.avi", "avi", "movi list size 0x7FFFFFF0", [chunks](Bytes& b, size_t&) {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* m = findChunk(all, "movi");
        if (!m) return false;
        put32(b, m->at + 4, 0x7FFFFFF0u);
        return true;
    });
    add(kAviOdml, "avi_hdrl_size_past_end.avi", "avi", "hdrl list size 0x7FFFFFF0", [chunks](Bytes& b, size_t&) {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* h = findChunk(all, "hdrl");
        if (!h) return false;
        put32(b, h->at + 4, 0x7FFFFFF0u);
        return true;
    });
    add(kAviOdml, "avi_strf_size_past_end.avi", "avi", "video strf chunk size 0xFFFFFFF0", [chunks](Bytes& b, size_t&) {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* s = findChunk(all, "strf");
        if (!s) return false;
        put32(b, s->at + 4, 0xFFFFFFF0u);
        return true;
    });

    // AVI: legacy index entries.
    add(kAviIdx1, "avi_idx1_past_end.avi", "avi", "idx1: second frame's offset 0x7FFFFF00 (past the end)",
        [chunks](Bytes& b, size_t&) {
            const std::vector<Chunk> all = chunks(b);
            const Chunk* i = findChunk(all, "idx1");
            if (!i || i->size < 32) return false;
            put32(b, i->at + 8 + 16 + 8, 0x7FFFFF00u);
            return true;
        });
    add(kAviIdx1, "avi_idx1_overlap.avi", "avi", "idx1: second frame starts 16 bytes after the first (overlap)",
        [chunks](Bytes& b, size_t&) {
            const std::vector<Chunk> all = chunks(b);
            const Chunk* i = findChunk(all, "idx1");
            if (!i || i->size < 32) return false;
            put32(b, i->at + 8 + 16 + 8, get32(b, i->at + 8 + 8) + 16);
            return true;
        });
    add(kAviIdx1, "avi_idx1_size_huge.avi", "avi", "idx1: first frame's size 0xFFFFFFF0", [chunks](Bytes& b, size_t&) {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* i = findChunk(all, "idx1");
        if (!i || i->size < 16) return false;
        put32(b, i->at + 8 + 12, 0xFFFFFFF0u);
        return true;
    });
    add(kAviIdx1, "avi_idx1_count_past_end.avi", "avi", "idx1 chunk size 0x7FFFFFF0 (entries past the end)",
        [chunks](Bytes& b, size_t&) {
            const std::vector<Chunk> all = chunks(b);
            const Chunk* i = findChunk(all, "idx1");
            if (!i) return false;
            put32(b, i->at + 4, 0x7FFFFFF0u);
            return true;
        });

    // The first video chunk's size field: one damaged byte, or a size no DV system has.
    auto firstChunkSize = [chunks](uint32_t size) {
        return [chunks, size](Bytes& b, size_t&) {
            const size_t f = firstFrame(chunks(b));
            if (!f) return false;
            put32(b, f + 4, size);
            return true;
        };
    };
    add(kAvi2Odml, "avi2_first_chunk_size_byte.avi", "avi", "Type 2: first video chunk size 143998 (one byte damaged)",
        firstChunkSize(143998));
    add(kAviIdx1, "avi_first_chunk_size_1.avi", "avi", "first video chunk size 1", firstChunkSize(1));

    // Legacy index entries of a Type 2 file with offsets from the file start; `nth` counts video entries.
    auto videoEntry = [chunks](Bytes& b, int nth) -> size_t {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* i = findChunk(all, "idx1");
        if (!i) return 0;
        for (size_t e = i->at + 8; e + 16 <= i->at + 8 + i->size && e + 16 <= b.size(); e += 16)
            if (b[e] == '0' && b[e + 1] == '0' && nth-- == 0) return e;
        return 0;
    };
    add(kAvi2Idx1File, "avi2_idx1_moved_16.avi", "avi", "Type 2 idx1: second frame's entry moved 16 bytes on",
        [videoEntry](Bytes& b, size_t&) {
            const size_t e = videoEntry(b, 1);
            if (!e) return false;
            put32(b, e + 8, get32(b, e + 8) + 16);
            return true;
        });
    add(kAvi2Idx1File, "avi2_idx1_at_byte_12.avi", "avi",
        "Type 2 idx1: second frame's entry points at byte 12 (the headers)", [videoEntry](Bytes& b, size_t&) {
            const size_t e = videoEntry(b, 1);
            if (!e) return false;
            put32(b, e + 8, 12);
            return true;
        });

    // OpenDML: super index and standard index chunks.
    auto superIndex = [chunks](Bytes& b) -> std::optional<Chunk> {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* c = findChunk(all, "indx");
        return c ? std::optional<Chunk>(*c) : std::nullopt;
    };
    add(kAviOdml, "odml_super_index_loop.avi", "avi", "super index entry points at the super index itself",
        [superIndex](Bytes& b, size_t&) {
            const auto s = superIndex(b);
            if (!s) return false;
            put64(b, s->at + 8 + 24, s->at);
            put32(b, s->at + 8 + 24 + 8, s->size + 8);
            return true;
        });
    add(kAviOdml, "odml_super_index_past_end.avi", "avi", "super index entry offset 0x7FFFFFFF00 (past the end)",
        [superIndex](Bytes& b, size_t&) {
            const auto s = superIndex(b);
            if (!s) return false;
            put64(b, s->at + 8 + 24, 0x7FFFFFFF00ull);
            return true;
        });
    add(kAviOdml, "odml_super_index_count_huge.avi", "avi", "super index nEntriesInUse 0xFFFFFFFF",
        [superIndex](Bytes& b, size_t&) {
            const auto s = superIndex(b);
            if (!s) return false;
            put32(b, s->at + 8 + 4, 0xFFFFFFFFu);
            return true;
        });
    add(kAviOdml, "odml_std_index_base_past_end.avi", "avi", "ix00 base offset 0x7FFFFFFF00 (frames past the end)",
        [chunks](Bytes& b, size_t&) {
            const std::vector<Chunk> all = chunks(b);
            const Chunk* x = findChunk(all, "ix00");
            if (!x) return false;
            put64(b, x->at + 8 + 12, 0x7FFFFFFF00ull);
            return true;
        });
    add(kAviOdml, "odml_std_index_count_huge.avi", "avi", "ix00 nEntriesInUse 0x7FFFFFFF", [chunks](Bytes& b, size_t&) {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* x = findChunk(all, "ix00");
        if (!x) return false;
        put32(b, x->at + 8 + 4, 0x7FFFFFFFu);
        return true;
    });
    add(kAviOdml, "odml_std_index_size_huge.avi", "avi", "ix00 first entry size 0x7FFFFFF0", [chunks](Bytes& b, size_t&) {
        const std::vector<Chunk> all = chunks(b);
        const Chunk* x = findChunk(all, "ix00");
        if (!x) return false;
        put32(b, x->at + 8 + 24 + 4, 0x7FFFFFF0u);
        return true;
    });
    add(kAvi2Odml, "avi2_audio_index_past_end.avi", "avi", "Type 2: audio ix01 base offset past the end",
        [chunks](Bytes& b, size_t&) {
            const std::vector<Chunk> all = chunks(b);
            const Chunk* x = findChunk(all, "ix01");
            if (!x) return false;
            put64(b, x->at + 8 + 12, 0x7FFFFFFF00ull);
            return true;
        });

    // Raw DV.
    add(kRawDv, "rawdv_partial_last_frame.dv", "rawdv", "two frames and 50000 bytes of a third", cutAt(2 * 144000 + 50000));
    add(kRawDv, "rawdv_one_frame_and_a_byte.dv", "rawdv", "one frame and one byte", cutAt(144001));
    add(kRawDv, "rawdv_under_one_frame.dv", "rawdv", "100000 bytes of the first frame", cutAt(100000));

    // HDV transport streams (recognition reads the first 3 MiB, so damage lies beyond it too).
    const size_t kLate = 3300000;
    add(kHdv, "hdv_cut_mid_packet.m2t", "hdv", "cut 100 bytes into a packet at 3.3 MB", [kLate](Bytes&, size_t& size) {
        size = kLate / 188 * 188 + 100;
        return true;
    });
    add(kHdv, "hdv_lost_sync.m2t", "hdv", "61 junk bytes inserted at 3.3 MB (packets after it off their sync)",
        [kLate](Bytes& b, size_t& size) {
            const size_t at = kLate / 188 * 188;
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), 61, 0x5A);
            size = b.size();
            return true;
        });
    add(kHdv, "hdv_stray_byte.m2t", "hdv", "one stray byte inserted at 3.3 MB", [kLate](Bytes& b, size_t& size) {
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(kLate / 188 * 188 + 1000), 1, 0x00);
        size = b.size();
        return true;
    });
    add(kHdv, "hdv_lost_sync_early.m2t", "hdv", "sync bytes of packets 10-2000 overwritten", [](Bytes& b, size_t&) {
        for (size_t p = 10; p < 2000 && p * 188 < b.size(); ++p) b[p * 188] = 0x00;
        return true;
    });
    add(kHdv, "hdv_short_packets.m2t", "hdv", "from 1 MB, every 7th packet 4 bytes short", [](Bytes& b, size_t& size) {
        Bytes out(b.begin(), b.begin() + 1000000 / 188 * 188);
        for (size_t p = out.size(), k = 0; p + 188 <= b.size(); p += 188, ++k)
            out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(p),
                       b.begin() + static_cast<std::ptrdiff_t>(p + (k % 7 == 6 ? 184 : 188)));
        b.swap(out);
        size = b.size();
        return true;
    });
    add(kHdv, "hdv_aux_pes_length_past_packet.m2t", "hdv", "every aux PES length 0xFFFF", [](Bytes& b, size_t&) {
        const TsLayout ts = tsLayout(b, 188);
        bool any = false;
        for (size_t at = findPesStart(b, ts, 0, 0xBF); at; at = findPesStart(b, ts, at + 188, 0xBF)) {
            b[at + 4] = 0xFF;
            b[at + 5] = 0xFF;
            any = true;
        }
        return any;
    });
    add(kHdv, "hdv_aux_item_length_past_pes.m2t", "hdv", "every aux item 0x44 length 0xFE (past the PES)",
        [](Bytes& b, size_t&) {
            const TsLayout ts = tsLayout(b, 188);
            bool any = false;
            for (size_t at = findPesStart(b, ts, 0, 0xBF); at; at = findPesStart(b, ts, at + 188, 0xBF)) {
                const size_t item = at + 6 + 15;
                if (item + 2 > b.size() || b[item] != 0x44) continue;
                b[item + 1] = 0xFE;
                any = true;
            }
            return any;
        });
    add(kHdv, "hdv_audio_pes_length_past_packet.m2t", "hdv", "every audio PES length 0xFFF0", [](Bytes& b, size_t&) {
        const TsLayout ts = tsLayout(b, 188);
        bool any = false;
        for (size_t at = findPesStart(b, ts, 0, 0xC0); at; at = findPesStart(b, ts, at + 188, 0xC0)) {
            b[at + 4] = 0xFF;
            b[at + 5] = 0xF0;
            any = true;
        }
        return any;
    });

    // AVCHD transport streams (192-byte packets).
    add(kAvchd, "avchd_cut_mid_packet.m2ts", "avchd", "cut 100 bytes into a packet at 400 kB", [](Bytes&, size_t& size) {
        size = 400000 / 192 * 192 + 100;
        return true;
    });
    add(kAvchd, "avchd_lost_sync.m2ts", "avchd", "37 junk bytes inserted at 400 kB", [](Bytes& b, size_t& size) {
        b.insert(b.begin() + 400000 / 192 * 192, 37, 0x00);
        size = b.size();
        return true;
    });
    add(kAvchd, "avchd_stray_byte.m2ts", "avchd", "one stray byte inserted at 400 kB", [](Bytes& b, size_t& size) {
        b.insert(b.begin() + 400000 / 192 * 192 + 1000, 1, 0x00);
        size = b.size();
        return true;
    });
    add(kAvchd, "avchd_188_packets_in_192.m2ts", "avchd", "from 400 kB, packets lose their 4-byte arrival prefix",
        [](Bytes& b, size_t& size) {
            const size_t from = 400000 / 192 * 192;
            Bytes out(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(from));
            for (size_t p = from; p + 192 <= b.size(); p += 192)
                out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(p + 4),
                           b.begin() + static_cast<std::ptrdiff_t>(p + 192));
            b.swap(out);
            size = b.size();
            return true;
        });
    add(kAvchd, "avchd_sei_size_past_nal.m2ts", "avchd", "every MDPM SEI payload size 0xFE (past the NAL unit)",
        [](Bytes& b, size_t&) {
            const auto at = findMdpm(b, tsLayout(b, 192));
            for (size_t i : at) b[i - 17] = 0xFE;
            return !at.empty();
        });
    add(kAvchd, "avchd_mdpm_count_past_payload.m2ts", "avchd", "every MDPM tag count 0xFF (past the payload)",
        [](Bytes& b, size_t&) {
            const auto at = findMdpm(b, tsLayout(b, 192));
            for (size_t i : at) b[i + 4] = 0xFF;
            return !at.empty();
        });
    add(kAvchd, "avchd_no_decodable_picture.m2ts", "avchd",
        "every slice NAL unit's type set to 0 (parameter sets and metadata kept, no picture to decode)",
        [](Bytes& b, size_t&) {
            const TsLayout ts = tsLayout(b, 192);
            bool any = false;
            for (size_t p = ts.start; p + 188 <= b.size(); p += ts.packet) {
                if (b[p] != 0x47 || (((b[p + 1] & 0x1F) << 8) | b[p + 2]) != 0x1011) continue;
                size_t payload = p + 4;
                if (b[p + 3] & 0x20) payload += 1 + b[p + 4];
                for (size_t i = payload; i + 3 < p + 188; ++i) {
                    const uint8_t type = b[i + 3] & 0x1F;
                    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && (type == 1 || type == 5)) {
                        b[i + 3] &= 0xE0;
                        any = true;
                    }
                }
            }
            return any;
        });
    add(kAvchd, "avchd_audio_pes_length_past_packet.m2ts", "avchd", "every AC-3 PES length 0xFFF0", [](Bytes& b, size_t&) {
        const TsLayout ts = tsLayout(b, 192);
        bool any = false;
        for (size_t at = findPesStart(b, ts, 0, 0xBD); at; at = findPesStart(b, ts, at + 192, 0xBD)) {
            b[at + 4] = 0xFF;
            b[at + 5] = 0xF0;
            any = true;
        }
        return any;
    });
    return r;
}

core::Status writeBase(Base base, const std::string& path) {
    switch (base) {
    case kAviOdml: return writeClip(palClip(2), path, Container::Avi1, IndexStyle::OpenDml);
    case kAviIdx1: return writeClip(palClip(2), path, Container::Avi1, IndexStyle::Idx1FromMovi);
    case kAvi2Odml: {
        ClipSpec c = palClip(3);
        c.audio.tone = true;
        return writeClip(c, path, Container::Avi2, IndexStyle::OpenDml);
    }
    case kRawDv: return writeClip(palClip(3), path, Container::RawDv);
    case kAvi2Idx1File: {
        ClipSpec c = palClip(3);
        c.audio.tone = true;
        return writeClip(c, path, Container::Avi2, IndexStyle::Idx1FromFile);
    }
    case kHdv: {
        HdvSpec h;
        h.frames = 40;
        h.uniquePictures = 12;
        return writeHdv(h, path);
    }
    case kAvchd: {
        AvchdSpec a;
        a.frames = 40;
        return writeAvchd(a, path);
    }
    default: break;
    }
    return core::Status::failure(core::ErrorCode::kWriteFailed, "no such base");
}

// The good file of a base in the corpus folder (hidden, with the family's extension).
std::string baseName(Base b) {
    static const char* const kExt[] = {".avi", ".avi", ".avi", ".dv", ".m2t", ".m2ts", ".avi"};
    static_assert(sizeof kExt / sizeof kExt[0] == kBaseCount);
    return ".base" + std::to_string(static_cast<int>(b)) + kExt[b];
}

const char* familyOf(Base b) {
    switch (b) {
    case kRawDv: return "rawdv";
    case kHdv: return "hdv";
    case kAvchd: return "avchd";
    default: return "avi";
    }
}

}  // namespace

const std::vector<BrokenFile>& brokenCorpus() {
    static const std::vector<BrokenFile> list = [] {
        std::vector<BrokenFile> v;
        for (const auto& r : recipes()) {
            v.push_back(r.file);
            v.back().base = baseName(static_cast<Base>(r.base));
        }
        return v;
    }();
    return list;
}

core::Status writeBrokenCorpus(const std::string& dir, const std::vector<std::string>& only) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return core::Status::failure(core::ErrorCode::kWriteFailed, "cannot create " + dir, ec.value());
    const auto all = recipes();
    for (int base = 0; base < kBaseCount; ++base) {
        const std::string family = familyOf(static_cast<Base>(base));
        if (!only.empty() && std::find(only.begin(), only.end(), family) == only.end()) continue;
        const std::string basePath = (std::filesystem::path(dir) / baseName(static_cast<Base>(base))).string();
        if (core::Status s = writeBase(static_cast<Base>(base), basePath); !s) return s;
        Bytes good;
        const bool read = readAll(basePath, good);
        if (!read) return core::Status::failure(core::ErrorCode::kReadFailed, "cannot read " + basePath, errno);
        for (const auto& r : all) {
            if (r.base != base) continue;
            Bytes b = good;
            size_t size = b.size();
            if (!r.damage(b, size))
                return core::Status::failure(core::ErrorCode::kWriteFailed,
                                             r.file.name + ": the good file lacks the structure to damage");
            if (core::Status s = writeAll((std::filesystem::path(dir) / r.file.name).string(), b, size); !s) return s;
        }
    }
    return core::Status::success();
}

}  // namespace zorv::gen
