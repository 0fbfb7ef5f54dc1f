#include "cli/ConsoleUi.h"
#include "cli/Interrupt.h"

#include <algorithm>

namespace vireo::cli {

std::string ConsoleText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

MsgAnswer CConsoleUi::MessageBox(const std::string& text, const std::string& /*caption*/,
                                 MsgButtons buttons, MsgIcon /*icon*/) {
    std::lock_guard<std::mutex> guard(m_lock);
    const bool question = buttons == MsgButtons::YesNo;
    const MsgAnswer answer = question ? m_answer : MsgAnswer::Ok;
    // After Ctrl-C the core's waits end early and it reports failures that never happened.
    if (Interrupted())
        return question ? MsgAnswer::No : MsgAnswer::Ok;
    std::string line = ConsoleText(text);
    if (question)
        line += answer == MsgAnswer::Yes ? " Yes" : " No";
    if (m_writeLine) {
        m_writeLine(line);
        return answer;
    }
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
    return answer;
}

} // namespace vireo::cli
