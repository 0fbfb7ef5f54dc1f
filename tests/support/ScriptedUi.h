// A scripted UI-services implementation for tests: it records every message box, answers
// expected ones from a queue, and fails the test on a message it did not expect. Every call
// may come from any thread.
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
    // Runs f under the lock (first, so that the inline members below can use it).
    template <class F> auto Locked(F f) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return f();
    }
    template <class T> T Copy(const T& member) const {
        return Locked([&] { return member; });
    }

public:
    CScriptedUi();           // installs itself
    ~CScriptedUi() override; // uninstalls; fails the test if an expected message never came

    // The next message must have this text; it is answered with answer.
    void Expect(const std::string& text, MsgAnswer answer = MsgAnswer::Ok);
    // The paths the next open and save file dialogs answer with; with none queued a dialog
    // is cancelled.
    void QueueOpenFile(const std::string& path) {
        Locked([&] { m_openFiles.push_back(path); });
    }
    void QueueSaveFile(const std::string& path) {
        Locked([&] { m_saveFiles.push_back(path); });
    }
    // Runs while each message box is "open", as a modal box runs the event loop meanwhile.
    void SetWhileShown(std::function<void()> whileShown) {
        Locked([&] { m_whileShown = std::move(whileShown); });
    }

    std::vector<ShownMessage> Shown() const { return Copy(m_shown); }
    std::vector<std::string> OpenedWithShell() const { return Copy(m_opened); }
    // The options of the last save dialog asked for.
    FileDialogOptions LastSaveOptions() const { return Copy(m_lastSave); }
    // Options of every file dialog shown, open and save alike, in order.
    std::vector<FileDialogOptions> FileDialogs() const { return Copy(m_fileDialogs); }

    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::string GetOpenFileName(const FileDialogOptions& options) override {
        return Locked([&] { return Answer(m_openFiles, options); });
    }
    std::string GetSaveFileName(const FileDialogOptions& options) override {
        return Locked([&] {
            m_lastSave = options;
            return Answer(m_saveFiles, options);
        });
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void ShellOpen(const std::string& pathOrUrl) override {
        Locked([&] { m_opened.push_back(pathOrUrl); });
    }

private:
    // Records a file dialog and takes its answer from the queue.
    std::string Answer(std::deque<std::string>& queue, const FileDialogOptions& options);

    mutable std::mutex m_lock;
    std::deque<std::pair<std::string, MsgAnswer>> m_expected;
    std::deque<std::string> m_openFiles;
    std::deque<std::string> m_saveFiles;
    std::vector<ShownMessage> m_shown;
    std::vector<std::string> m_opened;
    FileDialogOptions m_lastSave;
    std::vector<FileDialogOptions> m_fileDialogs;
    std::function<void()> m_whileShown;
};

} // namespace vireo::test
