#include "cli/ProgressBoard.h"

#include <algorithm>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace vireo::cli {

namespace {

constexpr size_t kDefaultColumns = 80;
constexpr size_t kDefaultRows = 24;

struct TerminalSize {
    size_t columns = kDefaultColumns;
    size_t rows = kDefaultRows;
};

TerminalSize SizeOf(std::FILE* out) {
    TerminalSize size;
#ifndef _WIN32
    winsize ws{};
    if (ioctl(fileno(out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        size.columns = ws.ws_col;
        size.rows = ws.ws_row;
    }
#else
    (void)out;
#endif
    return size;
}

} // namespace

bool CProgressBoard::CanDrawBlock(std::FILE* out) {
    if (!IsTerminal(out))
        return false;
#ifdef _WIN32
    // A console draws escape sequences only once asked to.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    DWORD mode = 0;
    constexpr DWORD kVirtualTerminal = 0x0004;
    return GetConsoleMode(handle, &mode) && SetConsoleMode(handle, mode | kVirtualTerminal);
#else
    return true;
#endif
}

CProgressBoard::CProgressBoard(std::FILE* out, bool terminal, std::vector<std::string> names)
    : m_out(out), m_terminal(terminal), m_names(std::move(names)), m_lines(m_names.size()) {
    const TerminalSize size = terminal ? SizeOf(out) : TerminalSize{};
    m_columns = size.columns;
    // The cursor cannot go back up to lines that scrolled off the screen: more ports than
    // fit are reported as in a log.
    if (m_names.size() >= size.rows)
        m_terminal = false;
}

// On a terminal a line is cut to its width: a longer one would wrap.
std::string CProgressBoard::Fit(std::string line) const {
    if (m_terminal && line.size() >= m_columns)
        line.resize(m_columns - 1);
    return line;
}

// "COM3  text" on the block, "COM3: text" in a log.
std::string CProgressBoard::Shown(size_t port, const std::string& text,
                                  const char* separator) const {
    return Fit(m_names[port] + separator + text);
}

// From the block's first line down; every line is wiped to its end ("ESC [K").
void CProgressBoard::DrawBlock() {
    for (size_t i = 0; i < m_lines.size(); ++i)
        std::fprintf(m_out, "\r%s\x1b[K\n", Shown(i, m_lines[i], "  ").c_str());
    m_drawn = true;
}

void CProgressBoard::SetLine(size_t port, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_terminal || m_finished || port >= m_lines.size() || m_lines[port] == text)
        return;
    m_lines[port] = text;
    if (!m_drawn) {
        DrawBlock();
    } else {
        // Up to the port's line ("ESC [nA"), rewrite it, and back down ("ESC [nB").
        const size_t up = m_lines.size() - port;
        std::fprintf(m_out, "\x1b[%zuA\r%s\x1b[K\x1b[%zuB\r", up, Shown(port, text, "  ").c_str(),
                     up);
    }
    std::fflush(m_out);
}

void CProgressBoard::Print(size_t port, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (port >= m_names.size())
        return;
    const bool redraw = m_terminal && m_drawn && !m_finished;
    if (redraw)
        std::fprintf(m_out, "\x1b[%zuA", m_lines.size()); // to the block's first line
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find('\n', begin);
        const std::string line = text.substr(begin, end - begin);
        // A line that names the port itself ("COM5: no such device", "COM5 (/dev/...): busy")
        // is not given the name a second time.
        const std::string& name = m_names[port];
        const bool named = line.rfind(name + ":", 0) == 0 || line.rfind(name + " (", 0) == 0;
        const std::string shown = named ? Fit(line) : Shown(port, line, ": ");
        std::fprintf(m_out, "%s%s%s\n", m_terminal ? "\r" : "", shown.c_str(),
                     redraw ? "\x1b[K" : "");
        if (end == std::string::npos)
            break;
        begin = end + 1;
    }
    if (redraw)
        DrawBlock();
    std::fflush(m_out);
}

void CProgressBoard::Finish() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_finished = true;
}

} // namespace vireo::cli
