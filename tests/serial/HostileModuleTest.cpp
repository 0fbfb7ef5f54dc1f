// A module that misbehaves on purpose: blanks after its reply words, odd line ends, bytes
// that are no text, floods that never stop. Every transaction must end on its reply word or
// at its time-out (plus the few polls a word may wait for its line end), and cut the right
// value, however the reply is split across polls.
#include "serial/DeviceLink.h"
#include "serial/ReplyWords.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using vireo::test::CPtyPeer;
using vireo::test::CScriptedUi;
using vireo::test::CTempPortDir;
using namespace std::string_literals;

namespace {

constexpr int kPollsOfOneSecond = 100;
constexpr int kLineEndPolls = 5; // polls a reply word may wait for its line end

// A transaction whose reply reaches the ring piece by piece, one piece before each poll; no
// port is involved, so the split is exact. When the pieces run out, `more` makes the next.
class PiecewiseLink {
public:
    PiecewiseLink() {
        link.m_bPortOpen = 1;
        link.m_sleep = [this](int) {
            ++polls;
            if (pieces.empty() && more)
                pieces.push_back(more());
            if (!pieces.empty()) {
                const std::string& piece = pieces.front();
                link.m_serial.m_rxRing.PutBurst(reinterpret_cast<const uint8_t*>(piece.data()),
                                                piece.size());
                pieces.pop_front();
            }
        };
    }

    void Deliver(std::deque<std::string> next) {
        pieces = std::move(next);
        polls = 0;
    }

