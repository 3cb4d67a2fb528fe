// zorv batch --op OPERATION --out DIR [--jobs N] [--yes] FILE...: one operation over a list of files
// with the batch log in the output folder, the log lines on stdout and the progress on stderr.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/burn_checks.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "core/options.h"
#include "playback/overlay_drawer.h"
#include "tools/stream_burn_factory.h"

namespace zorv::cli {

namespace {

std::atomic<bool> gInterrupted{false};

void onInterrupt(int) { gInterrupted.store(true); }

void batchUsage(FILE* out) {
    std::fputs("usage: zorv batch --op OPERATION --out DIR [--jobs N] [--yes] FILE...\n\n"
               "Applies one operation to every FILE, writing the outputs and \"Batch-log.txt\" (or\n"
               "\"Batch-log (N).txt\") into DIR. Files of a type the operation does not take are skipped\n"
               "and logged; no failure stops the job. Exit status 1 when any file failed.\n\n"
               "operations:\n",
               out);
    for (const auto& e : batch::operationList())
        std::fprintf(out, "  %-14s %s%s\n", e.cliName, e.text, batch::changesInputFiles(e.code) ? " (changes the input files)" : "");
    std::fputs("\n  --jobs N   work on up to N files at once (default 1); the log stays in file order\n"
               "  --yes      do not ask before an operation that changes the input files\n"
               "Ctrl+C aborts the job after cancelling the running operation.\n",
               out);
}

const char* warningFor(batch::BatchOp op) {
    switch (op) {
    case batch::BatchOp::kFixPremiere:
        return "WARNING: This operation will make direct changes to the INPUT files.\r\n\r\nAre you SURE you want the "
               "operation to proceed?";
    case batch::BatchOp::kAppendDateToName:
        return "WARNING: This operation will change the file name of the INPUT files.\r\n\r\nAre you SURE you want "
               "the operation to proceed?";
    default:
        return "WARNING: This operation will change the Date Modified property of the INPUT files.\r\n\r\nAre you "
               "SURE you want the operation to proceed?";
    }
}

std::string plainLines(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

int cmdBatch(int argc, char** argv) {
    std::string opName, folder;
    int jobs = 1;
    bool yes = false;
    std::vector<std::string> files;
    for (int i = 0; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            batchUsage(stdout);
            return 0;
        } else if (a == "--op" && hasValue) {
            opName = argv[++i];
        } else if ((a == "--out" || a == "-o") && hasValue) {
            folder = argv[++i];
        } else if (a == "--jobs" && hasValue) {
            auto n = parseInt(argv[++i]);
            if (!n || *n < 1 || *n > 16) {
                printError("--jobs takes a number from 1 to 16");
                return 2;
            }
            jobs = static_cast<int>(*n);
        } else if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (!a.empty() && a[0] != '-') {
            files.emplace_back(argv[i]);
        } else {
            batchUsage(stderr);
            return 2;
        }
    }
    const batch::OperationEntry* op = batch::operationByCliName(opName);
    if (!op) op = batch::operationByText(opName);
    if (!op) {
        if (!opName.empty()) printError("Unknown operation: " + opName);
        batchUsage(stderr);
        return 2;
    }
    if (files.empty()) {
        printError(batch::kFileListEmpty);
        return 2;
    }
    if (const std::string problem = batch::checkOutputFolder(op->code, folder); !problem.empty()) {
        printError(problem);
        return 2;
    }
    if (batch::changesInputFiles(op->code) && !yes) {
        if (!isatty(STDIN_FILENO)) {
            printError(std::string(warningFor(op->code)) + "\r\n(give --yes to proceed without a terminal)");
            return 1;
        }
        std::fprintf(stderr, "%s [y/N] ", plainLines(warningFor(op->code)).c_str());
        std::fflush(stderr);
        char answer[16] = {0};
        if (!std::fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y')) return 1;
    }

    if (op->code == batch::BatchOp::kBurnIn) {
        // HDV and AVCHD files take the first decoder available for them.
        if (auto problem = batch::checkBurnDecoders(batch::fileTypes(files), core::Options::defaults(), false)) {
            printError(problem->title + "\n" + plainLines(problem->text));
            return 1;
        }
    }

    batch::BatchSettings settings;
    settings.op = op->code;
    settings.outputFolder = folder;
    settings.options = core::Options::defaults();
    settings.jobs = jobs;
    if (op->code == batch::BatchOp::kBurnIn) {
        const auto overlay = playback::OverlaySettings::fromOptions(settings.options);
        settings.drawers = playback::overlayDrawerFactory(overlay, playback::LayerFamily::Dv);
        settings.streamBurn = [overlay, options = settings.options](media::FileType type, const std::string& input,
                                                                    const std::string& output, std::string& error) {
            const bool hdv = type == media::FileType::kHdv2;
            return tools::makeStreamBurnJob(
                hdv ? tools::StreamFamily::kHdv : tools::StreamFamily::kAvchd, input, output, options,
                tools::streamBurnChoice(options),
                playback::overlayDrawerFactory(overlay, hdv ? playback::LayerFamily::Hdv : playback::LayerFamily::Avchd),
                error);
        };
    }
    batch::BatchRunner runner(std::move(settings));

    gInterrupted.store(false);
    struct sigaction sa {};
    struct sigaction old {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old);

    const bool terminal = isatty(STDERR_FILENO) != 0;
    bool barShown = false;
    auto clearBar = [&] {
        if (barShown) std::fputs("\r\033[K", stderr);
        barShown = false;
    };
    runner.start(files);
    for (;;) {
        const bool done = !runner.running();
        if (gInterrupted.exchange(false)) runner.abort();
        const auto lines = runner.takeLines();
        if (!lines.empty()) {
            clearBar();
            for (const auto& l : lines) std::printf("%s\n", plainLines(l).c_str());
            std::fflush(stdout);
        }
        if (done) break;
        if (terminal) {
            const batch::BatchSnapshot s = runner.poll();
            std::fprintf(stderr, "\r\033[Kfile %lld/%zu %3d%%  overall %3d%%  %s",
                         static_cast<long long>(s.currentFile + 1), files.size(), s.filePercent, s.overallPercent,
                         s.status.c_str());
            std::fflush(stderr);
            barShown = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    runner.wait();
    for (const auto& l : runner.takeLines()) std::printf("%s\n", plainLines(l).c_str());
    clearBar();
    sigaction(SIGINT, &old, nullptr);

    if (const std::string w = runner.logWarning(); !w.empty()) printError(w);
    if (runner.aborted()) {
        printError(batch::kAbortedText);
        return 1;
    }
    return runner.failedCount() > 0 ? 1 : 0;
}

}  // namespace zorv::cli
