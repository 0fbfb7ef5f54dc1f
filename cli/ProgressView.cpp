#include "cli/ProgressView.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vireo::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr char kPercentSuffix[] = "% Completed!";

// The per-block status "12.34% Completed!".
bool IsPercentStatus(const std::string& text) {
    const std::string suffix = kPercentSuffix;
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void CStreamProgressLines::Rewrite(const std::string& line) {
    std::string shown = line;
    if (shown.size() < m_drawnWidth)
        shown += std::string(m_drawnWidth - shown.size(), ' '); // wipe the rest of a longer line
    std::fprintf(m_out, "\r%s", shown.c_str());
    std::fflush(m_out);
    m_drawnWidth = line.size();
}

void CStreamProgressLines::Print(const std::string& line) {
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

void CStreamProgressLines::EndRewrite() {
    if (m_drawnWidth > 0) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }
    m_drawnWidth = 0;
}

void CConsoleProgressView::SetStatus(const std::string& text) {
    if (m_terminal) {
        m_status = text;
        Redraw();
        return;
    }
    if (IsPercentStatus(text)) {
        // The text's own figure decides, so that the last line says 100.00%.
        const int tenth = static_cast<int>(std::strtod(text.c_str(), nullptr) / 10.0);
        if (tenth <= m_lastTenth)
            return;
        m_lastTenth = tenth;
    } else if (text == m_status) {
        return;
    }
    m_status = text;
    m_lines.Print(text);
}

void CConsoleProgressView::SetProgress(int percent) {
    m_percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (m_terminal)
        Redraw();
}

void CConsoleProgressView::Finish() {
    if (m_terminal && !m_drawnLine.empty())
        m_lines.EndRewrite();
    m_drawnLine.clear();
}

void CConsoleProgressView::Redraw() {
    const int filled = m_percent * kBarWidth / 100;
    std::string line = "[";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kBarWidth - filled), '.');
    line.append("] ").append(m_status);
    if (line == m_drawnLine)
        return;
    m_drawnLine = line;
    m_lines.Rewrite(line);
}

} // namespace vireo::cli
