// The terminal's drawing rules on a plain text screen.
#include "terminal/TerminalRender.h"

#include <gtest/gtest.h>

namespace {

class StringScreen : public ITerminalScreen {
public:
    void Append(const std::string& t) override {
        text += t;
        ++appends;
    }
    bool LastLineEmpty() const override { return text.empty() || text.back() == '\n'; }
    void DeleteLastChar() override { text.pop_back(); }
    std::string text;
    int appends = 0;
};

void Receive(const std::string& bytes, TerminalState& state, StringScreen& screen) {
    RenderReceived(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), state, screen);
}

TEST(TerminalRender, AsciiViewHidesCarriageReturnsAndKeepsLineBreaks) {
    const struct {
        std::string before, bytes, after;
    } cases[] = {
        {"", "AB\r\nC", "AB\r\nC"},
        {"", "\r", ""},
        {"x", "\n", "x\r\n"},
        {"abc", "\b", "ab"},        // backspace deletes the last character of the line
        {"ab\r\n", "\b", "ab\r\n"}, // but never a line break
        {"", "12\b3", "13"},        // inside a batch too
        {"", std::string("\x01\xff", 2), std::string("\x01\xff", 2)},
    };
    for (const auto& c : cases) {
        StringScreen screen;
        screen.text = c.before;
        TerminalState state;
        Receive(c.bytes, state, screen);
        EXPECT_EQ(c.after, screen.text) << c.bytes;
    }
    StringScreen screen; // a megabyte without a line end is one insertion too
    TerminalState state;
    Receive(std::string(1 << 20, 'x'), state, screen);
    EXPECT_EQ(size_t{1} << 20, screen.text.size());
    EXPECT_EQ(1, screen.appends);
}

TEST(TerminalRender, HexaViewGroupsEightAndBreaksAfterSixteen) {
    StringScreen screen;
    TerminalState state;
    SelectView(1, state, screen);
    std::string bytes;
    for (char c = 0x41; c < 0x41 + 20; ++c)
        bytes += c;
    bytes[3] = '\r'; // every byte value is shown, line ends too
    Receive(bytes, state, screen);
    EXPECT_EQ("41 42 43 0D 45 46 47 48   49 4A 4B 4C 4D 4E 4F 50 \r\n51 52 53 54 ", screen.text);
    EXPECT_EQ(1, screen.appends); // one insertion per batch
}

TEST(TerminalRender, ViewChangesKeepOrRestartTheByteCount) {
    StringScreen screen;
    TerminalState state;
    SelectView(1, state, screen);
    EXPECT_EQ("", screen.text); // an empty last line needs no break
    Receive("12345", state, screen);
    screen.text.clear(); // Clear Screen keeps the count
    Receive(std::string(11, 'z'), state, screen);
    EXPECT_EQ("\r\n", screen.text.substr(screen.text.size() - 2));
    SelectView(0, state, screen);
    Receive("hi", state, screen);
    SelectView(1, state, screen); // the text ends in "hi": HEXA starts on a new line
    EXPECT_EQ("hi\r\n", screen.text.substr(screen.text.size() - 4));
    EXPECT_EQ(0, state.hexCount);
}

TEST(TerminalRender, TypedCharactersEchoByTheirOwnRules) {
    StringScreen screen;
    TerminalState state;
    for (uint8_t c : {'a', 'b', '\r', '\b', 'c', '\b'})
        RenderTyped(c, state, screen);
    EXPECT_EQ("ab\r\n", screen.text); // Enter breaks the line; a backspace not past it
}

TEST(TerminalRender, ExportNamesAreLowerCaseTextFilesInTheChosenFolder) {
    EXPECT_EQ("/home/u/log.txt", ExportFilePath("/home/u/Log.TXT"));
    EXPECT_EQ("/Home/capture.txt", ExportFilePath("/Home/capture"));
    EXPECT_EQ("a.log.txt", ExportFilePath("a.log"));
    EXPECT_EQ("C:\\Logs\\x.txt", ExportFilePath("C:\\Logs\\X"));
}

} // namespace
