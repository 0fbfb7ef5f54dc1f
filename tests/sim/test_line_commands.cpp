// The local module's command interpreter, through the real pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LineFixture.h"

namespace vireo::sim {
namespace {

using namespace testing;
using CommandMode = LineTest;

// ---- command mode and echo ------------------------------------------------------------

TEST_F(CommandMode, EchoesAtPowerUpUntilTurnedOff) {
    Start(FastConfig());
    EXPECT_EQ(line.Command("AT\r\n"), "AT\r\r\nOK\r\n\n")
        << "echo, the answer, then the LF of CR LF";
    EXPECT_EQ(line.Command("ATE0\r\n"), "ATE0\r\r\nOK\r\n") << "echo is off before the LF arrives";
    EXPECT_EQ(line.Command("at\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("ATE1\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("ATR1\r"), "ATR1\r\r\nOK\r\n");
}

TEST_F(CommandMode, EchoedQueryHasItsValueRightAfterTheFirstLineFeed) {
    // The tool skips a reply up to its first LF: with echo on, that LF must not come
    // between the echo and the value.
    Start(FastConfig());
    std::string r = line.Command("AT+VERSION\r\n");
    auto lf = r.find('\n');
    ASSERT_NE(lf, std::string::npos);
    EXPECT_EQ(r.substr(lf + 1, 8), "v1.1.0\r\n");
}

TEST_F(CommandMode, CaseInsensitiveCommandsUnknownOnesFail) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("at+productname\r\n")), "KA40");
    EXPECT_EQ(line.Command("AT+FROBNICATE\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("ATR2\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(sim->ExecutedCommands().back(), "ATR2");
}

TEST_F(CommandMode, RestartPrintsBannerEndingInOkKeepsValuesAndEchoesAgain) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    ASSERT_EQ(line.Command("ATS01=5\r\n"), "\r\nOK\r\n");
    line.Take();
    line.Write("ATZ\r\n");
    ASSERT_TRUE(line.ReadUntil("ready\r\nOK\r\n"));
    EXPECT_EQ(line.Text().rfind("\r\nOK\r\n", 0), 0u) << line.Text();
    EXPECT_EQ(line.Command("AT\r\n"), "AT\r\r\nOK\r\n\n");
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("ATS01\r\n")), "5");
}

TEST_F(CommandMode, RestartFollowsThePowerUpSettingsOfTheStore) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    ASSERT_EQ(line.Command("ATS16=0\r\n"), "\r\nOK\r\n"); // no echo at power-up
    ASSERT_EQ(line.Command("ATS50=1\r\n"), "\r\nOK\r\n"); // data mode at power-up
    line.Write("ATZ\r\n");
    ASSERT_TRUE(line.ReadUntil("ready\r\nOK\r\n"));
    ASSERT_TRUE(sim->WaitForMode(Mode::Data, 5s));
    line.ReadFor(200ms);
    line.Take();
    line.Write("+++");
    ASSERT_TRUE(line.ReadUntil("OK\r\n", 3000ms));
    line.Take();
    EXPECT_EQ(line.Command("AT\r\n"), "\r\nOK\r\n");
}

// ---- data mode ------------------------------------------------------------------------

TEST_F(CommandMode, DataModeIgnoresCommandsUntilGuardedEscape) {
    SimConfig c = FastConfig();
    c.startInDataMode = true;
    Start(c);
    line.Write("AT\r\n");
    line.ReadFor(300ms);
    EXPECT_EQ(line.Take(), "");
    line.Write("x+++"); // no silence before the escape
    line.ReadFor(400ms);
    EXPECT_EQ(line.Take(), "");
    line.Write("+++y"); // no silence after it
    line.ReadFor(400ms);
    EXPECT_EQ(line.Take(), "");
    EXPECT_EQ(sim->CurrentMode(), Mode::Data);
    line.Write("+++");
    ASSERT_TRUE(line.ReadUntil("OK\r\n", 3000ms));
    EXPECT_EQ(line.Take(), "\r\nOK\r\n");
    EXPECT_EQ(sim->CurrentMode(), Mode::Command);
    EXPECT_EQ(line.Command("AT\r\n"), "AT\r\r\nOK\r\n\n");
    auto cmds = sim->ExecutedCommands();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0], "+++");
}

