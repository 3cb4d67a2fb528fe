// The damage record of the metadata scan, on generated transfers damaged as decks damage them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "core/dv_layout.h"
#include "gen/clip_writer.h"
#include "media/dv_frame_damage.h"
#include "media/dv_media_file.h"

namespace zorv::media {
namespace {

using core::FrameDamage;

// Collects the damage record the scan filled for every frame.
class DamageLog : public ScanObserver {
public:
    explicit DamageLog(const DvMediaFile& f) : file_(f) {}
    bool onFrame(int64_t n, const core::MetadataRecord&, const core::DecodedValues&) override {
        frames[n] = file_.damage();
        return true;
    }
    std::map<int64_t, FrameDamage> frames;

private:
    const DvMediaFile& file_;
};

std::map<int64_t, FrameDamage> scanDamage(const std::string& path, DvMediaFile& file) {
    EXPECT_TRUE(file.open(path)) << path;
    DamageLog log(file);
    EXPECT_TRUE(file.scan(nullptr, &log));
    return log.frames;
}

TEST(DvDamage, CountsPerStatusAndAudioChannelAreExact) {
    struct Case {
        const char* name;
        gen::System system;
        int bits;
        std::vector<gen::BlockDamage> damage;
        std::vector<gen::AudioDamage> audio;
        // Expected in frame 1: status -> blocks, and error samples per channel.
        std::map<int, int> sta;
        std::vector<int> audioErrors;
        double concealedShare;
        core::DamageSeverity severity;
    };
    const Case cases[] = {
        {"head-clog-ntsc",
         gen::System::Ntsc,
         16,
         {{1, 0xA, 0.6}},
         {},
         {{0xA, 810}},
         {0, 0},
         0.6,
         core::DamageSeverity::kConcealed},
        {"mixed-pal",
         gen::System::Pal,
         16,
         {{1, 0xF, 0.1}, {1, 0xC, 0.2, 0.5}, {1, 0x2, 0.05, 0.9}},
         {{1, 0, 17}, {1, 1, 5, 300}},
         {{0xF, 162}, {0xC, 324}, {0x2, 81}},
         {17, 5},
         405.0 / 1620,
         core::DamageSeverity::kUncorrected},
        {"twelve-bit-audio",
         gen::System::Pal,
         12,
         {},
         {{1, 2, 9}, {1, 3, 3, 100}, {1, 0, 1}},
         {},
         {1, 0, 9, 3},
         0.0,
         core::DamageSeverity::kAudio},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gen::ClipSpec clip = c.system == gen::System::Pal ? gen::palClip(3) : gen::ntscClip(3);
        clip.audio.bits = c.bits;
        if (c.bits == 12) clip.audio.sampleRate = 32000;
        clip.damage = c.damage;
        clip.audioErrors = c.audio;
        const std::string path = gen::cachedClip(std::string("damage-") + c.name + ".dv", clip, gen::Container::RawDv);
        ASSERT_FALSE(path.empty());
        DvMediaFile file;
        auto frames = scanDamage(path, file);
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_FALSE(frames[0].damaged());
        EXPECT_FALSE(frames[2].damaged());
        const FrameDamage& d = frames[1];
        const int blocks = c.system == gen::System::Pal ? 1620 : 1350;
        EXPECT_EQ(d.videoBlocks, blocks);
        int damaged = 0;
        for (int s = 1; s < 16; ++s) {
            auto it = c.sta.find(s);
            EXPECT_EQ(d.sta[s], it == c.sta.end() ? 0 : it->second) << "STA " << s;
            damaged += d.sta[s];
        }
        EXPECT_EQ(d.sta[0], blocks - damaged);
        EXPECT_DOUBLE_EQ(d.concealedShare(), c.concealedShare);
        ASSERT_EQ(d.audioChannels, c.audioErrors.size());
        for (size_t ch = 0; ch < c.audioErrors.size(); ++ch) EXPECT_EQ(d.audioErrors[ch], c.audioErrors[ch]) << ch;
        EXPECT_EQ(d.severity(), c.severity);
        EXPECT_EQ(d.misplacedBlocks, 0);
        EXPECT_FALSE(d.packsMissing);
        EXPECT_EQ(file.sceneSets().changes(core::kTriggerDamage), std::set<int64_t>{1});
    }
}

TEST(DvDamage, ZeroFilledSequenceAndBlankPacksAreSigns) {
    gen::ClipFrames frames;
    ASSERT_TRUE(frames.open(gen::palClip(2)).ok());
    std::vector<uint8_t> f;
    frames.render(0, f);
    FrameDamage d;
    readFrameDamage(d, f.data(), f.size());
    EXPECT_FALSE(d.damaged());

    // A sequence the deck gave as zeros: every block is out of its place (even its header block, whose
    // sequence number is wrong), and its video blocks read as status 0.
    std::fill(f.begin() + 3 * 12000, f.begin() + 4 * 12000, uint8_t{0});
    readFrameDamage(d, f.data(), f.size());
    EXPECT_EQ(d.misplacedBlocks, 150);
    EXPECT_FALSE(d.packsMissing);
    EXPECT_EQ(d.severity(), core::DamageSeverity::kSigns);

    // Two blocks swapped within a sequence.
    frames.render(0, f);
    std::swap_ranges(f.begin() + 7 * 80, f.begin() + 8 * 80, f.begin() + 8 * 80);
    readFrameDamage(d, f.data(), f.size());
    EXPECT_EQ(d.misplacedBlocks, 2);

    // Every subcode and VAUX pack blank.
    frames.render(0, f);
    for (size_t s = 0; s < 12; ++s) {
        for (int j = 0; j < core::dv::kSubcodePacksPerSequence; ++j) f[s * 12000 + core::dv::subcodePackOffset(j)] = 0xFF;
        for (int k = 0; k < core::dv::kVauxPacksPerSequence; ++k) f[s * 12000 + core::dv::vauxPackOffset(k)] = 0xFF;
    }
    readFrameDamage(d, f.data(), f.size());
    EXPECT_TRUE(d.packsMissing);
    EXPECT_EQ(d.misplacedBlocks, 0);
}

TEST(DvDamage, RepeatedAndBackwardTimecodesAndDamageRuns) {
    gen::ClipSpec clip = gen::palClip(10);
    // Timecode 0, 1, 2, 2 (repeat), 3, then back to 1 and on; a concealed run over frames 7-8.
    clip.runs = {gen::Run{0, gen::Timecode{}, 1, gen::DateTime{}}, gen::Run{3, gen::Timecode{0, 0, 0, 2}, 0, {}},
                 gen::Run{4, gen::Timecode{0, 0, 0, 3}, 1, {}}, gen::Run{5, gen::Timecode{0, 0, 0, 1}, 1, {}}};
    clip.damage = {{7, 0xA, 0.01}, {8, 0x7, 0.01}};
    const std::string path = gen::cachedClip("damage-timecode.avi", clip, gen::Container::Avi1);
    ASSERT_FALSE(path.empty());
    DvMediaFile file;
    auto frames = scanDamage(path, file);
    ASSERT_EQ(frames.size(), 10u);
    for (int64_t n = 0; n < 10; ++n) {
        EXPECT_EQ(frames[n].timecodeRepeated, n == 3) << n;
        EXPECT_EQ(frames[n].timecodeBackwards, n == 5) << n;
    }
    EXPECT_EQ(frames[7].severity(), core::DamageSeverity::kConcealed);
    EXPECT_EQ(frames[8].severity(), core::DamageSeverity::kUncorrected);
    // The damage trigger marks where each damaged run begins.
    EXPECT_EQ(file.sceneSets().changes(core::kTriggerDamage), (std::set<int64_t>{3, 5, 7}));
}

// The scan shares the reading of long files with a second thread, stretch by stretch: every frame's
// record must be the one its own bytes give, in whichever stretch it falls, dropped frames included.
TEST(DvDamage, LongScanGivesEachFrameItsOwnRecord) {
    gen::ClipSpec clip = gen::palClip(130);
    clip.damage = {{1, 0xA, 0.3}, {31, 0xF, 0.02}, {60, 0xC, 1.0}, {95, 0x2, 0.5}, {129, 0xE, 0.1}};
    clip.audioErrors = {{33, 1, 7}, {100, 0, 2}};
    clip.dropped = {40, 41, 90};
    const std::string path = gen::cachedClip("damage-long.avi", clip, gen::Container::Avi1);
    ASSERT_FALSE(path.empty());
    DvMediaFile file;
    auto frames = scanDamage(path, file);
    EXPECT_EQ(frames.size(), 127u);
    DvMediaFile reader;
    ASSERT_TRUE(reader.open(path));
    std::vector<uint8_t> buf(reader.frameSize());
    std::set<int64_t> damaged;
    for (const auto& [n, d] : frames) {
        ASSERT_TRUE(reader.readFrame(n, buf.data())) << n;
        FrameDamage own;
        readFrameDamage(own, buf.data(), buf.size());
        own.timecodeRepeated = d.timecodeRepeated;
        own.timecodeBackwards = d.timecodeBackwards;
        EXPECT_TRUE(own.sameAs(d)) << n;
        if (d.damaged()) damaged.insert(n);
    }
    EXPECT_EQ(damaged, (std::set<int64_t>{1, 31, 33, 60, 95, 100, 129}));
    EXPECT_EQ(frames[60].sta[0xC], 1620);
    EXPECT_EQ(frames[33].audioErrors[1], 7);
}

}  // namespace
}  // namespace zorv::media
