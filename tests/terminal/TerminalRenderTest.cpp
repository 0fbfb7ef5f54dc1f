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

// Rows marked typed go through the local echo one character at a time.
TEST(TerminalRender, AsciiViewHidesCarriageReturnsAndBackspacesStopAtALineBreak) {
    const struct {
        std::string before, bytes, after;
        bool typed = false;
    } cases[] = {
        {"", "AB\r\nC", "AB\r\nC"},
        {"x", "\n", "x\r\n"},
        {"abc", "\b", "ab"},
        {"ab\r\n", "\b", "ab\r\n"},
        {"", "12\b3", "13"}, // inside a batch too
        {"", std::string("\x01\xff", 2), std::string("\x01\xff", 2)},
        {"", "ab\r\bc\b", "ab\r\n", true}, // Enter breaks the line
    };
    for (const auto& c : cases) {
        StringScreen screen;
        screen.text = c.before;
        TerminalState state;
        if (c.typed) {
            for (char ch : c.bytes)
                RenderTyped(static_cast<uint8_t>(ch), state, screen);
        } else {
            Receive(c.bytes, state, screen);
        }
        EXPECT_EQ(c.after, screen.text) << c.bytes;
        if (!c.typed && c.bytes.find('\b') == std::string::npos) {
            EXPECT_LE(screen.appends, 1) << c.bytes; // one insertion per batch
        }
    }
}

TEST(TerminalRender, HexaViewGroupsEightAndBreaksAfterSixteenAcrossBatches) {
    StringScreen screen;
    screen.text = "hi";
    TerminalState state;
    SelectView(1, state, screen);                    // HEXA starts on a line of its own
    Receive("ABC\rEFGHIJKLMNOPQRST", state, screen); // every byte value is shown, CR too
    EXPECT_EQ("hi\r\n41 42 43 0D 45 46 47 48   49 4A 4B 4C 4D 4E 4F 50 \r\n51 52 53 54 ",
              screen.text);
    EXPECT_EQ(2, screen.appends); // the line break, then one insertion for the batch
    screen.text.clear();          // Clear Screen keeps the count
    Receive(std::string(12, 'z'), state, screen);
    EXPECT_EQ("\r\n", screen.text.substr(screen.text.size() - 2));
    const std::string shown = screen.text;
    SelectView(1, state, screen); // an empty last line needs no break
    EXPECT_EQ(shown, screen.text);
    SelectView(0, state, screen); // ASCII restarts the count
    EXPECT_EQ(0, state.hexCount);
}

TEST(TerminalRender, ExportNamesAreLowerCaseTextFilesInTheChosenFolder) {
    EXPECT_EQ("/home/u/log.txt", ExportFilePath("/home/u/Log.TXT"));
    EXPECT_EQ("/Home/capture.txt", ExportFilePath("/Home/capture"));
    EXPECT_EQ("a.log.txt", ExportFilePath("a.log"));
    EXPECT_EQ("C:\\Logs\\x.txt", ExportFilePath("C:\\Logs\\X"));
}

} // namespace
