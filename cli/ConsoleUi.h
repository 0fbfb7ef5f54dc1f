// The UI-services seam on a console: message boxes become lines on standard error, questions
// get a fixed answer (No unless the verb says otherwise) that is printed beside them, and
// there are no file dialogs and no wait cursor. It keeps the texts it was given, so that a
// verb can tell which of the core's failures happened.
#pragma once

#include "platform/UiServices.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace vireo::cli {

// A message text for the console: "\r\n" becomes a plain line break.
std::string ConsoleText(const std::string& text);

class CConsoleUi final : public IUiServices {
public:
    explicit CConsoleUi(std::FILE* out = stderr) : m_out(out) {}

    void SetQuestionAnswer(MsgAnswer answer) { m_answer = answer; }
    // True when a message or question with exactly this text was shown.
    bool WasShown(const std::string& text) const;

    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::string GetOpenFileName(const FileDialogOptions&) override { return {}; }
    std::string GetSaveFileName(const FileDialogOptions&) override { return {}; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void ShellOpen(const std::string&) override {}

private:
    std::FILE* m_out;
    MsgAnswer m_answer = MsgAnswer::No;
    mutable std::mutex m_lock;
    std::vector<std::string> m_shown;
};

// Installs a console UI for the lifetime of the object.
class CConsoleUiInstall {
public:
    explicit CConsoleUiInstall(CConsoleUi& ui) { InstallUiServices(&ui); }
    ~CConsoleUiInstall() { InstallUiServices(nullptr); }
    CConsoleUiInstall(const CConsoleUiInstall&) = delete;
    CConsoleUiInstall& operator=(const CConsoleUiInstall&) = delete;
};

} // namespace vireo::cli
