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
    Locked([&] { m_expected.emplace_back(text, answer); });
}

MsgAnswer CScriptedUi::MessageBox(const std::string& text, const std::string& caption,
                                  MsgButtons buttons, MsgIcon icon) {
    const std::function<void()> whileShown = Locked([&] {
        m_shown.push_back({text, caption, buttons, icon});
        return m_whileShown;
    });
    if (whileShown)
        whileShown();
    std::lock_guard<std::mutex> guard(m_lock);
    const MsgAnswer fallback = buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected message: \"" << text << "\"";
        return fallback;
    }
    const auto [expected, answer] = m_expected.front();
    m_expected.pop_front();
    EXPECT_EQ(expected, text);
    return expected == text ? answer : fallback;
}

std::string CScriptedUi::Answer(std::deque<std::string>& queue, const FileDialogOptions& options) {
    m_fileDialogs.push_back(options);
    if (queue.empty())
        return {};
    std::string path = queue.front();
    queue.pop_front();
    return path;
}

} // namespace vireo::test
