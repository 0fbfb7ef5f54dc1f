// The UI-services seam on a console: message boxes become lines on standard error, questions
// get a fixed answer (No unless the verb says otherwise) that is printed beside them, and
// there are no file dialogs and no wait cursor.
#pragma once

#include "platform/UiServices.h"

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vireo::cli {

// A message text for the console: "\r\n" becomes a plain line break.
std::string ConsoleText(const std::string& text);

class CConsoleUi final : public IUiServices {
public:
    explicit CConsoleUi(std::FILE* out = stderr) : m_out(out) {}
    // Each message goes to writeLine instead of a stream (one port among several).
    explicit CConsoleUi(std::function<void(const std::string&)> writeLine)
        : m_out(nullptr), m_writeLine(std::move(writeLine)) {}

    void SetQuestionAnswer(MsgAnswer answer) { m_answer = answer; }

    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::string GetOpenFileName(const FileDialogOptions&) override { return {}; }
    std::string GetSaveFileName(const FileDialogOptions&) override { return {}; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void ShellOpen(const std::string&) override {}

private:
    std::FILE* m_out;
    std::function<void(const std::string&)> m_writeLine;
    MsgAnswer m_answer = MsgAnswer::No;
    std::mutex m_lock;
};

// Installs a console UI for the lifetime of the object: for the process, or for the calling
// thread only.
class CConsoleUiInstall {
public:
    enum class Scope { Process, Thread };
    explicit CConsoleUiInstall(CConsoleUi& ui, Scope scope = Scope::Process) : m_scope(scope) {
        Install(&ui);
    }
    ~CConsoleUiInstall() { Install(nullptr); }
    CConsoleUiInstall(const CConsoleUiInstall&) = delete;
    CConsoleUiInstall& operator=(const CConsoleUiInstall&) = delete;

private:
    void Install(IUiServices* ui) {
        if (m_scope == Scope::Thread)
            InstallThreadUiServices(ui);
        else
            InstallUiServices(ui);
    }
    Scope m_scope;
};

} // namespace vireo::cli
