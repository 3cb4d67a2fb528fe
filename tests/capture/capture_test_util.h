// Shared pieces of the capture tests: generated tapes, a temporary folder per test, frame hashes and
// a helper that plays a tape through a capture session.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_session.h"
#include "capture/sim_deck.h"
#include "gen/clip_writer.h"
#include "media/avi_chunks.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"

namespace zorv::capture::testing {

namespace fs = std::filesystem;

inline uint64_t frameHash(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Hashes of the video frames of a DV file, in order (empty index entries skipped).
inline std::vector<uint64_t> fileFrames(const std::string& path) {
    media::DvMediaFile file;
    EXPECT_TRUE(file.open(path)) << path;
    std::vector<uint64_t> out;
    std::vector<uint8_t> buf(file.frameSize());
    for (int64_t n = 0; n < file.frameCount(); ++n)
        if (file.readFrame(n, buf.data())) out.push_back(frameHash(buf.data(), buf.size()));
    return out;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

struct TdatValues {
    std::string timecode, reel;
};
inline TdatValues tdatOf(const std::string& path) {
    media::File f;
    EXPECT_TRUE(f.open(path));
    media::AviChunks chunks(f.fd(), media::FileType::kAviType1);
    return {chunks.premiereTimecode().value_or(""), chunks.reelName().value_or("")};
}

// A PAL tape of three recordings of `each` frames: timecode 00:00:00:00, 00:10:00:00, 01:00:00:00;
// recording clock 2011-06-15 10:30:00, 2011-06-15 12:00:00, 2012-01-02 08:15:30.
inline gen::ClipSpec threeRecordings(int64_t each) {
    gen::ClipSpec desc = gen::palClip(3 * each);
    desc.runs = {gen::Run{0, gen::Timecode{0, 0, 0, 0}, 1, gen::DateTime{2011, 6, 15, 10, 30, 0}},
                 gen::Run{each, gen::Timecode{0, 10, 0, 0}, 1, gen::DateTime{2011, 6, 15, 12, 0, 0}},
                 gen::Run{2 * each, gen::Timecode{1, 0, 0, 0}, 1, gen::DateTime{2012, 1, 2, 8, 15, 30}}};
    desc.recordingStarts = {0, each, 2 * each};
    return desc;
}

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zorv_capture_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A tape file from the generator cache (shared by the tests of this process).
    std::string tape(const std::string& name, const gen::ClipSpec& desc) {
        std::string path = gen::cachedClip(name, desc, gen::Container::RawDv);
        EXPECT_FALSE(path.empty());
        return path;
    }

    std::string base(const std::string& name = "Tape") const { return (dir_ / name).string(); }

    CaptureSettings settings(int nameFormat = 2) const {
        CaptureSettings s;
        s.capturePath = base() + ".avi";
        s.nameFormat = static_cast<core::SplitNameFormat>(nameFormat);
        s.aviType = media::AviType::kType1;
        return s;
    }

    std::vector<std::string> aviFiles() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.path().extension() == ".avi") out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    // Waits (at most `limit`) for cond.
    template <typename F>
    static bool waitFor(F cond, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (!cond()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    // Plays the whole tape from the start into the session and stops when every delivered frame is
    // written: frames go as fast as the session's buffer takes them.
    static void captureWholeTape(SimDeck& deck, CaptureSession& session) {
        deck.setReadyGate([&session] { return session.bufferHasRoom(); });
        ASSERT_TRUE(session.start());
        ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
        ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
        ASSERT_TRUE(waitFor([&] { return session.status().bufferFill == 0; }));
        session.stop();
    }

    fs::path dir_;
};

}  // namespace zorv::capture::testing
