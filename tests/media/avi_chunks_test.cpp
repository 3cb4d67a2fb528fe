// Chunk services over hand-built AVI byte layouts.
#include "media/avi_chunks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace zorv::media {
namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }
Bytes chunk(const char* id, const Bytes& body) {
    Bytes b;
    putId(b, id);
    put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}
Bytes list(const char* type, const Bytes& content) {
    Bytes body;
    putId(body, type);
    body.insert(body.end(), content.begin(), content.end());
    return chunk("LIST", body);
}
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}
Bytes riff(const char* type, const Bytes& content) {
    Bytes body;
    putId(body, type);
    body.insert(body.end(), content.begin(), content.end());
    return chunk("RIFF", body);
}
// A reserved list of the given total size, laid out as our writer does.
Bytes reserved(uint32_t total) {
    Bytes item(total - 20, '*');
    Bytes content;
    putId(content, "ZoRv");
    put32(content, uint32_t(item.size()));
    content.insert(content.end(), item.begin(), item.end());
    return list("INFO", content);
}
// An AVI: header list, then the given chunks, a movi list and an idx1.
Bytes avi(const Bytes& afterHeader) {
    Bytes hdrl = list("hdrl", chunk("avih", Bytes(56, 0)));
    Bytes movi = list("movi", chunk("00dc", Bytes(100, 0x11)));
    return riff("AVI ", cat({hdrl, afterHeader, movi, chunk("idx1", Bytes(16, 0))}));
}

class TempFile {
public:
    explicit TempFile(const Bytes& content) {
        path_ = (std::filesystem::temp_directory_path() / ("zorv_chunks_XXXXXX")).string();
        fd_ = ::mkstemp(path_.data());
        EXPECT_GE(fd_, 0);
        EXPECT_EQ(::write(fd_, content.data(), content.size()), ssize_t(content.size()));
    }
    ~TempFile() {
        ::close(fd_);
        std::filesystem::remove(path_);
    }
    int fd() const { return fd_; }
    Bytes contents() const {
        Bytes b(size_t(::lseek(fd_, 0, SEEK_END)));
        EXPECT_EQ(::pread(fd_, b.data(), b.size(), 0), ssize_t(b.size()));
        return b;
    }

private:
    std::string path_;
    int fd_ = -1;
};

Bytes tdat(const std::string& tcA, const std::string& tcO, const std::string& rnA, const std::string& rnO) {
    auto field = [](const std::string& s, size_t n) {
        Bytes b(n, 0);
        std::memcpy(b.data(), s.data(), std::min(s.size(), n));
        return b;
    };
    return list("Tdat", cat({chunk("tc_O", field(tcO, 18)), chunk("tc_A", field(tcA, 18)), chunk("rn_O", field(rnO, 40)),
                             chunk("rn_A", field(rnA, 40))}));
}

TEST(AviChunks, TimecodeListReplacesA160ByteReservedListAndReadsBack) {
    TempFile f(avi(reserved(160)));
    AviChunks chunks(f.fd(), FileType::kAviType1);
    auto r = chunks.findReservedList();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size, 160u);
    ASSERT_TRUE(writeTimecodeList(f.fd(), timecodeText(1, 2, 3, 4, true), "TAPE 7"));

    Bytes b = f.contents();
    Bytes expected = buildTimecodeList("01;02;03;04", "TAPE 7");
    ASSERT_EQ(expected.size(), 160u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), b.begin() + long(r->pos)));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[r->pos + 20])), "01;02;03;04");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[r->pos + 46])), "01;02;03;04");

    AviChunks again(f.fd(), FileType::kAviType1);
    EXPECT_EQ(again.premiereTimecode(), "01;02;03;04");
    EXPECT_EQ(again.reelName(), "TAPE 7");
    EXPECT_FALSE(again.findReservedList());  // it is a Tdat list now
}

TEST(AviChunks, ReservedListOfAnotherSizeIsLeftAlone) {
    Bytes original = avi(reserved(180));
    TempFile f(original);
    AviChunks chunks(f.fd(), FileType::kAviType2);
    auto r = chunks.findReservedList();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size, 180u);
    EXPECT_FALSE(writeTimecodeList(f.fd(), timecodeText(0, 0, 0, 0, false), ""));
    EXPECT_EQ(f.contents(), original);
}

