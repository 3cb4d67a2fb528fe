// End-to-end captures from the simulated deck: files per recording with their names, log, batch list
// and timecode lists, every frame in order; Split Now, pause, the stop conditions, unplugging, the
// free-space rule and the buffer that bridges writer stalls.
//
// Not here: the window test (offscreen platform: open the Capture window on a simulated deck, capture a
// few seconds, stop) belongs with the Qt Capture window in tests/app, which does not exist yet.
#include <gtest/gtest.h>

#include <atomic>

#include "capture_test_util.h"

namespace zorv::capture::testing {
namespace {

using namespace std::chrono_literals;

std::vector<uint64_t> tapeFrames(const std::string& path) { return fileFrames(path); }

std::vector<uint64_t> capturedFrames(const std::vector<CapturedFile>& files) {
    std::vector<uint64_t> all;
    for (const auto& f : files) {
        auto part = fileFrames(f.path);
        EXPECT_EQ(static_cast<int64_t>(part.size()), f.frames) << f.path;
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// True when `part` appears in `whole` in the same order (frames may be missing, none repeated).
bool inOrder(const std::vector<uint64_t>& part, const std::vector<uint64_t>& whole) {
    size_t j = 0;
    for (uint64_t h : part) {
        while (j < whole.size() && whole[j] != h) ++j;
        if (j == whole.size()) return false;
        ++j;
    }
    return true;
}

class ThreeRecordings : public CaptureTest, public ::testing::WithParamInterface<int> {};

TEST_P(ThreeRecordings, OneFilePerRecordingWithLogBatchListAndTimecodeLists) {
    const int format = GetParam();
    gen::ClipSpec desc = threeRecordings(20);
    desc.userBits = 0x12345678u;
    std::string tapePath = tape("three_userbits.dv", desc);
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    CaptureSettings s = settings(format);
    s.reelName = "Reel";
    session.setSettings(s);
    captureWholeTape(deck, session);
    EXPECT_TRUE(session.wait());
    EXPECT_EQ(session.stopReason(), StopReason::kUser);

    auto files = session.files();
    ASSERT_EQ(files.size(), 3u);
    const std::vector<std::vector<std::string>> names = {
        {"Tape 0001.avi", "Tape 0002.avi", "Tape 0003.avi"},
        {"Tape 00.00.00.00.avi", "Tape 00.10.00.00.avi", "Tape 01.00.00.00.avi"},
        // Capture names keep the two-digit year.
        {"Tape 11-06-15 10.30.00.avi", "Tape 11-06-15 12.00.00.avi", "Tape 12-01-02 08.15.30.avi"},
        // Same user bits throughout: the " (n)" rule keeps the names apart.
        {"Tape 12.34.56.78.avi", "Tape 12.34.56.78 (1).avi", "Tape 12.34.56.78 (2).avi"},
    };
    const char* starts[] = {"00:00:00:00", "00:10:00:00", "01:00:00:00"};
    const char* ends[] = {"00:00:00:19", "00:10:00:19", "01:00:00:19"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fs::path(files[i].path).filename().string(), names[format - 1][i]);
        EXPECT_EQ(files[i].frames, 20);
        EXPECT_EQ(files[i].number, i + 1);
        EXPECT_TRUE(files[i].timecodeListWritten);
        TdatValues tdat = tdatOf(files[i].path);
        EXPECT_EQ(tdat.timecode, starts[i]);
        EXPECT_EQ(tdat.reel, "Reel");
    }
    EXPECT_EQ(capturedFrames(files), tapeFrames(tapePath));

    std::string log = readText(session.logPath());
    EXPECT_TRUE(log.starts_with("\r\nCapture started on "));
    for (int i = 0; i < 3; ++i) {
        std::string entry = "Capture file #" + std::to_string(i + 1) + " created\r\nFile name: " + files[i].path +
                            "\r\nStart TC: " + starts[i] + "\r\nEnd TC: " + ends[i] + "\r\n\r\n";
        EXPECT_NE(log.find(entry), std::string::npos) << entry << "\n--- in ---\n" << log;
    }
    EXPECT_NE(log.find("Capture ended on "), std::string::npos);
    EXPECT_EQ(log.find("No capture files"), std::string::npos);

    std::string batch = readText(session.batchListPath());
    EXPECT_EQ(countOf(batch, "\r\n"), 3);
    for (int i = 0; i < 3; ++i) {
        std::string row = "\"" + names[format - 1][i] + "\",\"" + starts[i] + "\",\"" + ends[i] + "\",20,\"Reel\"\r\n";
        EXPECT_NE(batch.find(row), std::string::npos) << row << batch;
    }
}

INSTANTIATE_TEST_SUITE_P(NameFormats, ThreeRecordings, ::testing::Values(1, 2, 3, 4));

TEST_F(CaptureTest, Type2FilesAndSequenceNumbersAfterExistingFiles) {
    for (const char* n : {"Tape 0001.avi", "Tape 0002.avi", "Tape 0003.avi"}) std::ofstream(dir_ / n) << "x";
    std::string tapePath = tape("three.dv", threeRecordings(20));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    CaptureSettings s = settings(1);
    s.aviType = media::AviType::kType2;
    session.setSettings(s);
    captureWholeTape(deck, session);
    auto files = session.files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(fs::path(files[0].path).filename(), "Tape 0004.avi");
    EXPECT_EQ(fs::path(files[2].path).filename(), "Tape 0006.avi");
    media::DvMediaFile f;
    ASSERT_TRUE(f.open(files[1].path));
    EXPECT_EQ(f.fileType(), media::FileType::kAviType2);
    EXPECT_EQ(capturedFrames(files), tapeFrames(tapePath));
}

TEST_F(CaptureTest, TapeWithoutTimecodeAndBackwardJumpsGiveReelLetters) {
    gen::ClipSpec desc = gen::palClip(30);
    desc.customize = [](int64_t, gen::FrameMeta& m) { m.hasTimecode = false; };
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("notc.dv", desc), {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    session.setSettings(settings(2));
    captureWholeTape(deck, session);
    auto files = session.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0].path).filename(), "Tape --.--.--.--.avi");
    std::string log = readText(session.logPath());
    EXPECT_NE(log.find("Start TC: --:--:--:--\r\nEnd TC: --:--:--:--\r\n\r\n"), std::string::npos) << log;

