#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

namespace vireo::test {

CScriptedUi::CScriptedUi() {
    InstallUiServices(this);
}

CScriptedUi::~CScriptedUi() {
    InstallUiServices(nullptr);
    for (const auto& [text, answer] : m_expected)
        ADD_FAILURE() << "expected message never shown: \"" << text << "\"";
}

void CScriptedUi::Expect(const std::string& text, MsgAnswer answer) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_expected.emplace_back(text, answer);
}

void CScriptedUi::QueueOpenFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_openFiles.push_back(path);
}

void CScriptedUi::QueueSaveFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_saveFiles.push_back(path);
}

std::vector<ShownMessage> CScriptedUi::Shown() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_shown;
}

int CScriptedUi::WaitCursorDepth() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_waitDepth;
}

int CScriptedUi::WaitCursorUses() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_waitUses;
}

std::vector<std::string> CScriptedUi::OpenedWithShell() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_opened;
}

void CScriptedUi::SetWhileShown(std::function<void()> whileShown) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_whileShown = std::move(whileShown);
}

MsgAnswer CScriptedUi::MessageBox(const std::string& text, const std::string& caption,
                                  MsgButtons buttons, MsgIcon icon) {
    std::function<void()> whileShown;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_shown.push_back({text, caption, buttons, icon});
        whileShown = m_whileShown;
    }
    if (whileShown)
        whileShown();
    std::lock_guard<std::mutex> guard(m_lock);
    const MsgAnswer fallback = buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected message: \"" << text << "\"";
        return fallback;
    }
    auto [expected, answer] = m_expected.front();
    m_expected.pop_front();
    EXPECT_EQ(expected, text);
    return expected == text ? answer : fallback;
}

std::vector<FileDialogOptions> CScriptedUi::FileDialogs() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_fileDialogs;
}

std::string CScriptedUi::GetOpenFileName(const FileDialogOptions& options) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fileDialogs.push_back(options);
    if (m_openFiles.empty())
        return {};
    std::string path = m_openFiles.front();
    m_openFiles.pop_front();
    return path;
}

FileDialogOptions CScriptedUi::LastSaveOptions() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastSave;
}

std::string CScriptedUi::GetSaveFileName(const FileDialogOptions& options) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_lastSave = options;
    m_fileDialogs.push_back(options);
    if (m_saveFiles.empty())
        return {};
    std::string path = m_saveFiles.front();
    m_saveFiles.pop_front();
    return path;
}

void CScriptedUi::BeginWaitCursor() {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_waitDepth;
    ++m_waitUses;
}

void CScriptedUi::EndWaitCursor() {
    std::lock_guard<std::mutex> guard(m_lock);
    --m_waitDepth;
}

void CScriptedUi::ShellOpen(const std::string& pathOrUrl) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_opened.push_back(pathOrUrl);
}

} // namespace vireo::test
