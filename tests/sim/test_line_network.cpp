// The "at+ds" scan of the remote modules.
#include <gtest/gtest.h>

#include <sstream>

#include "LineFixture.h"

namespace vireo::sim {
namespace {

using namespace testing;
using Network = LineTest;

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '|');)
        fields.push_back(f);
    return fields;
}

// The local node's line is marked with '*', its end devices' lines with CHD or CLD; every
// remote has a node line of padded fields, the name last and unpadded.
TEST_F(Network, ScanListsTheLocalNodeItsChildrenAndEveryRemote) {
    SimConfig c = FastConfig();
    c.remoteCount = 300;
    Start(c);
    line.Command("ATE0\r\n");
    const std::string reply = line.Command("at+ds\r\n", 20s);
    ASSERT_EQ(reply.find("OK"), reply.size() - 4) << "nothing before the end may read OK";
    int local = 0, children = 0;
    std::vector<std::vector<std::string>> nodes;
    std::istringstream lines(reply);
    for (std::string l; std::getline(lines, l);) {
        const auto bar = l.find('|');
        if (bar == std::string::npos)
            continue;
        if (l.find('*') < bar)
            ++local;
        else if (l.find("CHD") < bar || l.find("CLD") < bar)
            ++children;
        else
            nodes.push_back(Split(l));
    }
    EXPECT_EQ(local, 1);
    EXPECT_EQ(children, 120) << "an end device and a sleepy one in every five remotes";
    ASSERT_EQ(nodes.size(), 300u);
    for (std::size_t i : {0u, 3u, 299u}) {
        const auto& f = nodes[i];
        ASSERT_EQ(f.size(), 6u) << i;
        const ModuleView m = sim->Remote(i);
        auto head = [](const std::string& s) { return s.substr(0, s.find(' ')); };
        EXPECT_EQ(head(f[1]) + head(f[3]) + head(f[4]), m.Eui() + m.Version() + m.Product());
        EXPECT_EQ(f[3].back(), ' ') << "fields are padded";
        EXPECT_EQ(f[5], m.NodeName() + "\r");
    }
}

// Pacing spreads an answer over its line time (on the module's own time stamps, as a lower
// bound only).
TEST_F(Network, PacedScanReplyTakesItsLineTime) {
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
