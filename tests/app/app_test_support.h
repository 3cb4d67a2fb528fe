// The main-window tests' offscreen application and a prompt recorder that answers every message box.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

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
