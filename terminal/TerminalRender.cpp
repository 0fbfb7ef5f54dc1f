#include "terminal/TerminalRender.h"

#include <cctype>
#include <cstdio>

namespace {

void AppendHexa(uint8_t byte, TerminalState& state, std::string& out) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", byte);
    out += text;
    ++state.hexCount;
    if (state.hexCount % 16 == 0)
        out += "\r\n";
    else if (state.hexCount % 8 == 0)
        out += "  ";
}

void Backspace(ITerminalScreen& screen) {
    if (!screen.LastLineEmpty())
        screen.DeleteLastChar(); // a backspace never removes a line break
}

} // namespace

void RenderReceived(const uint8_t* bytes, size_t length, TerminalState& state,
                    ITerminalScreen& screen) {
    std::string out;
    out.reserve(state.viewMode == 1 ? length * 3 + length / 4 : length + length / 8);
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        if (state.viewMode == 1) {
            AppendHexa(b, state, out);
        } else if (b == '\n') {
            out += "\r\n";
        } else if (b == '\b') {
            if (!out.empty())
                screen.Append(out);
            out.clear();
            Backspace(screen);
        } else if (b != '\r') {
            out += static_cast<char>(b);
        }
    }
    if (!out.empty())
        screen.Append(out);
}

void RenderTyped(uint8_t character, TerminalState& state, ITerminalScreen& screen) {
    std::string out;
    if (state.viewMode == 1)
        AppendHexa(character, state, out);
    else if (character == '\r')
        out = "\r\n";
    else if (character == '\b')
        return Backspace(screen);
    else
        out = std::string(1, static_cast<char>(character));
    screen.Append(out);
}

void SelectView(int viewMode, TerminalState& state, ITerminalScreen& screen) {
    state.viewMode = viewMode;
    if (viewMode == 0)
        state.hexCount = 0;
    else if (!screen.LastLineEmpty())
        screen.Append("\r\n");
}

std::string ExportFilePath(const std::string& chosenPath) {
    const size_t slash = chosenPath.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : chosenPath.substr(0, slash + 1);
    std::string name = chosenPath.substr(folder.size());
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
        name += ".txt";
    return folder + name;
}
