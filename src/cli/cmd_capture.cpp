// zorv capture: records DV from a FireWire camcorder or deck (or a simulated deck playing a DV file)
// into AVI files, split at new recordings; zorv devices: lists the capture devices.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "capture/capture_session.h"
#include "capture/capture_status_text.h"
#include "capture/device_list.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/split_arguments.h"
#include "core/option_fields.h"
#include "core/options.h"
#include "core/options_validation.h"

namespace zorv::cli {

namespace {

// A capture that ended normally but lost frames on the way.
constexpr int kExitFramesDropped = 3;

std::atomic<bool> gInterrupted{false};

void onCaptureInterrupt(int) { gInterrupted.store(true); }

void usage(FILE* out) {
    std::fputs(
        "usage: zorv capture --device DEVICE --out BASE [--split TRIGGER|off] [--name FORM] [--preroll S]\n"
        "                    [--reel NAME] [--type avi1|avi2] [--duration HH:MM:SS] [--stop-after-idle S]\n"
        "                    [--fast] [--sim-drop N]\n"
        "Records DV from a camcorder or deck into AVI files BASE NNNN.avi (or by --name), one per recording.\n"
        "  --device ID     a device of `zorv devices`, or sim:FILE for a simulated deck playing the DV\n"
        "                  file FILE as tape (it starts playing at once)\n"
        "  --out BASE      capture path; also names BASE.log and BASE.csv (Premiere batch list)\n"
        "  --split T       timecode:N (default timecode:1), datetime:S, userbits, index, or off for one file\n"
        "  --name FORM     number (default), timecode, datetime or userbits\n"
        "  --preroll S     drop the first S seconds (0..10) of every file\n"
        "  --reel NAME     reel name written into each file\n"
        "  --type T        avi2 (default: separate video and audio streams) or avi1 (interleaved)\n"
        "  --duration T    stop after HH:MM:SS of captured video\n"
        "  --stop-after-idle S  stop when no frame arrived for S seconds (1..99)\n"
        "  --fast          simulated deck: play as fast as the writer takes frames\n"
        "  --sim-drop N    simulated deck: lose the first N frames played (as a deck that drops them)\n"
        "Ctrl+C, SIGTERM and SIGHUP stop the capture and close its files.\n"
        "Exit status: 0 when every frame was captured, 3 when the capture ended normally but frames were\n"
        "dropped (their count is printed and logged), 1 on an error, 2 on wrong arguments.\n",
        out);
}

bool parseDuration(std::string_view text, core::Options& o) {
    int h = 0, m = 0, s = 0;
    char tail = 0;
    std::string t(text);
    if (std::sscanf(t.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail) != 3) return false;
    o.captureStopMode = core::stored(core::CaptureStopMode::kDuration);
    o.captureDurationHours = h;
    o.captureDurationMinutes = m;
    o.captureDurationSeconds = s;
    return true;
}

std::string statusLine(const capture::CaptureStatus& st, std::optional<uint64_t> freeBytes) {
    char buf[512];
    std::string name = st.filePath.empty() ? std::string("-") : st.filePath.substr(st.filePath.find_last_of('/') + 1);
    std::snprintf(buf, sizeof buf, "Duration %s  File #%d %s  Dropped %lld  Buffer %d/%d  Free %s%s",
                  capture::durationText(static_cast<int64_t>(st.capturedSeconds)).c_str(), st.fileNumber, name.c_str(),
                  static_cast<long long>(st.droppedFrames), st.bufferFill, st.bufferSlots,
                  capture::freeSpaceText(freeBytes).c_str(), st.paused ? "  (paused)" : "");
    return buf;
}

}  // namespace

int cmdCapture(int argc, char** argv) {
    std::string deviceId, out, reel;
    core::Options options;
    bool fast = false;
    int64_t simDrop = 0;
    const CliOption taken[] = {
        {"--device", {}, true, storeIn(deviceId)},
        {"--out", {}, true, storeIn(out)},
        {core::optionField(&core::Options::splitTrigger).cliName,
         {},
         true,
         [&](const char* v) {
             options.useSplitter = std::string_view(v) != "off";
             if (!options.useSplitter) return 0;
             core::SplitTrigger trigger{};
             const int r = parseSplitTrigger(v, trigger, options.timecodeTriggerFrames, options.dateTimeTriggerSeconds);
             if (r == 0) options.splitTrigger = core::stored(trigger);
             return r;
         }},
        {"--name",
         {},
         true,
         [&](const char* v) {
             core::SplitNameFormat name{};
             const int r = parseSplitNameFormat(v, name);
             if (r == 0) options.splitFileNameFormat = core::stored(name);
             return r;
         }},
        {"--preroll", {}, true, [&](const char* v) { return parsePrerollSeconds(v, options.prerollDelaySeconds); }},
        {"--reel", {}, true, storeIn(reel)},
        {core::optionField(&core::Options::captureAviType).cliName,
         {},
         true,
         [&](const char* v) {
             // The page's numbers are taken as well as the names.
             const core::OptionFieldSpec& row = core::optionField(&core::Options::captureAviType);
             const std::string_view t = v;
             auto n = core::choiceValue(row, t);
             if (!n && t.size() == 1 && core::inFieldRange(row, t[0] - '0')) n = t[0] - '0';
             if (!n) {
                 usage(stderr);
                 return 2;
             }
             options.captureAviType = *n;
             return 0;
         }},
        {"--duration",
         {},
         true,
         [&](const char* v) {
             if (parseDuration(v, options)) return 0;
             printError("Duration must be greater than 00:00:00");
             return 2;
         }},
        {core::optionField(&core::Options::noFramesSeconds).cliName,
         {},
         true,
         [&](const char* v) {
             auto n = parseInt(v);
             options.captureStopMode = core::stored(core::CaptureStopMode::kNoFrames);
             options.noFramesSeconds = n ? static_cast<int>(*n) : core::kNotANumber;
             return 0;
         }},
        {"--fast", {}, false, setFlag(fast)},
        {"--sim-drop",
         {},
         true,
         [&](const char* v) {
             auto n = parseInt(v);
             if (!n || *n < 0) {
                 usage(stderr);
                 return 2;
             }
             simDrop = *n;
             return 0;
         }},
    };
    CommandLine line{usage, taken, OperandForm::kNotAnOption};
    line.dashDashEnds = false;
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (deviceId.empty()) {
        usage(stderr);
        return 2;
    }
    if (auto problem = core::validateCapturePage(options)) {
        printError(problem->message);
        return 2;
    }
    if (auto problem = core::validateSplitterPage(options)) {
        printError(problem->message);
        return 2;
    }

    capture::SimDeckOptions sim;
    sim.pacing = fast ? capture::SimPacing::kAsFastAsPossible : capture::SimPacing::kRealTime;
    sim.playOnStart = true;
    core::Status st;
    auto device = capture::openDevice(deviceId, sim, st);
    if (!device) {
        printError(std::string(capture::kBuildFailedMessage) + "\r\n\r\n" +
                   (st.message.empty() ? "Failed to build capture graph" : st.message));
        return 1;
    }

    capture::CaptureSession session(*device);
    session.setSettings(capture::captureSettingsFrom(options, out, reel));
    capture::FreeSpaceQuery freeQuery = capture::volumeFreeBytes;
    if (auto* deck = dynamic_cast<capture::SimDeck*>(device.get())) {
        freeQuery = deck->freeSpaceQuery();
        if (fast) deck->setReadyGate([&session] { return session.bufferHasRoom(); });
        deck->dropNextFrames(simDrop);
    }
    session.setFreeSpaceQuery(freeQuery);

    st = session.start();
    if (!st) {
        printError(st.message);
        return 1;
    }
    gInterrupted = false;
    // A closed terminal, a shutdown or a service manager stops the capture like Ctrl+C.
    constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
    void (*previous[3])(int);
    for (int i = 0; i < 3; ++i) previous[i] = std::signal(kStopSignals[i], onCaptureInterrupt);
    const bool tty = isatty(STDERR_FILENO);
    auto lastShown = std::chrono::steady_clock::now();
    while (session.running()) {
        if (gInterrupted.load()) {
            session.stop();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        auto now = std::chrono::steady_clock::now();
        if (tty && now - lastShown >= std::chrono::seconds(1)) {
            lastShown = now;
            std::fprintf(stderr, "\r\033[K%s", statusLine(session.status(), freeQuery(out)).c_str());
        }
    }
    st = session.wait();
    for (int i = 0; i < 3; ++i) std::signal(kStopSignals[i], previous[i]);
    if (tty) std::fputs("\r\033[K", stderr);

    capture::CaptureStatus status = session.status();
    if (session.stopReason() == capture::StopReason::kDeviceRemoved)
        printError(std::string(capture::kDeviceRemovedTitle) + ": " + capture::kDeviceRemovedMessage);
    else if (!status.lastError.empty()) printError("Error while capturing: " + status.lastError);

    for (const auto& f : session.files())
        std::printf("%s\t%lld frames%s%s\n", f.path.c_str(), static_cast<long long>(f.frames),
                    f.reel.empty() ? "" : "\treel ", f.reel.c_str());
    if (session.files().empty()) std::printf("No capture files were created because no video frames were encountered\n");
    std::printf("Dropped frames: %lld\nLog: %s\nBatch list: %s\n", static_cast<long long>(status.droppedFrames),
                session.logPath().c_str(), session.batchListPath().c_str());
    if (!st.ok() || !status.lastError.empty()) return 1;
    return status.droppedFrames > 0 ? kExitFramesDropped : 0;
}

int cmdDevices(int argc, char** argv) {
    if (argc > 0) {
        std::fputs("usage: zorv devices\nLists the DV capture devices (FireWire camcorders and decks).\n",
                   std::string_view(argv[0]) == "--help" ? stdout : stderr);
        return std::string_view(argv[0]) == "--help" ? 0 : 2;
    }
    auto devices = capture::enumerateDevices();
    for (const auto& d : devices) std::printf("%s\t%s\t%s\n", d.id.c_str(), d.friendlyName.c_str(), d.description.c_str());
    if (devices.empty())
        std::fprintf(stderr, "No DV capture devices found%s. A DV file can stand in for a deck: --device sim:FILE\n",
                     capture::fireWireAvailable() ? "" : " (FireWire support is not built in)");
    return 0;
}

}  // namespace zorv::cli
