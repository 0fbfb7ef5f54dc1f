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

// Where a progress view's lines go: a stream, or one port's line among several.
class IProgressLines {
public:
    virtual ~IProgressLines() = default;
    // Terminal: replaces the line drawn last.
    virtual void Rewrite(const std::string& line) = 0;
    // Log: a line of its own.
    virtual void Print(const std::string& line) = 0;
    // Terminal: what follows starts on a line of its own.
    virtual void EndRewrite() = 0;
};

// The lines on a stream: "\r" and the line, blanks over the rest of a longer one.
class CStreamProgressLines final : public IProgressLines {
public:
    explicit CStreamProgressLines(std::FILE* out) : m_out(out) {}
    void Rewrite(const std::string& line) override;
    void Print(const std::string& line) override;
    void EndRewrite() override;

private:
    std::FILE* m_out;
    size_t m_drawnWidth = 0; // characters of the line drawn last
};

class CConsoleProgressView final : public ITransferView {
public:
    CConsoleProgressView(std::FILE* out, bool terminal)
        : m_stream(out), m_lines(m_stream), m_terminal(terminal) {}
    // Writes to lines, which outlive the view.
    CConsoleProgressView(IProgressLines& lines, bool terminal)
        : m_stream(nullptr), m_lines(lines), m_terminal(terminal) {}
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

    CStreamProgressLines m_stream; // unused when the view writes elsewhere
    IProgressLines& m_lines;
    bool m_terminal;
    std::string m_status;
    int m_percent = 0;
    int m_lastTenth = -1;
    std::string m_drawnLine; // the line drawn last (terminal)
};

} // namespace vireo::cli
