// Fuzz target of the terminal's drawing rules: the first byte chooses the view and where a
// view change falls; the rest is received. The HEXA view only ever draws hexadecimal digits,
// blanks and line breaks, three characters or more per byte; the ASCII view never draws more
// characters than it received plus one per line feed, and a backspace never removes a line
// break.
#include "terminal/TerminalRender.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0)
        return 0;
    TerminalState state;
    StringScreen screen;
    const size_t split = bytes[0] % size;
    const uint8_t* data = bytes + 1;
    const size_t length = size - 1;
    SelectView(bytes[0] & 1, state, screen);
    const size_t before = std::min(split, length);
    RenderReceived(data, before, state, screen);
    SelectView((bytes[0] >> 1) & 1, state, screen);
    const size_t start = screen.text.size();
    RenderReceived(data + before, length - before, state, screen);
    const std::string drawn = screen.text.substr(std::min(start, screen.text.size()));
    if (state.viewMode == 1) {
        for (char c : drawn)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ' ' && c != '\r' && c != '\n')
                std::abort();
        if (drawn.size() < 3 * (length - before))
            std::abort();
    } else if (screen.text.size() > 2 * length + 2) {
        std::abort();
    }
    return 0;
}
