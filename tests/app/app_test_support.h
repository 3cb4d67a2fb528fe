// The main-window tests' offscreen application and a prompt recorder that answers every message box.
#pragma once

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "app/ui_prompts.h"

namespace zorv::app::apptest {

inline void ensureQtApplication() {
    if (QApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ZORV_NO_AUDIO", "1");
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// A new folder for the running test: temp/PREFIX-PID-TESTNAME (the test removes it).
inline std::filesystem::path testFolder(const std::string& prefix) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        (prefix + "-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    return dir;
}

// Runs the event loop until cond holds or the limit passes.
inline bool pumpUntil(const std::function<bool()>& cond, int limitMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct Prompts {
    std::vector<Prompt> seen;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    Prompts() {
        setPromptHook([this](const Prompt& p) {
            seen.push_back(p);
            PromptAnswer a;
            a.button = answer;
            a.path = p.proposedPath;
            return a;
        });
    }
    ~Prompts() { setPromptHook({}); }
};

}  // namespace zorv::app::apptest
