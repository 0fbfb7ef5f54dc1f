// How the terminal draws the line's bytes, without a widget: the ASCII view (carriage return
// hidden, line feed a line break, backspace deleting the last character of a non-empty last
// line) and the HEXA view ("%02X " per byte, two spaces after every eighth, a line break after
// every sixteenth). A received batch reaches the screen as one append; only a backspace
// splits it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The screen the renderer draws on.
class ITerminalScreen {
public:
    virtual ~ITerminalScreen() = default;
    virtual void Append(const std::string& text) = 0;
    // True when the screen's last line holds no character.
    virtual bool LastLineEmpty() const = 0;
    virtual void DeleteLastChar() = 0;
};

struct TerminalState {
    int viewMode = 0; // 0 ASCII, 1 HEXA
    int hexCount = 0; // bytes drawn in the HEXA view since the ASCII view was last chosen
};

// A received batch, drawn by the current view.
void RenderReceived(const uint8_t* bytes, size_t length, TerminalState& state,
                    ITerminalScreen& screen);
// A character the user typed, drawn when local echo is on (Enter is a line break).
void RenderTyped(uint8_t character, TerminalState& state, ITerminalScreen& screen);
// Choosing a view: HEXA output starts on a line of its own; ASCII restarts the byte count.
void SelectView(int viewMode, TerminalState& state, ITerminalScreen& screen);

// The file an export writes: the chosen name in lower case, with ".txt" added unless it ends
// so, in the chosen folder.
std::string ExportFilePath(const std::string& chosenPath);
