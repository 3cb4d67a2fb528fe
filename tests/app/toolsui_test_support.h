// Shared pieces of the dialog tests: the offscreen application, and a prompt hook that records every
// message box and save dialog and answers them from a script.
#pragma once

#include <QApplication>
#include <QString>
#include <deque>
#include <ostream>
#include <vector>

#include "app/ui_prompts.h"

// Failed expectations print strings as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zorv::app::test {

inline void ensureApplication() {
    if (QApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// Records prompts; message boxes are answered from `buttons` (default: the box's default button, or
// Ok), save dialogs from `paths` (default: the proposed path).
struct PromptRecorder {
    std::vector<Prompt> prompts;
    std::deque<QMessageBox::StandardButton> buttons;
    std::deque<QString> paths;

    PromptRecorder() {
        setPromptHook([this](const Prompt& p) {
            prompts.push_back(p);
            PromptAnswer a;
            if (p.kind == PromptKind::kSaveFile) {
                a.path = paths.empty() ? p.proposedPath : paths.front();
                if (!paths.empty()) paths.pop_front();
            } else if (!buttons.empty()) {
                a.button = buttons.front();
                buttons.pop_front();
            } else {
                a.button = p.defaultButton != QMessageBox::NoButton ? p.defaultButton : QMessageBox::Ok;
            }
            return a;
        });
    }
    ~PromptRecorder() { setPromptHook({}); }

    std::vector<QString> messages() const {
        std::vector<QString> m;
        for (const Prompt& p : prompts)
            if (p.kind == PromptKind::kMessage) m.push_back(p.text);
        return m;
    }
    QString lastMessage() const {
        for (auto it = prompts.rbegin(); it != prompts.rend(); ++it)
            if (it->kind == PromptKind::kMessage) return it->text;
        return QString();
    }
};

}  // namespace zorv::app::test
