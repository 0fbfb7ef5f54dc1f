// Fuzz target of the terminal's drawing rules: the first byte chooses the view and where a
// view change falls; the rest is received. The HEXA view only ever draws hexadecimal digits,
// blanks and line breaks, three characters or more per byte; the ASCII view never draws more
// characters than it received plus one per line feed, and a backspace never removes a line
// break.
#include "terminal/TerminalRender.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class StringScreen final : public ITerminalScreen {
public:
    std::string text;
    void Append(const std::string& more) override { text += more; }
    bool LastLineEmpty() const override { return text.empty() || text.back() == '\n'; }
    void DeleteLastChar() override {
        if (text.empty() || text.back() == '\n')
            std::abort(); // a line break must never be removed
        text.pop_back();
    }
};

// Draws n bytes in the given view and checks what that view may draw.
void Phase(int view, const uint8_t* data, size_t n, TerminalState& state, StringScreen& screen) {
    SelectView(view, state, screen);
    const size_t start = screen.text.size();
    RenderReceived(data, n, state, screen);
    if (view == 1) {
        const std::string drawn = screen.text.substr(start);
        for (char c : drawn)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ' ' && c != '\r' && c != '\n')
                std::abort();
        if (drawn.size() < 3 * n)
            std::abort();
    } else if (screen.text.size() > start + 2 * n) {
        std::abort(); // at most a line break ("\r\n") per byte
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0)
        return 0;
    TerminalState state;
    StringScreen screen;
    const size_t length = size - 1;
    const size_t split = std::min<size_t>(bytes[0] % size, length);
    Phase(bytes[0] & 1, bytes + 1, split, state, screen);
    Phase((bytes[0] >> 1) & 1, bytes + 1 + split, length - split, state, screen);
    return 0;
}
