// The local module's command interpreter, its escape from data mode and its paced answers,
// through the real pseudo-terminal.
#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace vireo::sim {
namespace {

using namespace testing;
using CommandMode = LineTest;

// Refusals and hostile input in one session; the answers the manager's end-to-end tests read
// and write are theirs to check.
TEST_F(CommandMode, RefusesWhatTheModuleCannotTake) {
    SimConfig c = FastConfig();
    c.nodeName = "Lab bench two";
    Start(c);
    const std::string kd40 = "000D6F0000B10002"; // the second default remote
    const struct {
        std::string command;
        std::string answer;
    } session[] = {
        {"ATE0\r\n", "ATE0\r\r\nOK\r\n"}, // echo is off before the LF arrives
        {"AT+NODENAME=A name far too long for sixteen\r\n", kError},
        {"AT+FROBNICATE\r\n", kError},
        {"AT+PANID=BEEF\r\n", kOk},
        {"AT+PANID=FFFF\r\n", kError},  // outside the range
        {"AT+PANID=10000\r\n", kError}, // wider than its four digits
        {"AT+PANID=12G4\r\n", kError},
        {"AT+PANID\r\n", Answer("BEEF")},   // a refused value leaves the old one
        {"AT+NETNAME=TENLETTERS\r\n", kOk}, // each bound is met by one value and passed by one
        {"AT+NETNAME=ELEVENCHARS\r\n", kError},
        {"ATS12=4800\r\n", kError}, // not in the value list
        {"ATS13=2\r\n", kOk},       // a choice index
        {"ATS13=3\r\n", kError},
        {"AT+HWREV=C1\r\n", kError}, // read-only
        {"ATS01=-7\r\n", kOk},
        {"ATS01=x\r\n", kError},
        {"AT&f\r\n", kOk}, // factory values, identity included
        {"AT+PANID\r\n", Answer("1A2B")},
        {"AT+NODENAME\r\n", Answer("Lab bench two")},
        {std::string(5000, 'A') + "\r\n", kError},
        {std::string("AT\xFF\x80\r\n", 6), kError},
        {std::string("A\0T\x01\r\n", 6), kOk}, // zero and control bytes are dropped
        {"AT+RC=" + kd40 + ",AT+CHANNEL=99\r\n", kError},
        {"AT+RC=" + kd40 + ",AT+DS\r\n", kError},          // no scans from afar
        {"AT+RC=0000000000000001,AT+VERSION\r\n", kError}, // after the unknown-address wait
        {"AT+RC=no comma\r\n", kError},
        {"AT+BOOTLOAD=2,000D6F0000B10004\r\n", kError}, // no clone to another product
        {"AT+BOOTLOAD=2,0000000000000009\r\n", kError},
    };
    for (const auto& step : session)
        EXPECT_EQ(line.Command(step.command), step.answer) << step.command;
}

TEST_F(CommandMode, EscapeNeedsSilenceOnBothSides) {
    SimConfig c = FastConfig();
    c.startInDataMode = true;
    Start(c);
    for (const char* ignored : {"AT\r\n", "x+++", "+++y"}) {
        line.Write(ignored);
        line.ReadFor(400ms);
        EXPECT_EQ(line.Take(), "") << ignored;
    }
    EXPECT_EQ(sim->CurrentMode(), Mode::Data);
    line.Write("+++");
    ASSERT_TRUE(line.ReadUntil("OK\r\n", 3000ms));
    EXPECT_EQ(line.Take(), kOk);
    EXPECT_EQ(line.Command("ATE0\r\n"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(line.Command("+++ATE0\r\n"), kError) << "an escape without silence is no escape";
}

// Pacing spreads an answer over its line time (on the module's own time stamps, as a lower
// bound only).
TEST_F(CommandMode, PacedScanReplyTakesItsLineTime) {
    SimConfig c = FastConfig();
    c.pacing = true;
    Start(c);
    line.Command("ATE0\r\n");
    const std::string reply = line.Command("at+ds\r\n", 10s);
    ASSERT_EQ(reply.find("OK"), reply.size() - 4);
    // The reply is everything the module sent after the last byte of the command.
    const auto log = sim->ByteLog();
    std::size_t start = 0, bytes = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i].toModule)
            start = i + 1;
    for (std::size_t i = start; i < log.size(); ++i)
        bytes += log[i].bytes.size();
    ASSERT_GT(bytes, 300u);
    // 10 bits per byte at 9600 baud; the first chunk is already on the line at its stamp.
    EXPECT_GE((log.back().at - log[start].at).count(),
              static_cast<long>((bytes - 2) * 1041 * 9 / 10));
}

} // namespace
} // namespace vireo::sim