TEST(AviChunks, TdatEntriesChooseTheirTexts) {
    {
        TempFile f(avi(tdat("", "10:00:00:00", "", "REEL O")));
        AviChunks c(f.fd(), FileType::kAviType1);
        EXPECT_EQ(c.reelName(), "REEL O");
        EXPECT_EQ(c.premiereTimecode(), "10:00:00:00");
    }
    {
        TempFile f(avi(tdat("11:00:00:00", "10:00:00:00", "REEL A", "REEL O")));
        AviChunks c(f.fd(), FileType::kAviType1);
        EXPECT_EQ(c.reelName(), "REEL A");
        EXPECT_EQ(c.premiereTimecode(), "11:00:00:00");
    }
    {
        // A reel name keeps at most (entry size - 3) characters.
        Bytes body = cat({chunk("rn_A", Bytes{'A', 'B', 'C', 'D', 'E', 'F'})});
        EXPECT_EQ(reelNameFromTdat(Bytes(body.begin(), body.end())), "ABC");
    }
}

TEST(AviChunks, AppendedTimecodeListIsFoundInAnExtensionRiff) {
    Bytes file = cat({avi({}), buildAppendedTimecodeList("00:00:10:00")});
    ASSERT_EQ(buildAppendedTimecodeList("x").size(), 172u);
    TempFile f(file);
    AviChunks c(f.fd(), FileType::kAviType1);
    EXPECT_EQ(c.premiereTimecode(), "00:00:10:00");
    EXPECT_EQ(c.reelName(), "");
}

TEST(AviChunks, RawDvHasNothing) {
    TempFile f(Bytes(120000, 0x1F));
    AviChunks c(f.fd(), FileType::kRawDv);
    EXPECT_FALSE(c.reelName());
    EXPECT_FALSE(c.premiereTimecode());
    EXPECT_EQ(c.collectEditorChunks(true), 0u);
    EXPECT_FALSE(c.findReservedList());
    EXPECT_FALSE(c.findChunk(fourcc("Tdat")));
}

TEST(AviChunks, TopLevelChunkThatIsNotRiffIsError6) {
    TempFile f(cat({avi({}), chunk("JUNK", Bytes(4, 0))}));
    AviChunks c(f.fd(), FileType::kAviType1);
    EXPECT_FALSE(c.findChunk(fourcc("Tdat")));
    EXPECT_EQ(c.lastError(), core::ErrorCode::kNotRiff);
}

TEST(AviChunks, EditorChunksStopBeforeTheLimit) {
    // 30000 + 8 each: three of them reach 90024 > 73732, so only the first two are kept, and a small
    // one after the refused chunk is not taken either.
    Bytes big(30000, 'p');
    Bytes file = avi(cat({chunk("PrmA", big), list("Cdat", Bytes(10, 1)), chunk("PrmL", big), chunk("JUNK", Bytes(4, 0)),
                          chunk("Cr8r", big), chunk("SCMD", Bytes(3, 2))}));
    TempFile f(file);
    AviChunks c(f.fd(), FileType::kAviType1);
    uint64_t s = c.collectEditorChunks(false);
    EXPECT_EQ(s, 30008u + 22u + 30008u);
    ASSERT_EQ(c.editorChunks().size(), 3u);
    EXPECT_EQ(c.collectEditorChunks(true), s);  // kept
}

TEST(AviChunks, EditorChunksInLaterRiffsOnlyWhenAsked) {
    Bytes second = riff("AVIX", cat({list("movi", Bytes{}), chunk("_PMX", Bytes(5, 'x'))}));
    TempFile f(cat({avi(chunk("PrmA", Bytes(8, 1))), second}));
    EXPECT_EQ(AviChunks(f.fd(), FileType::kAviType1).collectEditorChunks(false), 16u);
    EXPECT_EQ(AviChunks(f.fd(), FileType::kAviType1).collectEditorChunks(true), 16u + 14u);
}

// Copies the editor chunks of src into an output whose reserved list has the given size and is
// followed by `after`; returns the output bytes.
Bytes copyInto(const Bytes& src, uint32_t reservedSize, const Bytes& after, bool* ok) {
    TempFile in(src);
    TempFile out(avi(cat({reserved(reservedSize), after})));
    AviChunks c(in.fd(), FileType::kAviType2);
    c.collectEditorChunks(true);
    *ok = c.copyEditorChunks(out.fd());
    return out.contents();
}

TEST(AviChunks, CopyEditorChunksFillingTheRoomWritesNoJunk) {
    Bytes editor = cat({chunk("PrmA", Bytes(12, 'a')), list("Pdat", Bytes(8, 'b'))});  // 20 + 20
    bool ok = false;
    Bytes out = copyInto(avi(editor), 40, chunk("ABCD", Bytes(2, 0)), &ok);
    ASSERT_TRUE(ok);
    Bytes expect = avi(cat({editor, chunk("ABCD", Bytes(2, 0))}));
    EXPECT_EQ(out, expect);
}

