// Remote modules through the local one: "AT+RC=" forwarding and the "at+ds" scan.
#include <gtest/gtest.h>

#include <set>

#include "LineFixture.h"

namespace vireo::sim {
namespace {

using namespace testing;
using Network = LineTest;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (;;) {
        auto lf = text.find('\n', pos);
        if (lf == std::string::npos)
            break;
        lines.push_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> f;
    std::size_t pos = 0;
    for (int i = 0; i < 5; ++i) {
        auto bar = line.find('|', pos);
        if (bar == std::string::npos)
            break;
        f.push_back(line.substr(pos, bar - pos));
        pos = bar + 1;
    }
    f.push_back(line.substr(pos));
    return f;
}

TEST_F(Network, ForwardsToTheRemoteWithThatAddressInAnyCase) {
    Start(FastConfig());
    line.Command("ATE0\r\n");
    ASSERT_GE(sim->RemoteCount(), 2u);
    const std::string eui = sim->Remote(1).Eui();
    std::string lower = eui;
    for (char& ch : lower)
        ch = static_cast<char>(std::tolower(ch));
    EXPECT_EQ(ValueOf(line.Command("at+rc=" + lower + ",at+productname\r\n")),
              sim->Remote(1).Product());
    EXPECT_EQ(ValueOf(line.Command("AT+RC=" + eui + ",AT+LONGADDR\r\n")), eui);
    EXPECT_EQ(ValueOf(line.Command("AT+RC=" + eui + ",AT+NODENAME\r\n")),
              sim->Remote(1).NodeName());
    EXPECT_EQ(line.Command("AT+RC=" + eui + ",AT+CHANNEL=22\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(sim->Remote(1).Get("AT+CHANNEL"), "22");
    EXPECT_EQ(sim->Local().Get("AT+CHANNEL"), "15") << "the local store is untouched";
    EXPECT_EQ(line.Command("AT+RC=" + eui + ",AT+CHANNEL=99\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("AT+RC=" + eui + ",ATZ\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+RC=" + eui + ",AT+DS\r\n"), "\r\nERROR\r\n") << "no scans from afar";
    EXPECT_EQ(ValueOf(line.Command("AT+RC=" + eui + ",AT+CHANNEL\r\n")), "22")
        << "values survive a restart";
}

TEST_F(Network, UnknownAddressEndsInErrorAfterTheWait) {
    SimConfig c = FastConfig();
    c.timing.unknownAddressMs = 400;
    Start(c);
    line.Command("ATE0\r\n");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(line.Command("AT+RC=0000000000000001,AT+VERSION\r\n"), "\r\nERROR\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 400ms);
    EXPECT_EQ(line.Command("AT+RC=no comma\r\n"), "\r\nERROR\r\n");
}

TEST_F(Network, CommandsDuringARemoteRequestAreAnsweredAfterIt) {
    SimConfig c = FastConfig();
    c.timing.radioDelayMs = 100;
    Start(c);
    line.Command("ATE0\r\n");
    line.Write("AT+RC=" + sim->Remote(0).Eui() + ",AT+VERSION\r\nAT+PRODUCTNAME\r\n");
    ASSERT_TRUE(line.ReadUntil("KA40\r\n\r\nOK\r\n", 5000ms));
    EXPECT_EQ(line.Take(),
              "\r\n" + sim->Remote(0).Version() + "\r\n\r\nOK\r\n\r\nKA40\r\n\r\nOK\r\n");
}

TEST_F(Network, ScanReplyHasTitleLocalChildAndOneNodeLinePerRemote) {
    SimConfig c = FastConfig();
    c.remotes = DefaultRemotes(5);
    c.remotes[2].nodeName = "Cellar pump two";
    Start(c);
    line.Command("ATE0\r\n");
    std::string reply = line.Command("at+ds\r\n");
    ASSERT_EQ(reply.find("OK"), reply.size() - 4) << "nothing before the end may read OK:\n"
                                                  << reply;
    EXPECT_EQ(reply.find("ERROR"), std::string::npos);
    auto lines = SplitLines(reply);
    bool title = false, localLine = false;
    int children = 0;
    std::vector<std::vector<std::string>> nodes;
    for (const auto& l : lines) {
        if (l.find('|') == std::string::npos) {
            title |= l.size() > 2;
            continue;
        }
        auto f = Fields(l);
        if (f[0].find('*') != std::string::npos)
            localLine = true;
        else if (f[0].find("CHD") != std::string::npos || f[0].find("CLD") != std::string::npos)
            ++children;
        else
            nodes.push_back(f);
    }
    EXPECT_TRUE(title);
    EXPECT_TRUE(localLine);
    EXPECT_EQ(children, 2) << "one end device and one sleepy end device among the defaults";
    ASSERT_EQ(nodes.size(), 5u);
    std::set<std::string> euis;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const auto& f = nodes[i];
        ASSERT_EQ(f.size(), 6u);
        auto head = [](const std::string& s) { return s.substr(0, s.find(' ')); };
        EXPECT_EQ(head(f[1]), sim->Remote(i).Eui());
        EXPECT_EQ(head(f[3]), sim->Remote(i).Version());
        EXPECT_EQ(head(f[4]), sim->Remote(i).Product());
        EXPECT_EQ(f[5], sim->Remote(i).NodeName() + "\r");
        EXPECT_EQ(f[3].back(), ' ') << "fields are padded with trailing spaces";
        euis.insert(head(f[1]));
    }
    EXPECT_EQ(nodes[2][5], "Cellar pump two\r");
    EXPECT_EQ(euis.size(), 5u);
}

// Pacing spreads an answer over its line time (checked on the module's own time stamps, as
// a lower bound only).
TEST_F(Network, PacedScanReplyTakesItsLineTime) {
    SimConfig c = FastConfig();
    c.pacing = true;
    Start(c);
    line.Command("ATE0\r\n");
    sim->ClearReceived();
    std::string reply = line.Command("at+ds\r\n", 10s);
    ASSERT_EQ(reply.find("OK"), reply.size() - 4);
    // The reply is everything the module sent after the last byte of the command.
    auto log = sim->ByteLog();
    std::size_t start = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i].toModule)
            start = i + 1;
    std::chrono::microseconds first{-1}, last{-1};
    std::size_t bytes = 0;
    for (std::size_t i = start; i < log.size(); ++i) {
        if (first.count() < 0)
            first = log[i].at;
        last = log[i].at;
        bytes += log[i].bytes.size();
    }
    ASSERT_GT(bytes, 300u);
    // 10 bits per byte at 9600 baud; the first chunk is already on the line at "first".
    EXPECT_GE((last - first).count(), static_cast<long>((bytes - 2) * 1041 * 9 / 10));
}

TEST_F(Network, ThreeHundredRemotesAnswerAndScan) {
    SimConfig c = FastConfig();
    c.remoteCount = 300;
    Start(c, 9600);
    line.Command("ATE0\r\n");
    ASSERT_EQ(sim->RemoteCount(), 300u);
    EXPECT_EQ(ValueOf(line.Command("AT+RC=" + sim->Remote(299).Eui() + ",AT+NODENAME\r\n")),
              sim->Remote(299).NodeName());
    std::string reply = line.Command("at+ds\r\n", 20s);
    EXPECT_EQ(reply.find("OK"), reply.size() - 4);
    EXPECT_NE(reply.find(sim->Remote(299).Eui()), std::string::npos);
}

} // namespace
} // namespace vireo::sim
