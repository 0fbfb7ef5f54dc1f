// The firmware transfer's status line on a console. On a terminal one line is rewritten in
// place ("\r"): a bar and the latest status text. Otherwise (a log, a pipe) every status
// change gets a line of its own, except the per-block percentages, of which only the first
// one of each tenth (0 %, 10 %, ... 100 %) is written.
// Only the owner's thread calls it (the transfer runs there).
#pragma once

#include "firmware/FirmwareTransfer.h"

#include <cstdio>
#include <string>

namespace vireo::cli {

// True when the stream is a terminal.
bool IsTerminal(std::FILE* stream);

class CConsoleProgressView final : public ITransferView {
public:
    CConsoleProgressView(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}
    // Ends the rewritten line, so that what follows starts on a line of its own.
    ~CConsoleProgressView() override { Finish(); }
    CConsoleProgressView(const CConsoleProgressView&) = delete;
    CConsoleProgressView& operator=(const CConsoleProgressView&) = delete;

    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    // Ends a rewritten line; further statuses start a new one.
    void Finish();

private:
    void Redraw();
    void PrintLine(const std::string& text);

    std::FILE* m_out;
    bool m_terminal;
    std::string m_status;
    int m_percent = 0;
    int m_lastTenth = -1;
    std::string m_drawnLine; // the line drawn last (terminal)
    size_t m_drawnWidth = 0; // its characters
};

} // namespace vireo::cli