    // Timecode going back twice: the later files get the reel letters A and B.
    gen::ClipSpec back = gen::palClip(30);
    back.runs = {gen::Run{0, gen::Timecode{0, 5, 0, 0}, 1, {}}, gen::Run{10, gen::Timecode{0, 1, 0, 0}, 1, {}},
                 gen::Run{20, gen::Timecode{0, 0, 0, 0}, 1, {}}};
    SimDeck deck2;
    ASSERT_TRUE(deck2.load(tape("back.dv", back), {SimPacing::kAsFastAsPossible}));
    CaptureSession session2(deck2);
    CaptureSettings s = settings(1);
    s.capturePath = base("Back");
    s.reelName = "Tape";
    session2.setSettings(s);
    captureWholeTape(deck2, session2);
    auto f2 = session2.files();
    ASSERT_EQ(f2.size(), 3u);
    EXPECT_EQ(f2[0].reel, "Tape");
    EXPECT_EQ(f2[1].reel, "TapeA");
    EXPECT_EQ(f2[2].reel, "TapeB");
    EXPECT_EQ(tdatOf(f2[2].path).reel, "TapeB");
}

TEST_F(CaptureTest, PrerollDiscardsFramesAndLogsTheFirstKeptTimecode) {
    gen::ClipSpec desc = threeRecordings(40);
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("three40.dv", desc), {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    CaptureSettings s = settings(2);
    s.prerollSeconds = 1;
    session.setSettings(s);
    captureWholeTape(deck, session);
    auto files = session.files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(fs::path(files[1].path).filename(), "Tape 00.10.00.00.avi");
    EXPECT_EQ(files[1].frames, 15);
    EXPECT_EQ(files[1].prerollDiscarded, 25);
    EXPECT_EQ(tdatOf(files[1].path).timecode, "00:10:01:00");
    std::string log = readText(session.logPath());
    EXPECT_NE(log.find("Start TC: 00:10:00:00\r\nFrames discarded by preroll delay\r\nStart TC: 00:10:01:00\r\n"
                       "End TC: 00:10:01:14\r\n\r\n"),
              std::string::npos)
        << log;
}

TEST_F(CaptureTest, SplitNowStartsANewFileAtTheNextFrame) {
    std::string tapePath = tape("one.dv", gen::palClip(50));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    session.setBeforeWriteHook([&](int64_t n) {
        if (n == 20) session.splitNow();
    });
    captureWholeTape(deck, session);
    auto files = session.files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].frames, 21);
    EXPECT_EQ(files[1].frames, 29);
    EXPECT_EQ(tdatOf(files[1].path).timecode, "00:00:00:21");
    EXPECT_EQ(capturedFrames(files), tapeFrames(tapePath));
}

