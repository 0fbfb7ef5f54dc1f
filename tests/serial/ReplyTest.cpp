// Transactions whose replies reach the ring piece by piece,
// one piece before each poll (no port is involved, so every split is exact), from a module
// that misbehaves on purpose: blanks after its words, odd line ends, bytes that are no text,
// floods that never stop. Every transaction must end on its reply word or at its time-out
// (plus the few polls a word may wait for its line end), and cut the right value.
#include "serial/DeviceLink.h"
#include "serial/ReplyWords.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>

using namespace std::string_literals;

namespace {

constexpr int kPollsOfOneSecond = 100;
constexpr int kLineEndPolls = 5; // polls a reply word may wait for its line end

class PiecewiseTest : public ::testing::Test {
protected:
    PiecewiseTest() {
        link.m_bPortOpen = 1;
        link.m_sleep = [this](int) {
            ++polls;
            if (pieces.empty() && more)
                pieces.push_back(more());
            if (!pieces.empty()) {
                link.m_serial.m_rxRing.PutBurst(
                    reinterpret_cast<const uint8_t*>(pieces.front().data()), pieces.front().size());
                pieces.pop_front();
            }
        };
    }
    void Deliver(std::deque<std::string> next) {
        pieces = std::move(next);
        polls = 0;
    }
    vireo::test::CScriptedUi ui;
    CDeviceLink link;
    std::deque<std::string> pieces;
    std::function<std::string()> more; // makes the next piece when they run out
    int polls = 0;
};

TEST_F(PiecewiseTest, TransactionsEndOnTheirWordOrTheirTimeOut) {
    const struct {
        const char* command;
        const char* reply; // all of it before the first poll
        int timeout;
        int sent;          // result of SendCommand; -1: not checked
        const char* value; // result of QueryCommand
        int polls;         // 100 a second
    } cases[] = {
        {"AT+X\r\n", "\r\nERROR\r\nOK\r\n", 1, 1, "ERROR", 1},
        {"AT+BAD\r\n", "\r\nERROR\r\n", 3, 0, "ERROR", 1},
        {"ATR1\r\n", "", 3, 0, "ERROR", 300},
        {"AT+VERSION\r\n", "\r\nv1.1.0\r\n\r\nOK\r\n", 1, 1, "v1.1.0", 1},
        // A word waits a few polls for its line end, then counts.
        {"AT+VERSION\r\n", "\r\nv1\r\n\r\nOK", 1, 1, "v1", 1 + kLineEndPolls},
        // Bootloader words end only the commands that expect them, and only a query.
        {"AT+BOOTLOAD\n", "\r\nBootloader ENTER\r\n", 2, -1, "ENTER", 1},
        {"at+bootload\r\n", "\r\nBootloader ENTER\r\n", 2, -1, "ENTER", 1},
        {"AT+BOOTLOAD=1,0011\r\n", "\r\nfirmware.ebl Start\r\n", 2, -1, "START", 1},
        {"AT+BOOTLOAD=1,0011\r\n", "\r\nBootloader ENTER\r\n", 1, -1, "ERROR", 100},
        {"AT+NODENAME\r\n", "\r\nBootloader ENTER\r\n", 1, 0, "ERROR", 100},
        {"AT+BOOTLOADX\r\n", "\r\nBootloader ENTER\r\n", 1, 0, "ERROR", 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " answered "s + c.reply);
        if (c.sent >= 0) {
            Deliver({c.reply});
            EXPECT_EQ(c.sent, link.SendCommand(c.command, c.timeout));
            EXPECT_EQ(c.polls, polls);
        }
        Deliver({c.reply});
        EXPECT_EQ(c.value, link.QueryCommand(c.command, c.timeout));
        EXPECT_EQ(c.polls, polls);
    }
    Deliver({"\r\nBootloader ENTER\r\n"});
    EXPECT_EQ("ERROR", link.QueryRemoteCommand("AT+BOOTLOAD\n", 1, "00"));
    EXPECT_EQ(kPollsOfOneSecond, polls);
}

TEST_F(PiecewiseTest, BytesFromBeforeTheCommandDoNotCount) {
    link.m_serial.m_rxRing.PutBurst(reinterpret_cast<const uint8_t*>("\r\nOK\r\n"), 6);
    Deliver({});
    EXPECT_EQ(0, link.SendCommand("AT\r\n", 1));
}

// Each reply is delivered byte by byte and cut in two at every place.
TEST_F(PiecewiseTest, EndsOnItsWordWithTheSameResultHoweverItIsSplit) {
    const struct {
        std::string reply;
        int sent;          // result of SendCommand
        const char* value; // result of QueryCommand
    } cases[] = {
        {"\r\nBOOK 3\r\n\r\nOK\r\n", 1, "BOOK 3"},
        {"\r\nOKAY\r\n\r\nOK\r\n", 1, "OKAY"},
        {"\r\nOK\r\n", 1, ""},
        {"KA40\r\nOK\r\n", 1, "KA40"},
        {"AT+VERSION\r\nv1.0.2\r\n\r\nOK\r\n", 1, "v1.0.2"}, // after the echo
        // The late line end of the reply before lands ahead of this one.
        {"\r\n\r\nKA40\r\n\r\nOK\r\n", 1, "KA40"},
        {"\nKA40\r\nOK\r\n", 1, "KA40"},
        {"\r\nKA40\r\n\r\nOK  \r\n", 1, "KA40"},
        {"\r\nKA40\r\n\r\nOK\t", 1, "KA40"}, // a tab ends the text
        {"\r\nERROR \r\n", 0, "ERROR"},
        // Blanks after a word do not make a longer line a word line.
        {"\r\nOK 2\r\n\r\nOK\r\n", 1, "OK 2"},
        {"Unit 7\rOK\r", 1, "Unit 7"},
        {"\nUnit 7\n\nOK\n", 1, ""}, // no CR ahead of the word: an empty value
        // Zero bytes never enter the ring; bytes 0x80-0xFF are part of the value.
        {"\r\nK\0A\xE4\xFF\x80\r\n\0\r\nO\0K\r\n"s, 1, "KA\xE4\xFF\x80"},
    };
    for (const auto& c : cases) {
        std::string whole = c.reply; // as the ring takes it
        whole.erase(std::remove(whole.begin(), whole.end(), '\0'), whole.end());
        std::vector<std::deque<std::string>> deliveries(1);
        for (char ch : c.reply)
            deliveries[0].emplace_back(1, ch);
        for (size_t at = 0; at <= c.reply.size(); ++at)
            deliveries.push_back({c.reply.substr(0, at), c.reply.substr(at)});
        for (const auto& delivery : deliveries) {
            SCOPED_TRACE(c.value + " split as "s + std::to_string(delivery.size()) + " pieces, " +
                         std::to_string(delivery.front().size()) + " bytes first");
            Deliver(delivery);
            EXPECT_EQ(c.sent, link.SendCommand("AT+NODENAME\r\n", 1));
            EXPECT_LE(polls, static_cast<int>(c.reply.size()) + kLineEndPolls);
            Deliver(delivery);
            EXPECT_EQ(c.value, link.QueryCommand("AT+NODENAME\r\n", 1));
            // The whole reply, line end included, was taken: nothing is left for the next.
            EXPECT_EQ(whole, link.m_strReply);
        }
    }
}

// Each piece of the "OKAY" floods ends right behind "OK" or "ERROR", so that every poll sees a
// word at the end of the text that the next piece turns into a longer line.
TEST_F(PiecewiseTest, FloodThatNeverStopsEndsAtTheTimeOut) {
    const std::pair<std::string, std::string> floods[] = {
        {std::string(4000, 'O'), std::string(4000, 'O')},
        {"\r\nOK", "AY\r\nOK"},
        {"\r\nERROR", "S\r\nERROR"},
        {"\r\nOK ", "2\r\nOK "},
    };
    for (const auto& [first, next] : floods) {
        SCOPED_TRACE(next);
        more = [next = next] { return next; };
        Deliver({first});
        EXPECT_EQ(0, link.SendCommand("AT+NODENAME\r\n", 1));
        EXPECT_GE(polls, kPollsOfOneSecond);
        EXPECT_LE(polls, kPollsOfOneSecond + kLineEndPolls);
        Deliver({first});
        EXPECT_EQ("ERROR", link.QueryCommand("AT+NODENAME\r\n", 1));
        EXPECT_LE(polls, kPollsOfOneSecond + kLineEndPolls);
    }
}

} // namespace
