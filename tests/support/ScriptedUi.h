// A scripted UI-services implementation for tests: it records every message box, answers
// expected ones from a queue, and fails the test on a message it did not expect.
#pragma once

#include "platform/UiServices.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vireo::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    MsgButtons buttons;
    MsgIcon icon;
};

class CScriptedUi final : public IUiServices {
public:
    CScriptedUi();           // installs itself
    ~CScriptedUi() override; // uninstalls; fails the test if an expected message never came

    // The next message must have this text; it is answered with answer.
    void Expect(const std::string& text, MsgAnswer answer = MsgAnswer::Ok);
    void QueueOpenFile(const std::string& path);
    // Runs while each message box is "open", as a modal box runs the event loop meanwhile.
    void SetWhileShown(std::function<void()> whileShown);
    void QueueSaveFile(const std::string& path);

    std::vector<ShownMessage> Shown() const;
    int WaitCursorDepth() const;
    int WaitCursorUses() const;
    std::vector<std::string> OpenedWithShell() const;
    // The options of the last save dialog asked for.
    FileDialogOptions LastSaveOptions() const;
    // Options of every file dialog shown, open and save alike, in order.
    std::vector<FileDialogOptions> FileDialogs() const;

    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::string GetOpenFileName(const FileDialogOptions& options) override;
    std::string GetSaveFileName(const FileDialogOptions& options) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShellOpen(const std::string& pathOrUrl) override;

private:
    mutable std::mutex m_lock;
    std::deque<std::pair<std::string, MsgAnswer>> m_expected;
    std::deque<std::string> m_openFiles;
    std::deque<std::string> m_saveFiles;
    std::vector<ShownMessage> m_shown;
    std::vector<std::string> m_opened;
    FileDialogOptions m_lastSave;
    std::vector<FileDialogOptions> m_fileDialogs;
    std::function<void()> m_whileShown;
    int m_waitDepth = 0;
    int m_waitUses = 0;
};

} // namespace vireo::test
