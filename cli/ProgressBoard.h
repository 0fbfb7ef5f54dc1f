// The console of a command that works on several ports at once, shared by their threads.
// On a terminal each port owns one line of a block at the bottom, redrawn in place; a
// message goes above the block, which is drawn again below it. (When the block would not
// fit on the screen, the board writes as into a log.) Otherwise (a log, a pipe)
// every line is written as it comes, after the port's name ("COM3: ..."). Whole lines only:
// the lines of two ports never mix.
// Any thread may call it.
#pragma once

#include "cli/ProgressView.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace vireo::cli {

class CProgressBoard {
public:
    // True when out is a terminal that understands the cursor movements of the block.
    static bool CanDrawBlock(std::FILE* out);

    // names: the ports, in the order of the block's lines.
    CProgressBoard(std::FILE* out, bool terminal, std::vector<std::string> names);
    ~CProgressBoard() { Finish(); }
    CProgressBoard(const CProgressBoard&) = delete;
    CProgressBoard& operator=(const CProgressBoard&) = delete;

    bool Terminal() const { return m_terminal; }
    // Terminal: the port's line becomes text. Log: nothing.
    void SetLine(size_t port, const std::string& text);
    // A message of the port, each line of text after its name.
    void Print(size_t port, const std::string& text);
    // Terminal: leaves the block as it is, the cursor below it; nothing more is drawn.
    void Finish();

private:
    std::string Fit(std::string line) const;
    std::string Shown(size_t port, const std::string& text, const char* separator) const;
    void DrawBlock();

    std::FILE* m_out;
    bool m_terminal;
    std::vector<std::string> m_names;
    std::vector<std::string> m_lines; // the text of each port's line
    size_t m_columns = 0;             // terminal width; longer lines would wrap
    bool m_drawn = false;             // the block is on the screen, the cursor below it
    bool m_finished = false;
    std::mutex m_lock;
};

// One port's lines of a board, for a progress view.
class CBoardProgressLines final : public IProgressLines {
public:
    CBoardProgressLines(CProgressBoard& board, size_t port) : m_board(board), m_port(port) {}
    void Rewrite(const std::string& line) override { m_board.SetLine(m_port, line); }
    void Print(const std::string& line) override { m_board.Print(m_port, line); }
    void EndRewrite() override {}

private:
    CProgressBoard& m_board;
    size_t m_port;
};

} // namespace vireo::cli