TEST_F(CommandMode, EscapeInCommandModeAnswersOkAndDoesNotSpoilTheNextLine) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    line.ReadFor(200ms);
    line.Write("+++");
    ASSERT_TRUE(line.ReadUntil("OK\r\n", 3000ms));
    line.Take();
    EXPECT_EQ(line.Command("ATR1\r\n"), "\r\nOK\r\n");
    line.Write("+++ATE0\r\n"); // the escape not recognised: one bad command line
    ASSERT_TRUE(line.ReadUntil("\r\n", 3000ms));
    line.ReadFor(200ms);
    EXPECT_EQ(line.Take(), "\r\nERROR\r\n");
}

// ---- identification -------------------------------------------------------------------

TEST_F(CommandMode, IdentityAsConfigured) {
    SimConfig c = FastConfig();
    c.product = "KM40X";
    c.version = "v1.0.2";
    c.eui = "000d6f0000abcdef";
    c.nodeName = "Lab bench two";
    c.nodeType = "4";
    c.flowControl = 2;
    c.timing.sleepAfterMs = 60000;
    Start(c);
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+PRODUCTNAME\r\n")), "KM40X");
    EXPECT_EQ(ValueOf(line.Command("AT+VERSION\r\n")), "v1.0.2");
    EXPECT_EQ(ValueOf(line.Command("AT+LONGADDR\r\n")), "000D6F0000ABCDEF");
    EXPECT_EQ(ValueOf(line.Command("AT+NODENAME\r\n")), "Lab bench two");
    EXPECT_EQ(ValueOf(line.Command("AT+NODETYPE\r\n")), "4");
    EXPECT_EQ(ValueOf(line.Command("AT+UF\r\n")), "2");
    EXPECT_EQ(line.Command("AT+UF=3\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("AT+UF=1\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+UF\r\n")), "1");
    EXPECT_EQ(line.Command("AT+VERSION=v9.9.9\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("AT+NODENAME=A name far too long for sixteen\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("AT+NODENAME=Shelf 3\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(sim->Local().NodeName(), "Shelf 3");
    EXPECT_EQ(line.Command("AT&f\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+NODENAME\r\n")), "Lab bench two");
    EXPECT_EQ(ValueOf(line.Command("AT+UF\r\n")), "2");
}

TEST_F(CommandMode, InvalidConfigurationIsRefusedAtStart) {
    SimConfig c = FastConfig();
    c.eui = "12345";
    Simulator s(c);
    std::string error;
    EXPECT_FALSE(s.Start(&error));
    EXPECT_NE(error.find("EUI"), std::string::npos);
    EXPECT_EQ(s.SlavePath(), "");
}

// ---- parameters -----------------------------------------------------------------------

TEST_F(CommandMode, ParametersReadWriteRejectAndRestore) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+PANID\r\n")), "1A2B");
    EXPECT_EQ(line.Command("AT+PANID=BEEF\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(ValueOf(line.Command("at+panid\r\n")), "BEEF");
    EXPECT_EQ(line.Command("AT+PANID=FFFF\r\n"), "\r\nERROR\r\n"); // outside the range
    EXPECT_EQ(line.Command("ATS12=4800\r\n"), "\r\nERROR\r\n");    // not in the value list
    EXPECT_EQ(line.Command("ATS13=2\r\n"), "\r\nOK\r\n");          // choice index
    EXPECT_EQ(line.Command("ATS13=3\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("AT+HWREV=C1\r\n"), "\r\nERROR\r\n"); // read-only
    EXPECT_EQ(ValueOf(line.Command("AT+HWREV\r\n")), "B2");
    EXPECT_EQ(ValueOf(line.Command("AT+PREFIX\r\n")), "");
    EXPECT_EQ(sim->Local().Get("AT+PANID"), "BEEF");
    EXPECT_TRUE(sim->Local().Set("ATS01", "-7"));
    EXPECT_FALSE(sim->Local().Set("ATS01", "99"));
    EXPECT_EQ(ValueOf(line.Command("ATS01\r\n")), "-7");
    EXPECT_EQ(line.Command("AT&F\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+PANID\r\n")), "1A2B");
    EXPECT_EQ(ValueOf(line.Command("ATS01\r\n")), "3");
    EXPECT_GE(sim->Local().Commands().size(), 40u);
}

TEST_F(CommandMode, EveryParameterOfTheConstructFileAnswersWithItsDefault) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    for (const auto& cmd : sim->Local().Commands()) {
        std::string r = line.Command(cmd + "\r\n");
        EXPECT_EQ(r.find("ERROR"), std::string::npos) << cmd;
        EXPECT_EQ(ValueOf(r), sim->Local().Get(cmd).value_or("?")) << cmd;
    }
}

// ---- sleepy end device ----------------------------------------------------------------

TEST_F(CommandMode, SleepyDeviceLosesBytesWhileAsleepAndWakesOnLineFeed) {
    SimConfig c = FastConfig();
    c.nodeType = "4";
    c.timing.sleepAfterMs = 1000;
    Start(c);
    EXPECT_EQ(line.Command("ATE0\r\n"), "ATE0\r\r\nOK\r\n");
    ASSERT_TRUE(sim->WaitForMode(Mode::Sleeping, 10s));
    line.Write("AT\r\n");
    line.ReadFor(300ms);
    EXPECT_EQ(line.Take(), "");
    EXPECT_TRUE(sim->WaitForReceived("AT\r\n", 1s)) << "the bytes reached the module and were lost";
    line.Write("\n");
    ASSERT_TRUE(sim->WaitForMode(Mode::Command, 5s));
    line.ReadFor(100ms);
    EXPECT_EQ(line.Command("AT\r\n"), "\r\nOK\r\n");
    ASSERT_TRUE(sim->WaitForMode(Mode::Sleeping, 10s)) << "asleep again after the quiet time";
}

// ---- line rate ------------------------------------------------------------------------

TEST_F(CommandMode, AnswersOnlyAtItsOwnRate) {
    Start(FastConfig(), 19200);
    line.Write("AT\r\n");
    line.ReadFor(300ms);
    EXPECT_EQ(line.Take(), "");
    EXPECT_TRUE(sim->WaitForReceived("AT\r\n", 1s));
    EXPECT_EQ(sim->ToolBaudRate(), 19200);
    ASSERT_TRUE(line.SetRate(9600));
    EXPECT_EQ(line.Command("AT\r\n"), "AT\r\r\nOK\r\n\n");
}

TEST_F(CommandMode, NonStandardRateIsReadFromTheLine) {
    SimConfig c = FastConfig();
    c.baudRate = 28800;
    Start(c);
    EXPECT_EQ(sim->ToolBaudRate(), 28800);
    EXPECT_EQ(line.Command("AT\r\n"), "AT\r\r\nOK\r\n\n");
}

TEST_F(CommandMode, ToolMayCloseAndReopenThePort) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    line.Close();
    ASSERT_TRUE(line.Open(sim->SlavePath(), 9600));
    line.ReadFor(100ms);
    line.Take();
    EXPECT_EQ(line.Command("AT\r\n"), "\r\nOK\r\n");
}

// Bytes of an answer with the time each one was read, counted from before the command went out.
std::vector<std::pair<char, std::chrono::microseconds>> TimedAnswer(Line& line,
                                                                    std::string_view command) {
    std::vector<std::pair<char, std::chrono::microseconds>> bytes;
    std::string text;
    auto t0 = std::chrono::steady_clock::now();
    line.Write(command);
    while (text.find("OK\r\n") == std::string::npos) {
        pollfd p{line.fd(), POLLIN, 0};
        char buf[256];
        ssize_t n = poll(&p, 1, 5000) == 1 ? read(line.fd(), buf, sizeof buf) : -1;
        if (n <= 0)
            break;
        auto at = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - t0);
        for (ssize_t i = 0; i < n; ++i)
            bytes.emplace_back(buf[i], at);
        text.append(buf, static_cast<std::size_t>(n));
    }
    return bytes;
}

TEST_F(CommandMode, ByteGapSendsEveryByteOnItsOwnAtLeastTheGapApart) {
    // Lower bounds only: a busy machine makes every step later, never earlier.
    const std::chrono::milliseconds gap(5);
    struct Case {
        bool pacing;
        std::chrono::microseconds minSpacing; // between two writes of the module
    };
    for (Case k : {Case{false, gap}, Case{true, gap + std::chrono::microseconds(1000)}}) {
        SCOPED_TRACE(k.pacing ? "with pacing" : "without pacing");
        SimConfig c = FastConfig();
        c.timing.byteGapMs = static_cast<int>(gap.count());
        c.pacing = k.pacing;
        Start(c);
        ASSERT_EQ(line.Command("ATE0\r\n"), "ATE0\r\r\nOK\r\n");
        auto bytes = TimedAnswer(line, "AT+PRODUCTNAME\r\n");
        std::string answer;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            answer += bytes[i].first;
            EXPECT_GE(bytes[i].second, gap * static_cast<int>(i)) << "byte " << i;
        }
        EXPECT_EQ(answer, "\r\nKA40\r\n\r\nOK\r\n");
        // The module's side: one byte per write, the writes the gap apart.
        std::vector<LogEntry> writes;
        for (const auto& e : sim->ByteLog())
            if (!e.toModule)
                writes.push_back(e);
        ASSERT_EQ(writes.size(), 11u + answer.size()) << "the ATE0 exchange, then the answer";
        for (std::size_t i = 0; i < writes.size(); ++i)
            EXPECT_EQ(writes[i].bytes.size(), 1u) << "write " << i;
        for (std::size_t i = 1; i < writes.size(); ++i)
            EXPECT_GE(writes[i].at - writes[i - 1].at, k.minSpacing) << "write " << i;
    }
}

// ---- bad input ------------------------------------------------------------------------

TEST_F(CommandMode, BadInputIsAnsweredWithErrorOrDropped) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    EXPECT_EQ(line.Command(std::string(5000, 'A') + "\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command(std::string("AT\xFF\x80\r\n", 6)), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command(std::string("A\0T\x01\r\n", 6)), "\r\nOK\r\n")
        << "zero and control bytes dropped";
    std::string garbage;
    for (int i = 0; i < 20000; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    line.Write(garbage);
    line.ReadFor(300ms);
    line.Take();
    line.Write("\r\n");
    line.ReadFor(200ms);
    line.Take();
    EXPECT_EQ(line.Command("AT\r\n"), "\r\nOK\r\n");
}

// ---- port registration ----------------------------------------------------------------

std::string LinkTarget(const std::string& path) {
    char buf[512];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string{} : std::string(buf, static_cast<std::size_t>(n));
}

TEST(PortRegistration, TakesTheNextFreeNumberAndCleansUp) {
    SimConfig c = FastConfig();
    c.comNumber = 3;
    // COM3 is a present device of somebody else; COM4 is a link left by a crashed run.
    ASSERT_EQ(symlink("/dev/null", (c.portDir + "/COM3").c_str()), 0);
    ASSERT_EQ(symlink("/dev/pts/no-such-device", (c.portDir + "/COM4").c_str()), 0);
    Simulator a(c);
    ASSERT_TRUE(a.Start());
    EXPECT_EQ(a.ComNumber(), 4);
    EXPECT_EQ(LinkTarget(c.portDir + "/COM4"), a.SlavePath());
    EXPECT_EQ(LinkTarget(c.portDir + "/COM3"), "/dev/null");
    Simulator b(c);
    ASSERT_TRUE(b.Start());
    EXPECT_EQ(b.ComNumber(), 5);
    a.Stop();
    struct stat st {};
    EXPECT_NE(lstat((c.portDir + "/COM4").c_str(), &st), 0) << "removed on stop";
    EXPECT_EQ(LinkTarget(c.portDir + "/COM5"), b.SlavePath());
    b.Stop();
    EXPECT_NE(lstat((c.portDir + "/COM5").c_str(), &st), 0);
}

TEST_F(CommandMode, HangUpEndsTheToolsLine) {
    Start(FastConfig());
    sim->HangUp();
    EXPECT_EQ(sim->CurrentMode(), Mode::HungUp);
    char buf[16];
    pollfd p{line.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    EXPECT_LE(read(line.fd(), buf, sizeof buf), 0) << "end of file or an error, never data";
    EXPECT_LT(write(line.fd(), "AT\r\n", 4), 0);
}

} // namespace
} // namespace vireo::sim
