// The simulated deck's tape model (transport, position, timecode, no tape, unplug, pacing) and the
// texts of the Capture window's status lines.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "capture/capture_status_text.h"
#include "capture/device_list.h"
#include "capture/transport_thread.h"
#include "capture_test_util.h"
#include "core/dv_pack_fill.h"

namespace zorv::capture::testing {
namespace {

using namespace std::chrono_literals;

struct Recorder {
    std::mutex m;
    std::vector<int> frames;  // timecode frame counts (seconds * 25 + frames) of the frames received
    std::atomic<int> removed{0};

    void add(std::span<const uint8_t> f) {
        core::FoundTimecode tc = core::findTimecode(f.data(), static_cast<int>(f.size() / 12000));
        std::lock_guard<std::mutex> g(m);
        frames.push_back(tc.seconds * 25 + tc.frames);
    }
    size_t count() {
        std::lock_guard<std::mutex> g(m);
        return frames.size();
    }
    std::vector<int> take() {
        std::lock_guard<std::mutex> g(m);
        return std::exchange(frames, {});
    }
};

class SimDeckTest : public CaptureTest {
protected:
    void startRecording(SimDeck& deck, Recorder& rec) {
        ASSERT_TRUE(deck.startStream([&rec](std::span<const uint8_t> f) { rec.add(f); },
                                     [&rec](DeviceEvent e) {
                                         if (e == DeviceEvent::kRemoved) ++rec.removed;
                                     }));
    }
};

TEST_F(SimDeckTest, TransportMovesTheTapeAndTimecodeFollowsIt) {
    Recorder rec;  // outlives the deck that calls it
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kAsFastAsPossible}));
    EXPECT_EQ(deck.tapeFrames(), 120);
    EXPECT_EQ(modeText(deck.queryKind()), "VCR");
    EXPECT_EQ(signalText(deck.queryTapeFormat()), "PAL");
    EXPECT_EQ(deviceTimecodeText(deck.queryTimecode()), "00:00:00:00");

    startRecording(deck, rec);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rec.count(), 0u);  // stopped: nothing streams

    // Steps stream the frame under the head once.
    ASSERT_TRUE(deck.transport(TransportCommand::kForwardFrame));
    ASSERT_TRUE(waitFor([&] { return rec.count() == 1; }));
    ASSERT_TRUE(deck.transport(TransportCommand::kForwardFrame));
    ASSERT_TRUE(waitFor([&] { return rec.count() == 2; }));
    ASSERT_TRUE(deck.transport(TransportCommand::kBackwardFrame));
    ASSERT_TRUE(waitFor([&] { return rec.count() == 3; }));
    EXPECT_EQ(rec.take(), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(deviceTimecodeText(deck.queryTimecode()), "00:00:00:01");

    // Wind forward runs to the end of the tape without streaming.
    ASSERT_TRUE(deck.transport(TransportCommand::kFastForward));
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    EXPECT_EQ(deck.position(), 120);
    EXPECT_EQ(rec.count(), 0u);
    EXPECT_EQ(deviceTimecodeText(deck.queryTimecode()), "00:00:04:19");

    // Shuttle back streams every fifth frame on the way.
    deck.setPosition(100);
    ASSERT_TRUE(deck.transport(TransportCommand::kPlayRewind));
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    auto shuttle = rec.take();
    ASSERT_EQ(shuttle.size(), 21u);
    EXPECT_EQ(shuttle.front(), 100);
    EXPECT_EQ(shuttle[1], 95);
    EXPECT_EQ(shuttle.back(), 0);

    // Rewind, then play to the end: every frame once, in order.
    ASSERT_TRUE(deck.transport(TransportCommand::kRewind));
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    EXPECT_EQ(deck.position(), 0);
    ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
    ASSERT_TRUE(waitFor([&] { return deck.transportState() == SimTransportState::kStopped; }));
    auto played = rec.take();
    ASSERT_EQ(played.size(), 120u);
    for (int i = 0; i < 120; ++i) EXPECT_EQ(played[i], i);

    deck.stopStream();
    EXPECT_FALSE(deck.streaming());
}

TEST_F(SimDeckTest, PauseHoldsThePositionAndPlayGoesOn) {
    Recorder rec;  // outlives the deck that calls it
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kRealTime}));
    startRecording(deck, rec);
    ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
    ASSERT_TRUE(waitFor([&] { return rec.count() >= 5; }));
    ASSERT_TRUE(deck.transport(TransportCommand::kPause));
    std::this_thread::sleep_for(60ms);
    int64_t held = deck.position();
    size_t got = rec.count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(deck.position(), held);
    EXPECT_EQ(rec.count(), got);
    ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
    ASSERT_TRUE(waitFor([&] { return rec.count() >= got + 3; }));
    auto frames = rec.take();
    for (size_t i = 1; i < frames.size(); ++i) EXPECT_EQ(frames[i], frames[i - 1] + 1);
}

TEST_F(SimDeckTest, RealTimePacingStreamsAtTheFrameRate) {
    Recorder rec;  // outlives the deck that calls it
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kRealTime, DeviceKind::kCamera, true}));
    EXPECT_EQ(modeText(deck.queryKind()), "Camera");
    auto t0 = std::chrono::steady_clock::now();
    startRecording(deck, rec);
    ASSERT_TRUE(waitFor([&] { return rec.count() >= 26; }));
    auto elapsed = std::chrono::steady_clock::now() - t0;
    // 25 frame periods of 40 ms.
    EXPECT_GE(elapsed, 950ms);
    EXPECT_LT(elapsed, 2000ms);
}