TEST_F(CaptureTest, PauseSkipsFramesAndResumeContinuesTheSameFile) {
    std::string tapePath = tape("long.dv", gen::palClip(120));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    std::atomic<bool> resumed{false};
    // Pause after 20 frames came in and resume 40 frames later, on the device's own schedule.
    deck.setReadyGate([&] {
        int64_t d = deck.deliveredFrames();
        if (d == 20) session.pause();
        if (d == 60 && !resumed.exchange(true)) session.resume();
        return session.bufferHasRoom();
    });
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    ASSERT_TRUE(waitFor([&] { return session.status().bufferFill == 0; }));
    session.stop();
    auto files = session.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].frames, 80);
    auto tapeHashes = tapeFrames(tapePath);
    std::vector<uint64_t> expected(tapeHashes.begin(), tapeHashes.begin() + 20);
    expected.insert(expected.end(), tapeHashes.begin() + 60, tapeHashes.end());
    EXPECT_EQ(capturedFrames(files), expected);
}

TEST_F(CaptureTest, DurationLimitStopsAfterExactlyThatMuchVideo) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kAsFastAsPossible, DeviceKind::kVcr, true}));
    deck.setReadyGate([] { return true; });
    CaptureSession session(deck);
    CaptureSettings s = settings(1);
    s.stopMode = core::CaptureStopMode::kDuration;
    s.durationHours = 0;
    s.durationMinutes = 0;
    s.durationSeconds = 2;
    session.setSettings(s);
    deck.setReadyGate([&] { return session.bufferHasRoom(); });
    ASSERT_TRUE(session.start());
    EXPECT_TRUE(session.wait());
    EXPECT_EQ(session.stopReason(), StopReason::kDuration);
    auto files = session.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].frames, 50);
    EXPECT_EQ(fileFrames(files[0].path).size(), 50u);
}

TEST_F(CaptureTest, NoFramesForTheIdleTimeStops) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("short.dv", gen::palClip(10)), {SimPacing::kAsFastAsPossible, DeviceKind::kVcr, true}));
    CaptureSession session(deck);
    CaptureSettings s = settings(1);
    s.stopMode = core::CaptureStopMode::kNoFrames;
    s.noFramesSeconds = 1;
    session.setSettings(s);
    deck.setReadyGate([&] { return session.bufferHasRoom(); });
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(session.start());
    EXPECT_TRUE(session.wait());
    auto elapsed = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(session.stopReason(), StopReason::kNoFrames);
    EXPECT_GE(elapsed, 1s);
    EXPECT_LT(elapsed, 5s);
    auto files = session.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].frames, 10);
}