    CScriptedUi ui;
    CDeviceLink link;
    std::deque<std::string> pieces;
    std::function<std::string()> more;
    int polls = 0;
};

// The reply in two pieces cut at `at`, or byte by byte when at is npos.
std::deque<std::string> Split(const std::string& reply, size_t at) {
    if (at != std::string::npos)
        return {reply.substr(0, at), reply.substr(at)};
    std::deque<std::string> bytes;
    for (char c : reply)
        bytes.emplace_back(1, c);
    return bytes;
}

struct ReplyCase {
    const char* name;
    std::string reply;
    int sent;          // result of SendCommand
    const char* value; // result of QueryCommand; nullptr: not checked
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(HostileReplyTest, EndsOnItsWordWithTheSameResultHoweverItIsSplit) {
    const ReplyCase& c = GetParam();
    PiecewiseLink t;
    std::vector<size_t> splits{std::string::npos};
    for (size_t at = 0; at <= c.reply.size(); ++at)
        splits.push_back(at);
    for (size_t at : splits) {
        SCOPED_TRACE(at == std::string::npos ? std::string("byte by byte")
                                             : "split at " + std::to_string(at));
        t.Deliver(Split(c.reply, at));
        EXPECT_EQ(c.sent, t.link.SendCommand("AT+NODENAME\r\n", 1));
        // Ended on the word: the polls did not run out.
        EXPECT_LE(t.polls, static_cast<int>(c.reply.size()) + kLineEndPolls);
        t.Deliver(Split(c.reply, at));
        const std::string value = t.link.QueryCommand("AT+NODENAME\r\n", 1);
        if (c.value) {
            EXPECT_EQ(c.value, value);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HostileReplyTest,
    ::testing::Values(
        ReplyCase{"OkFollowedByBlanks", "\r\nKA40\r\n\r\nOK  \r\n", 1, "KA40"},
        ReplyCase{"OkFollowedByATabThatEndsTheText", "\r\nKA40\r\n\r\nOK\t", 1, "KA40"},
        ReplyCase{"ErrorFollowedByABlank", "\r\nERROR \r\n", 0, "ERROR"},
        // Blanks after a word do not make a longer line a word line.
        ReplyCase{"ValueOfOkABlankAndMore", "\r\nOK 2\r\n\r\nOK\r\n", 1, "OK 2"},
        ReplyCase{"ValueOfErrorABlankAndMore", "\r\nERROR 7\r\n\r\nOK\r\n", 1, "ERROR 7"},
        ReplyCase{"LoneCarriageReturns", "Unit 7\rOK\r", 1, "Unit 7"},
        // No carriage return ahead of the word: the value rule gives an empty value.
        ReplyCase{"LoneLineFeeds", "\nUnit 7\n\nOK\n", 1, ""},
        // Zero bytes never enter the ring; bytes 0x80-0xFF are part of the value.
        ReplyCase{"ZeroAndHighBytes", "\r\nK\0A\xE4\xFF\x80\r\n\0\r\nO\0K\r\n"s, 1,
                  "KA\xE4\xFF\x80"}),
    [](const auto& param) { return std::string(param.param.name); });

// An ERROR line counts as soon as the "OK" line behind it turns out to be longer ("OKAY"),
// although only what arrived is looked at in each poll.
TEST(HostileReplyPieces, ErrorLineAheadOfAnOkThatGrowsIntoAWordEndsAtOnce) {
    PiecewiseLink t;
    t.Deliver({"\r\nERROR\r\n\r\nOK", "AY\r\n"});
    EXPECT_EQ(0, t.link.SendCommand("AT\r\n", 1));
    EXPECT_EQ(2, t.polls);
}

// A transaction judges only what can still form a word: the part of the reply an earlier poll
// found no word in is settled. Judged that way, every reply gives the verdict of judging it
// whole, wherever the earlier poll ended.
TEST(HostileReplyPieces, JudgingWhatArrivedAgreesWithJudgingTheWholeReply) {
    const std::string replies[] = {"\r\nERROR\r\n\r\nOKAY\r\n",
                                   "\r\nv1\r\n\r\nOK  \r\n",
                                   "\r\nOK 2\r\nERROR\t\r\n",
                                   "\r\nCENTER\r\nENTER\r\n",
                                   "send fw.ebl\r\n",
                                   "\r\nStarting\r\n",
                                   "OK",
                                   "\rERROR\r",
                                   "x\nOK\n"};
    const BootloaderWords all{true, true};
    for (const std::string& reply : replies) {
        const ReplyVerdict whole = JudgeReply(reply, all);
        for (size_t settled = 0; settled <= reply.size(); ++settled) {
            if (JudgeReply(reply.substr(0, settled), all).word != ReplyWord::None)
                continue; // a transaction settles a beginning only when it held no word
            const ReplyVerdict part = JudgeReply(reply, all, settled);
            EXPECT_EQ(whole.word, part.word) << reply << " settled " << settled;
            EXPECT_EQ(whole.at, part.at) << reply << " settled " << settled;
            EXPECT_EQ(whole.complete, part.complete) << reply << " settled " << settled;
        }
    }
}

struct FloodCase {
    const char* name;
    std::string first; // the first piece
    std::string next;  // every piece after it, for ever
};

void PrintTo(const FloodCase& c, std::ostream* os) {
    *os << c.name;
}

class FloodTest : public ::testing::TestWithParam<FloodCase> {};

// Each piece of the "OKAY" floods ends right behind "OK" or "ERROR", so that every poll sees a
// word at the end of the text that the next piece turns into a longer line.
TEST_P(FloodTest, FloodThatNeverStopsEndsAtTheTimeOut) {
    PiecewiseLink t;
    t.more = [&t] { return GetParam().next; };
    t.Deliver({GetParam().first});
    EXPECT_EQ(0, t.link.SendCommand("AT+NODENAME\r\n", 1));
    EXPECT_GE(t.polls, kPollsOfOneSecond);
    EXPECT_LE(t.polls, kPollsOfOneSecond + kLineEndPolls);
    t.Deliver({GetParam().first});
    EXPECT_EQ("ERROR", t.link.QueryCommand("AT+NODENAME\r\n", 1));
    EXPECT_LE(t.polls, kPollsOfOneSecond + kLineEndPolls);
}

INSTANTIATE_TEST_SUITE_P(
    Floods, FloodTest,
    ::testing::Values(FloodCase{"Letters", std::string(4000, 'O'), std::string(4000, 'O')},
                      FloodCase{"LinesThatBeginWithOk", "\r\nOK", "AY\r\nOK"},
                      FloodCase{"LinesThatBeginWithError", "\r\nERROR", "S\r\nERROR"},
                      FloodCase{"OkWithBlanksAndMore", "\r\nOK ", "2\r\nOK "}),
    [](const auto& param) { return std::string(param.param.name); });

// The same through a pty: the module floods the line as fast as the pty takes it.
TEST(HostileLine, FloodOnThePortEndsAtTheTimeOutWithinTheRingsBound) {
    CTempPortDir dir;
    CPtyPeer peer(2);
    CScriptedUi ui;
    CDeviceLink link;
    ASSERT_EQ(1, link.m_serial.Open(2, 921600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    link.m_bPortOpen = 1;
    int polls = 0;
    link.m_sleep = [&polls](int ms) {
        ++polls;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    std::atomic<bool> stop{false};
    std::thread flooder([&] {
        const std::string chunk(4096, 'O');
        while (!stop)
            peer.Send(chunk);
    });
    const int sent = link.SendCommand("AT\r\n", 1);
    // Close while the flood goes on: the reader leaves its burst and the port closes.
    auto closer = std::async(std::launch::async, [&link] { link.m_serial.Close(); });
    const bool closed = closer.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    stop = true;
    flooder.join();
    ASSERT_TRUE(closed);
    EXPECT_EQ(0, sent);
    EXPECT_EQ(kPollsOfOneSecond, polls);
    // Each poll takes at most what the ring holds.
    EXPECT_LE(link.m_strReply.size(), static_cast<size_t>(polls) * (CRingBuffer::kSize - 1));
}

} // namespace
