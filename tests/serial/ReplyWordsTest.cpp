#include "serial/ReplyWords.h"
#include "serial/DeviceLink.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

struct VerdictCase {
    const char* name;
    const char* reply;
    BootloaderWords words;
    ReplyWord word;
    bool complete;
};

class JudgeReplyTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(JudgeReplyTest, FindsTheWordThatEndsTheReply) {
    const ReplyVerdict verdict = JudgeReply(GetParam().reply, GetParam().words);
    EXPECT_EQ(GetParam().word, verdict.word);
    if (verdict.word != ReplyWord::None) {
        EXPECT_EQ(GetParam().complete, verdict.complete);
    }
}

constexpr BootloaderWords kNone{};
constexpr BootloaderWords kEnter{true, false};
constexpr BootloaderWords kStart{false, true};

INSTANTIATE_TEST_SUITE_P(
    Replies, JudgeReplyTest,
    ::testing::Values(
        VerdictCase{"FramedOk", "\r\nv1\r\n\r\nOK\r\n", kNone, ReplyWord::Ok, true},
        VerdictCase{"OkAlone", "OK\r\n", kNone, ReplyWord::Ok, true},
        VerdictCase{"OkWithLfOnly", "v1\nOK\n", kNone, ReplyWord::Ok, true},
        VerdictCase{"OkWithoutLineEnd", "\r\nOK", kNone, ReplyWord::Ok, false},
        VerdictCase{"OkWithCrAwaitingLf", "\r\nOK\r", kNone, ReplyWord::Ok, false},
        VerdictCase{"OkInsideAName", "\r\nBOOK 3\r\n", kNone, ReplyWord::None, true},
        VerdictCase{"OkStartingALongerWord", "\r\nOKAY\r\n", kNone, ReplyWord::None, true},
        VerdictCase{"OkInsideANameThenOk", "\r\nBOOK\r\n\r\nOK\r\n", kNone, ReplyWord::Ok, true},
        VerdictCase{"ErrorLine", "\r\nERROR\r\n", kNone, ReplyWord::Error, true},
        VerdictCase{"ErrorInsideAName", "\r\nTERRORS\r\n", kNone, ReplyWord::None, true},
        VerdictCase{"OkBeforeError", "\r\nERROR\r\nOK\r\n", kNone, ReplyWord::Ok, true},
        VerdictCase{"EnterWhenExpected", "\r\nENTER bootloader\r\n", kEnter, ReplyWord::Enter,
                    true},
        VerdictCase{"EnterInAValue", "\r\nCENTER\r\n", kNone, ReplyWord::None, true},
        VerdictCase{"StartWhenExpected", "\r\nStart remote upload\r\n", kStart, ReplyWord::Start,
                    true},
        VerdictCase{"EblWhenExpected", "\r\nsend fw.ebl\r\n", kStart, ReplyWord::Start, true},
        VerdictCase{"StartNotExpected", "\r\nStart\r\n", kEnter, ReplyWord::None, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ExpectedBootloaderWordsTest, OnlyTheBootloaderCommandsExpectThem) {
    EXPECT_TRUE(ExpectedBootloaderWords("AT+BOOTLOAD\n").enter);
    EXPECT_TRUE(ExpectedBootloaderWords("at+bootload\r\n").enter);
    EXPECT_TRUE(ExpectedBootloaderWords("AT+BOOTLOAD=1,000D6F00\r\n").start);
    EXPECT_FALSE(ExpectedBootloaderWords("AT+BOOTLOAD=1,000D6F00\r\n").enter);
    for (const char* other : {"AT+NODENAME\r\n", "AT+BOOTLOADX\r\n", "AT\r\n", ""}) {
        const BootloaderWords words = ExpectedBootloaderWords(other);
        EXPECT_FALSE(words.enter || words.start) << other;
    }
}

struct ValueCase {
    const char* name;
    const char* reply;
    const char* value;
};

class ReplyValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ReplyValueTest, CutsTheValueLine) {
    EXPECT_EQ(GetParam().value, ReplyValue(GetParam().reply));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ReplyValueTest,
    ::testing::Values(ValueCase{"Framed", "\r\nKA40\r\n\r\nOK\r\n", "KA40"},
                      ValueCase{"BareLine", "KA40\r\nOK\r\n", "KA40"},
                      ValueCase{"AfterEcho", "AT+VERSION\r\nv1.0.2\r\n\r\nOK\r\n", "v1.0.2"},
                      ValueCase{"NoCarriageReturn", "v1.0.2\nOK", ""},
                      ValueCase{"NothingBeforeOk", "OK\r\n", ""},
                      ValueCase{"EmptyValue", "\r\n\r\nOK\r\n", ""},
                      ValueCase{"OkInsideTheValue", "\r\nNODE BOOK\r\n\r\nOK\r\n", "NODE BOOK"},
                      ValueCase{"OkInsideAWord", "\r\nLOOKOUT\r\nOK\r\n", "LOOKOUT"},
                      ValueCase{"StaleLineEndAhead", "\r\n\r\nKA40\r\n\r\nOK\r\n", "KA40"},
                      ValueCase{"StaleLfAhead", "\n\r\nKA40\r\n\r\nOK\r\n", "KA40"},
                      ValueCase{"StaleLfBeforeBareLine", "\nKA40\r\nOK\r\n", "KA40"}),
    [](const auto& param) { return std::string(param.param.name); });

// A transaction whose reply reaches the ring in the given pieces, one piece before each poll;
// no port is involved, so the split is exact.
class SplitReplyTest : public ::testing::Test {
protected:
    SplitReplyTest() {
        link.m_bPortOpen = 1;
        link.m_sleep = [this](int) {
            ++polls;
            if (!pieces.empty()) {
                const std::string& piece = pieces.front();
                link.m_serial.m_rxRing.PutBurst(reinterpret_cast<const uint8_t*>(piece.data()),
                                                piece.size());
                pieces.pop_front();
            }
        };
    }

    std::string Query(const std::string& reply, size_t splitAt) {
        pieces = {reply.substr(0, splitAt), reply.substr(splitAt)};
        return link.QueryCommand("AT+NODENAME\r\n", 1);
    }

    vireo::test::CScriptedUi ui;
    CDeviceLink link;
    std::deque<std::string> pieces;
    int polls = 0;
};

TEST_F(SplitReplyTest, WordsInsideValuesSurviveEverySplit) {
    const std::pair<const char*, const char*> replies[] = {
        {"\r\nBOOK 3\r\n\r\nOK\r\n", "BOOK 3"},
        {"\r\nCENTER\r\n\r\nOK\r\n", "CENTER"},
        {"\r\nTHE ERRORS\r\n\r\nOK\r\n", "THE ERRORS"},
        {"\r\nfw.ebl Start\r\n\r\nOK\r\n", "fw.ebl Start"},
        {"\r\nOKAY\r\n\r\nOK\r\n", "OKAY"},
        {"\r\nERRORS 2\r\n\r\nOK\r\n", "ERRORS 2"},
        {"\r\nOK\r\n", ""},
    };
    for (const auto& [reply, value] : replies) {
        const std::string text = reply;
        for (size_t at = 0; at <= text.size(); ++at) {
            EXPECT_EQ(value, Query(text, at)) << "split at " << at << " of " << value;
            // The whole reply, line end included, was taken: nothing is left for the next.
            EXPECT_EQ(0u, link.m_serial.m_rxRing.Count());
            EXPECT_EQ(text, link.m_strReply);
        }
    }
}

TEST_F(SplitReplyTest, ReplyDeliveredByteByByteIsReadWhole) {
    const std::string reply = "\r\nBOOK 3\r\n\r\nOK\r\n";
    for (char c : reply)
        pieces.emplace_back(1, c);
    EXPECT_EQ("BOOK 3", link.QueryCommand("AT+NODENAME\r\n", 1));
    EXPECT_EQ(static_cast<int>(reply.size()), polls);
    EXPECT_EQ(reply, link.m_strReply);
}

TEST_F(SplitReplyTest, ModuleThatNeverEndsTheOkLineFinishesAfterAFewPolls) {
    pieces = {"\r\nv1\r\n\r\nOK"};
    EXPECT_EQ("v1", link.QueryCommand("AT+VERSION\r\n", 1));
    EXPECT_EQ(6, polls); // the poll that saw "OK", then five for its line end
    polls = 0;
    pieces = {"\r\nOK"};
    EXPECT_EQ(1, link.SendCommand("ATE0\r\n", 1));
    EXPECT_EQ(6, polls);
}

TEST_F(SplitReplyTest, LineEndOfTheLastReplyArrivingLateIsNotTheNextValue) {
    pieces = {"\r\nKA40\r\n\r\nOK"};
    EXPECT_EQ("KA40", link.QueryCommand("AT+PRODUCTNAME\r\n", 1));
    // The overdue CR LF lands behind the next command, ahead of its answer.
    pieces = {"\r\n", "\r\n000D6F0000A1B2C3\r\n\r\nOK\r\n"};
    EXPECT_EQ("000D6F0000A1B2C3", link.QueryCommand("AT+LONGADDR\r\n", 1));
}

} // namespace