TEST_F(CaptureTest, UnpluggingStopsWithTheRemovalMessageAndAReadableFile) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kAsFastAsPossible, DeviceKind::kVcr, true}));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    deck.setReadyGate([&] {
        if (deck.deliveredFrames() == 30) deck.unplug();
        return session.bufferHasRoom();
    });
    ASSERT_TRUE(session.start());
    core::Status st = session.wait();
    EXPECT_FALSE(st);
    EXPECT_EQ(st.message, "Capture device removed");
    EXPECT_EQ(session.stopReason(), StopReason::kDeviceRemoved);
    EXPECT_EQ(session.lastError(), "Capture device removed");
    auto files = session.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].frames, 30);
    EXPECT_EQ(fileFrames(files[0].path).size(), 30u);
    EXPECT_EQ(tdatOf(files[0].path).timecode, "00:00:00:00");
    std::string log = readText(session.logPath());
    EXPECT_NE(log.find("End TC: 00:00:01:04\r\n\r\n\r\nError: Capture device removed\r\n\r\nCapture ended on "),
              std::string::npos)
        << log;
    // The device is gone for good.
    EXPECT_FALSE(deck.queryKind().ok);
    EXPECT_FALSE(deck.transport(TransportCommand::kPlay));
    CaptureSession again(deck);
    again.setSettings(settings(1));
    EXPECT_FALSE(again.start());
}

TEST_F(CaptureTest, FreeSpaceOf19MiBRefusesAnd20MiBStarts) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("short.dv", gen::palClip(10))));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    session.setFreeSpaceQuery(deck.freeSpaceQuery());

    deck.setSimulatedFreeSpace(19ull << 20 | 0xFFFFF);
    core::Status st = session.start();
    EXPECT_FALSE(st);
    EXPECT_EQ(st.message, "Insufficient disk space available");
    EXPECT_FALSE(session.running());
    EXPECT_FALSE(fs::exists(base() + ".log"));

    deck.setSimulatedFreeSpace(20ull << 20);
    ASSERT_TRUE(session.start());
    EXPECT_TRUE(session.running());
    session.stop();
    EXPECT_EQ(session.stopReason(), StopReason::kUser);
}

TEST_F(CaptureTest, FreeSpaceFallingBelow20MiBStopsARunningCapture) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kRealTime, DeviceKind::kVcr, true}));
    deck.setSimulatedFreeSpace(100ull << 20);
    CaptureSession session(deck);
    session.setSettings(settings(1));
    session.setFreeSpaceQuery(deck.freeSpaceQuery());
    session.setWatchIntervals(10ms, 20ms);
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(waitFor([&] { return session.status().framesCaptured >= 3; }));
    deck.setSimulatedFreeSpace(19ull << 20);
    session.wait();
    EXPECT_EQ(session.stopReason(), StopReason::kDiskSpace);
    EXPECT_EQ(session.lastError(), "Insufficient disk space available");
    ASSERT_EQ(session.files().size(), 1u);
    EXPECT_GE(fileFrames(session.files()[0].path).size(), 3u);
}

TEST_F(CaptureTest, StopBeforeAnyFrameWritesTheNoFilesLineAndNoAvi) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("short.dv", gen::palClip(10))));  // the tape stays stopped
    CaptureSession session(deck);
    session.setSettings(settings(2));
    ASSERT_TRUE(session.start());
    std::this_thread::sleep_for(50ms);
    session.stop();
    EXPECT_TRUE(session.files().empty());
    EXPECT_TRUE(aviFiles().empty());
    std::string log = readText(session.logPath());
    EXPECT_NE(log.find("\r\n\r\nNo capture files were created because no video frames were encountered\r\n\r\n"
                       "Capture ended on "),
              std::string::npos)
        << log;
    EXPECT_EQ(readText(session.batchListPath()), "");
}

