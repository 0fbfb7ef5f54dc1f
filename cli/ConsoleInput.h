// The keyboard (or whatever feeds standard input) for the raw terminal: on a terminal, keys
// arrive one at a time without echo, line editing or signals, so that Ctrl-C and Enter go to
// the module as the bytes 0x03 and 0x0D; the terminal's settings come back on destruction.
// From a pipe or a file, bytes pass as they are.
#pragma once

#include <cstdint>
#include <memory>

namespace vireo::cli {

class CConsoleInput {
public:
    CConsoleInput();
    ~CConsoleInput();
    CConsoleInput(const CConsoleInput&) = delete;
    CConsoleInput& operator=(const CConsoleInput&) = delete;

    // True when standard input is an interactive terminal.
    bool IsTerminal() const { return m_terminal; }
    // Waits at most timeoutMs for input: the bytes read (up to capacity), 0 when none came,
    // -1 at the end of the input.
    int Read(uint8_t* buffer, int capacity, int timeoutMs);

private:
    bool m_terminal = false;
    bool m_restore = false;
    unsigned long m_savedMode = 0; // Windows console mode
    struct Saved;
    std::unique_ptr<Saved> m_saved; // POSIX terminal settings
};

} // namespace vireo::cli