TEST_F(SimDeckTest, NoTapeAndUnplug) {
    Recorder rec;  // outlives the deck that calls it
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("short.dv", gen::palClip(10)), {SimPacing::kAsFastAsPossible}));
    deck.ejectTape();
    EXPECT_EQ(signalText(deck.queryTapeFormat()), "No tape");
    EXPECT_EQ(deviceTimecodeText(deck.queryTimecode()), "");
    startRecording(deck, rec);
    EXPECT_TRUE(deck.transport(TransportCommand::kPlay));  // ignored without a tape
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rec.count(), 0u);
    deck.insertTape();
    ASSERT_TRUE(deck.transport(TransportCommand::kPlay));
    ASSERT_TRUE(waitFor([&] { return rec.count() == 10; }));

    deck.unplug();
    ASSERT_TRUE(waitFor([&] { return rec.removed.load() == 1; }));
    deck.stopStream();
    EXPECT_EQ(modeText(deck.queryKind()), "Error");
    EXPECT_EQ(deck.queryKind().error, "Could not get device capability");
    EXPECT_EQ(signalText(deck.queryTapeFormat()), "Error");
    EXPECT_EQ(deck.queryTimecode().error, "GetStatus failed");
    EXPECT_FALSE(deck.startStream([](std::span<const uint8_t>) {}, [](DeviceEvent) {}));
}

TEST_F(SimDeckTest, NtscTapeAndDeviceIds) {
    std::string path = tape("ntsc.dv", gen::ntscClip(30, true));
    SimDeck deck;
    ASSERT_TRUE(deck.load(path));
    EXPECT_EQ(signalText(deck.queryTapeFormat()), "NTSC");
    EXPECT_EQ(deviceTimecodeText(deck.queryTimecode()), "00:00:00;00");
    EXPECT_EQ(deck.info().id, "sim:" + path);

    core::Status st;
    auto opened = openDevice("sim:" + path, SimDeckOptions{}, st);
    ASSERT_TRUE(opened) << st.message;
    EXPECT_EQ(opened->info().id, "sim:" + path);
    EXPECT_FALSE(openDevice("sim:" + (dir_ / "none.dv").string(), SimDeckOptions{}, st));
    EXPECT_EQ(st.message, "Could not find Capture Device");
    EXPECT_FALSE(openDevice("nothing", SimDeckOptions{}, st));
}

TEST_F(SimDeckTest, TransportThreadRunsCommandsAndQueriesAwayFromTheCaller) {
    Recorder rec;  // outlives the deck that calls it
    SimDeck deck;
    ASSERT_TRUE(deck.load(tape("long.dv", gen::palClip(120)), {SimPacing::kAsFastAsPossible}));
    startRecording(deck, rec);
    TransportThread transport(deck);
    transport.post(TransportCommand::kForwardFrame);
    transport.post(TransportCommand::kForwardFrame);
    transport.refreshStatus();
    ASSERT_TRUE(waitFor([&] { return transport.status().rounds == 1 && transport.commandsRun() == 2; }));
    DeviceStatusLines lines = transport.status();
    EXPECT_EQ(lines.mode, "VCR");
    EXPECT_TRUE(lines.vcr);
    EXPECT_EQ(lines.signal, "PAL");
    EXPECT_EQ(lines.timecode, "00:00:00:02");  // the commands ran before the queries, in order
    EXPECT_EQ(lines.lastError, "");

    deck.unplug();
    transport.post(TransportCommand::kPlay);
    transport.refreshStatus();
    ASSERT_TRUE(waitFor([&] { return transport.status().rounds == 2; }));
    lines = transport.status();
    EXPECT_EQ(lines.mode, "Error");
    EXPECT_EQ(lines.signal, "Error");
    EXPECT_FALSE(lines.vcr);
    EXPECT_EQ(lines.lastError, "Could not get device capability");
    transport.stop();
    transport.post(TransportCommand::kPlay);  // ignored once stopped
    EXPECT_EQ(transport.commandsRun(), 3);
}

TEST(CaptureStatusText, FreeSpaceForms) {
    EXPECT_EQ(freeSpaceText(std::nullopt), "Unknown");
    EXPECT_EQ(freeSpaceText(0), "Disk full");
    EXPECT_EQ(freeSpaceText((1ull << 20) - 1), "Disk full");
    EXPECT_EQ(freeSpaceText(1ull << 20), "1 MB (0 mins)");
    EXPECT_EQ(freeSpaceText(1875ull << 20), "1,875 MB (10 mins)");
    EXPECT_EQ(freeSpaceText(11249ull << 20), "11,249 MB (59 mins)");
    EXPECT_EQ(freeSpaceText(11250ull << 20), "11,250 MB (1.0 hours)");
    EXPECT_EQ(freeSpaceText(1234567ull << 20), "1,234,567 MB (109.7 hours)");
}

TEST(CaptureStatusText, ModeSignalTimecodeAndDuration) {
    EXPECT_EQ(modeText(Query<DeviceKind>::success(DeviceKind::kOther)), "?");
    EXPECT_EQ(modeText(Query<DeviceKind>::success(DeviceKind::kUnsupported)), "");
    EXPECT_EQ(signalText(Query<TapeFormat>::success(TapeFormat::kOther)), "?");
    EXPECT_EQ(signalText(Query<TapeFormat>::failure("GetTransportBasicParameters failed")), "Error");
    EXPECT_EQ(deviceTimecodeText(Query<DeviceTimecode>::success({23, 59, 58, 29, true})), "23:59:58;29");
    EXPECT_EQ(durationText(0), "00:00:00");
    EXPECT_EQ(durationText(3600 + 62), "01:01:02");
}

}  // namespace
}  // namespace zorv::capture::testing