TEST_F(CaptureTest, StartRefusesAMissingPathAndAnUnwritableLog) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("short.dv", gen::palClip(10))));
    CaptureSession session(deck);
    CaptureSettings s = settings(1);
    s.capturePath.clear();
    session.setSettings(s);
    EXPECT_EQ(session.start().message, "A Capture file pathname is required");
    s.capturePath = (dir_ / "missing" / "Tape.avi").string();
    session.setSettings(s);
    EXPECT_EQ(session.start().message, "Failed to create log file");
    fs::create_directories(dir_ / "csvdir" / "Tape.csv");  // a folder where the batch list should go
    s.capturePath = (dir_ / "csvdir" / "Tape.avi").string();
    session.setSettings(s);
    EXPECT_EQ(session.start().message, "Failed to create Premiere batch list file");
    EXPECT_FALSE(session.running());
}

TEST_F(CaptureTest, WithoutTheSplitterOneFileTakesTheWholeTape) {
    std::string tapePath = tape("three.dv", threeRecordings(20));
    std::ofstream(base() + ".avi") << "taken";
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    CaptureSettings s = settings(2);
    s.useSplitter = false;
    session.setSettings(s);
    captureWholeTape(deck, session);
    auto files = session.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0].path).filename(), "Tape (1).avi");
    EXPECT_EQ(capturedFrames(files), tapeFrames(tapePath));
}

TEST_F(CaptureTest, SecondCaptureToTheSameBaseGetsTheCounterInBrackets) {
    std::string tapePath = tape("one.dv", gen::palClip(50));
    for (int run = 0; run < 2; ++run) {
        SimDeck deck;
        ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
        CaptureSession session(deck);
        session.setSettings(settings(2));
        captureWholeTape(deck, session);
        ASSERT_EQ(session.files().size(), 1u);
        EXPECT_EQ(fs::path(session.files()[0].path).filename(),
                  run == 0 ? "Tape 00.00.00.00.avi" : "Tape 00.00.00.00 (1).avi");
        // Each capture adds to the log and batch list of the earlier ones.
        EXPECT_EQ(countOf(readText(session.logPath()), "Capture started on "), run + 1);
        EXPECT_EQ(countOf(readText(session.batchListPath()), "\r\n"), run + 1);
    }
}

TEST_F(CaptureTest, DropFrameLogLinesFollowTheDisplayOptionAndTheBatchListDoesNot) {
    std::string tapePath = tape("ntsc_df.dv", gen::ntscClip(40, true));
    for (int display = 0; display < 2; ++display) {
        SimDeck deck;
        ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
        CaptureSession session(deck);
        CaptureSettings s = settings(1);
        s.capturePath = base(display == 0 ? "Colon" : "Semi");
        s.dropFrameDisplay = core::choiceOf<core::DropFrameDisplay>(display);
        session.setSettings(s);
        captureWholeTape(deck, session);
        ASSERT_EQ(session.files().size(), 1u);
        std::string log = readText(session.logPath());
        if (display == 0) EXPECT_NE(log.find("Start TC: 00:00:00;00\r\nEnd TC: 00:00:01;09\r\n"), std::string::npos) << log;
        else EXPECT_NE(log.find("Start TC: 00;00;00;00\r\nEnd TC: 00;00;01;09\r\n"), std::string::npos) << log;
        EXPECT_EQ(tdatOf(session.files()[0].path).timecode, "00;00;00;00");
        // The batch list is read by editors: their drop-frame form whatever the display option.
        const std::string list = readText(session.batchListPath());
        EXPECT_NE(list.find(",\"00;00;00;00\",\"00;00;01;09\",40,"), std::string::npos) << list;
        EXPECT_EQ(session.files()[0].frames, 40);
    }
}

TEST_F(CaptureTest, SlaveToCameraPlaysTheTapeAndStopsIt) {
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kRealTime}));
    CaptureSession session(deck);
    CaptureSettings s = settings(1);
    s.slaveToCamera = true;
    session.setSettings(s);
    ASSERT_TRUE(session.start());
    EXPECT_EQ(deck.transportState(), SimTransportState::kPlaying);
    ASSERT_TRUE(waitFor([&] { return session.status().framesCaptured >= 5; }));
    session.stop();
    EXPECT_EQ(deck.transportState(), SimTransportState::kStopped);
}