TEST(AviChunks, CopyEditorChunksCloseATenByteGapWithJunk) {
    Bytes editor = chunk("PrmA", Bytes(12, 'a'));  // 20 bytes into 30
    bool ok = false;
    Bytes out = copyInto(avi(editor), 30, chunk("ABCD", Bytes(2, 0)), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(out, avi(cat({editor, chunk("JUNK", Bytes(2, 0)), chunk("ABCD", Bytes(2, 0))})));
}

TEST(AviChunks, CopyEditorChunksGrowAFollowingJunk) {
    Bytes editor = chunk("PrmA", Bytes(12, 'a'));  // 20 bytes into 40: gap 20
    bool ok = false;
    Bytes out = copyInto(avi(editor), 40, chunk("JUNK", Bytes(16, 0)), &ok);
    ASSERT_TRUE(ok);
    // The JUNK now starts right after the copied chunk and covers the gap and its old body; what lies
    // inside it does not matter, but every chunk boundary must be where a reader expects it.
    Bytes expect = avi(cat({editor, chunk("JUNK", Bytes(36, 0))}));
    ASSERT_EQ(out.size(), expect.size());
    size_t junkBody = expect.size() - list("movi", chunk("00dc", Bytes(100, 0x11))).size() - 24 - 36;
    EXPECT_TRUE(std::equal(expect.begin(), expect.begin() + long(junkBody), out.begin()));
    EXPECT_TRUE(std::equal(expect.begin() + long(junkBody + 36), expect.end(), out.begin() + long(junkBody + 36)));
}

TEST(AviChunks, HdvReelNameFromPacket) {
    Bytes head(5 * 188, 0);
    for (int k = 0; k < 5; ++k) head[size_t(k) * 188] = 0x47;
    uint8_t* p = &head[2 * 188];
    p[1] = 0x1F;
    p[2] = 0xFD;
    p[3] = 0x10;
    std::memcpy(p + 72, "HDV REEL", 9);
    EXPECT_EQ(reelNameFromHdvPackets(head), "HDV REEL");
    head[188] = 0;  // a broken packet before it: no reel name
    EXPECT_FALSE(reelNameFromHdvPackets(head));
    TempFile f(Bytes(100, 0));
    EXPECT_FALSE(AviChunks(f.fd(), FileType::kHdv2).reelName());
}

TEST(AviChunks, HostileSizesStayInsideTheFile) {
    Bytes file = avi({});
    // A chunk claiming 4 GiB inside the RIFF, and a RIFF size far past the end.
    Bytes bad = cat({file, riff("AVIX", cat({chunk("PrmA", Bytes(4, 0))}))});
    bad[bad.size() - 8] = 0xFF;
    bad[bad.size() - 7] = 0xFF;
    bad[bad.size() - 6] = 0xFF;
    bad[bad.size() - 5] = 0xFF;
    TempFile f(bad);
    AviChunks c(f.fd(), FileType::kAviType1);
    EXPECT_EQ(c.collectEditorChunks(true), 0u);
    auto body = c.findChunk(fourcc("PrmA"));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->size(), 4u);  // clamped to what the file holds
}

TEST(AviSpanReader, SpansSkipEmptyFramesAndRespectTheBuffer) {
    Bytes file(1000);
    for (size_t i = 0; i < file.size(); ++i) file[i] = uint8_t(i);
    TempFile f(file);
    std::vector<uint64_t> pos = {100, kEmptyFrame, 300, 500, kEmptyFrame};
    AviSpanReader r(f.fd(), file.size(), pos, 150, 500);
    Bytes out;
    ASSERT_TRUE(r.readHead(out));
    EXPECT_EQ(out, Bytes(file.begin(), file.begin() + 100));
    ASSERT_TRUE(r.readNextSpan(out));
    EXPECT_EQ(out.size(), 200u);
    EXPECT_EQ(out[0], file[100]);
    ASSERT_TRUE(r.readNextSpan(out));
    EXPECT_EQ(out.size(), 200u);
    ASSERT_TRUE(r.readNextSpan(out));
    EXPECT_EQ(out.size(), 150u);  // the last frame: one frame size
    ASSERT_TRUE(r.readNextSpan(out));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(r.readTail(out));
    EXPECT_EQ(out.size(), 350u);

    AviSpanReader small(f.fd(), file.size(), pos, 150, 99);
    EXPECT_EQ(small.readHead(out).code, core::ErrorCode::kNotRiff);
    EXPECT_EQ(small.readTail(out).code, core::ErrorCode::kNotRiff);
}

}  // namespace
}  // namespace zorv::media
