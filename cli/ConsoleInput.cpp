#include "cli/ConsoleInput.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vireo::cli {

#ifdef _WIN32

struct CConsoleInput::Saved {};

CConsoleInput::CConsoleInput() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    m_terminal = GetConsoleMode(in, &mode) != 0;
    if (m_terminal) {
        m_savedMode = mode;
        m_restore = SetConsoleMode(in, mode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                ENABLE_PROCESSED_INPUT)) != 0;
    }
}

CConsoleInput::~CConsoleInput() {
    if (m_restore)
        SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), static_cast<DWORD>(m_savedMode));
}

int CConsoleInput::Read(uint8_t* buffer, int capacity, int timeoutMs) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD available = 1;
    if (m_terminal) {
        if (WaitForSingleObject(in, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            return 0;
    } else if (GetFileType(in) == FILE_TYPE_PIPE) {
        if (!PeekNamedPipe(in, nullptr, 0, nullptr, &available, nullptr))
            return -1; // the writer has gone
        if (available == 0) {
            Sleep(static_cast<DWORD>(timeoutMs < 10 ? timeoutMs : 10));
            return 0;
        }
    }
    DWORD got = 0;
    if (!ReadFile(in, buffer, static_cast<DWORD>(capacity), &got, nullptr))
        return -1;
    return got == 0 && !m_terminal ? -1 : static_cast<int>(got);
}

#else

struct CConsoleInput::Saved {
    termios settings;
};

CConsoleInput::CConsoleInput() {
    m_terminal = isatty(STDIN_FILENO) == 1;
    termios t{};
    if (!m_terminal || tcgetattr(STDIN_FILENO, &t) != 0)
        return;
    m_saved = std::make_unique<Saved>(Saved{t});
    // Keys one by one, unechoed, untranslated; output processing stays, so that the
    // module's line feeds still start a line on the screen.
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    t.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    m_restore = tcsetattr(STDIN_FILENO, TCSAFLUSH, &t) == 0;
}

CConsoleInput::~CConsoleInput() {
    if (m_restore)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved->settings);
}

int CConsoleInput::Read(uint8_t* buffer, int capacity, int timeoutMs) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&fd, 1, timeoutMs);
    if (ready <= 0)
        return ready < 0 && errno != EINTR ? -1 : 0;
    const ssize_t n = ::read(STDIN_FILENO, buffer, static_cast<size_t>(capacity));
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? 0 : -1;
    return n == 0 ? -1 : static_cast<int>(n);
}

#endif

} // namespace vireo::cli