// A window that previews runs the stream itself and hands frames to the session only while it captures.
TEST_F(CaptureTest, StreamOwnedByTheCaller) {
    std::string tapePath = tape("long.dv", gen::palClip(120));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    session.setStreamOwnedByCaller(true);
    std::atomic<int64_t> previewed{0};
    deck.setReadyGate([&] {
        if (deck.deliveredFrames() == 30 && !session.running()) {
            EXPECT_TRUE(session.start());
        }
        return session.bufferHasRoom();
    });
    ASSERT_TRUE(deck.startStream(
        [&](std::span<const uint8_t> f) {
            ++previewed;
            session.frameArrived(f);
        },
        [&](DeviceEvent e) { session.deviceEvent(e); }));
    ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    ASSERT_TRUE(waitFor([&] { return session.status().bufferFill == 0; }));
    session.stop();
    EXPECT_TRUE(deck.streaming());  // still previewing
    deck.stopStream();
    EXPECT_EQ(previewed.load(), 120);
    ASSERT_EQ(session.files().size(), 1u);
    auto all = tapeFrames(tapePath);
    EXPECT_EQ(capturedFrames(session.files()), std::vector<uint64_t>(all.begin() + 30, all.end()));
}

// Frames handed over by the caller: 625/50 frames and then 525/60 frames whose timecode goes on
// without a jump. The change of system alone starts a new file, with or without the splitter.
TEST_F(CaptureTest, ChangeOfVideoSystemStartsANewFile) {
    gen::ClipSpec ntsc = gen::ntscClip(10);
    ntsc.runs = {gen::Run{0, gen::Timecode{0, 0, 0, 10}, 1, gen::DateTime{}}};
    std::string palPath = tape("pal10.dv", gen::palClip(10)), ntscPath = tape("ntsc10.dv", ntsc);
    for (bool splitter : {true, false}) {
        SimDeck deck;  // only the holder of the session's device; the test delivers the frames
        ASSERT_TRUE(deck.load(palPath));
        CaptureSession session(deck);
        CaptureSettings s = settings(1);
        s.capturePath = base(splitter ? "Split" : "Whole");
        s.useSplitter = splitter;
        session.setSettings(s);
        session.setStreamOwnedByCaller(true);
        ASSERT_TRUE(session.start());
        for (const std::string& path : {palPath, ntscPath}) {
            media::DvMediaFile f;
            ASSERT_TRUE(f.open(path));
            std::vector<uint8_t> buf(f.frameSize());
            for (int64_t n = 0; n < f.frameCount(); ++n) {
                ASSERT_TRUE(waitFor([&] { return session.bufferHasRoom(); }));
                ASSERT_TRUE(f.readFrame(n, buf.data()));
                session.frameArrived(buf);
            }
        }
        ASSERT_TRUE(waitFor([&] { return session.status().bufferFill == 0; }));
        session.stop();
        auto files = session.files();
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0].frames, 10);
        EXPECT_EQ(files[1].frames, 10);
        EXPECT_EQ(fileFrames(files[0].path), fileFrames(palPath));
        EXPECT_EQ(fileFrames(files[1].path), fileFrames(ntscPath));
        media::DvMediaFile second;
        ASSERT_TRUE(second.open(files[1].path));
        EXPECT_EQ(second.frameSize(), 120000u);
    }
}

TEST_F(CaptureTest, ReadFailureStopsWithItsMessage) {
    std::string tapePath = tape("short.dv", gen::palClip(10));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    session.setStreamOwnedByCaller(true);
    ASSERT_TRUE(session.start());
    media::DvMediaFile f;
    ASSERT_TRUE(f.open(tapePath));
    std::vector<uint8_t> buf(f.frameSize());
    for (int64_t n = 0; n < 5; ++n) {
        ASSERT_TRUE(f.readFrame(n, buf.data()));
        session.frameArrived(buf);
    }
    session.frameArrived(std::span<const uint8_t>(buf.data(), 1000));  // not a whole frame: dropped
    session.deviceEvent(DeviceEvent::kReadFailed);
    core::Status st = session.wait();
    EXPECT_EQ(st.code, core::ErrorCode::kReadFailed);
    EXPECT_EQ(st.message, "Failed while reading capture device");
    EXPECT_EQ(session.stopReason(), StopReason::kReadError);
    EXPECT_EQ(session.status().droppedFrames, 1);
    ASSERT_EQ(session.files().size(), 1u);
    EXPECT_EQ(session.files()[0].frames, 5);
    std::string log = readText(session.logPath());
    EXPECT_NE(log.find("Dropped frames: 1\r\n\r\n\r\nError: Failed while reading capture device\r\n\r\nCapture ended on "),
              std::string::npos)
        << log;
    session.frameArrived(buf);  // after the stop: ignored
    EXPECT_EQ(session.status().framesCaptured, 5);
}

// At the real frame rate a writer that stalls for 4 seconds loses nothing: the 150 slots hold about
// 6 seconds of 625-line video.
TEST_F(CaptureTest, FourSecondWriterStallAtRealTimeLosesNoFrame) {
    std::string tapePath = tape("five.dv", gen::palClip(125));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kRealTime, DeviceKind::kVcr, true}));
    CaptureSession session(deck);
    session.setSettings(settings(1));
    int maxFill = 0;
    session.setBeforeWriteHook([&](int64_t n) {
        if (n == 2) std::this_thread::sleep_for(4s);
        maxFill = std::max(maxFill, session.status().bufferFill);
    });
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }, 15s));
    ASSERT_TRUE(waitFor([&] { return session.status().bufferFill == 0; }));
    session.stop();
    EXPECT_EQ(session.status().droppedFrames, 0);
    EXPECT_GE(maxFill, 90);  // the stall really was bridged by the buffer
    ASSERT_EQ(session.files().size(), 1u);
    EXPECT_EQ(capturedFrames(session.files()), tapeFrames(tapePath));
}

// A stall longer than the buffer: the device thread keeps going and the frames that find no slot
// are counted as dropped.
TEST_F(CaptureTest, StallBeyondTheBufferCountsDroppedFramesWithoutBlockingTheDevice) {
    std::string tapePath = tape("long.dv", gen::palClip(120));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible, DeviceKind::kVcr, true}));
    CaptureSession session(deck);
    CaptureSettings s = settings(1);
    s.bufferSlots = 40;
    session.setSettings(s);
    bool deviceFinishedDuringStall = false;
    session.setBeforeWriteHook([&](int64_t n) {
        if (n == 0)
            deviceFinishedDuringStall = waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }, 10s);
    });
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    ASSERT_TRUE(waitFor([&] { return session.status().bufferFill == 0; }));
    session.stop();
    EXPECT_TRUE(deviceFinishedDuringStall);
    CaptureStatus st = session.status();
    EXPECT_EQ(deck.deliveredFrames(), 120);
    EXPECT_GT(st.droppedFrames, 0);
    EXPECT_EQ(st.framesCaptured + st.droppedFrames, 120);
    auto captured = capturedFrames(session.files());
    EXPECT_EQ(static_cast<int64_t>(captured.size()), st.framesCaptured);
    EXPECT_TRUE(inOrder(captured, tapeFrames(tapePath)));
}

TEST_F(CaptureTest, FramesTheDeviceLosesCountAsDropped) {
    std::string tapePath = tape("short.dv", gen::palClip(10));
    SimDeck deck;
    ASSERT_TRUE(deck.load(tapePath, {SimPacing::kAsFastAsPossible}));
    deck.dropNextFrames(3);
    CaptureSession session(deck);
    session.setSettings(settings(1));
    captureWholeTape(deck, session);
    EXPECT_EQ(session.status().droppedFrames, 3);
    EXPECT_EQ(session.status().framesCaptured, 7);
}

}  // namespace
}  // namespace zorv::capture::testing
