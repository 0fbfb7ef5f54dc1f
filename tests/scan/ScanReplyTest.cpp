// The network scan: the reply cut into node rows, and the time-out of a listing that is still
// arriving (a whole listing from the simulated network is the Scan dialog tests' part).
#include "scan/ScanReply.h"
#include "serial/DeviceLink.h"

#include <gtest/gtest.h>

namespace {

using Row = std::vector<std::string>; // index, type, address, version, model, name

std::vector<Row> Rows(std::string_view reply) {
    std::vector<Row> rows;
    for (const ScanNode& n : ParseScanReply(reply))
        rows.push_back({std::to_string(n.index), n.type, n.address, n.version, n.model, n.name});
    return rows;
}

TEST(ScanReply, LinesBecomeNumberedNodeRows) {
    const struct {
        const char* name;
        std::string reply;
        std::vector<Row> rows;
    } cases[] = {
        {"echo, title, two nodes, OK",
         "at+ds\r\nNodes\r\nR|A1|s|v1|KA40|one\r\nE|A2|s|v2|KM40X|two\r\n\r\nOK\r\n",
         {{"0", "R", "A1", "v1", "KA40", "one"}, {"1", "E", "A2", "v2", "KM40X", "two"}}},
        {"marked first fields take no number",
         "*R|L|s|v|KA40|local\r\nCHD|A|s\r\nx CLD|B|s|v|m|n\r\nR|C|s|v|m|n\r\n",
         {{"0", "R", "C", "v", "m", "n"}}},
        {"first words, the name whole up to its CR",
         "R   |A B|s|v1.1   |KA40 |node one | with bar\r\n",
         {{"0", "R", "A", "v1.1", "KA40", "node one | with bar"}}},
        {"a field that begins with a space is empty",
         "| A|s| v|m|n\r\n",
         {{"0", "", "", "", "m", "n"}}},
        {"short lines leave the missing fields empty",
         "R|A\r\nR|A|s|v\nR|",
         {{"0", "R", "A", "", "", ""}, {"1", "R", "A", "v", "", ""}, {"2", "R", "", "", "", ""}}},
        {"names that hold reply words",
         "R|A|s|v|m|BOOK OK\r\nR|B|s|v|m|ERROR\r\nOK",
         {{"0", "R", "A", "v", "m", "BOOK OK"}, {"1", "R", "B", "v", "m", "ERROR"}}},
        {"binary bytes and zero bytes stay inside their fields",
         std::string("R|\x01\xff|s|v|m|\x00\x80\r\n", 15),
         {{"0", "R", "\x01\xff", "v", "m", std::string("\x00\x80", 2)}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.rows, Rows(c.reply)) << c.name;
}

// A listing that is still arriving is read to its end, however long it takes (300 nodes at
// 9600 baud take about 25 s); the limit counts quiet time, and a module that never stops
// talking is given up on after two minutes. Time is counted in polls, not waited for.
TEST(ScanCommand, TheTimeOutCountsQuietTimeNotTheWholeListing) {
    const struct {
        const char* name;
        int nodeEveryPolls; // a node line arrives after this many 10 ms polls
        int nodes;          // then "OK"; -1: the module never stops
        int rows;           // rows of the reply; -1: "ERROR"
        long long pollsUsed;
    } cases[] = {
        {"40 s of listing, a line every 0.5 s", 50, 80, 80, 80 * 50 + 1},
        {"a pause of 14.9 s between lines", 1490, 3, 3, 3 * 1490 + 1},
        {"a pause of 15.01 s", 1501, 3, -1, 1500},
        {"a babbling module", 10, -1, -1, 12000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDeviceLink link;
        link.m_bPortOpen = 1;
        long long polls = 0;
        link.m_sleep = [&](int) {
            const long long line = ++polls / c.nodeEveryPolls;
            std::string arriving;
            if (polls % c.nodeEveryPolls == 0 && (c.nodes < 0 || line <= c.nodes))
                arriving = "R|A|s|v|m|n\r\n";
            if (c.nodes >= 0 && polls == static_cast<long long>(c.nodes) * c.nodeEveryPolls + 1)
                arriving = "\r\nOK\r\n";
            link.m_serial.m_rxRing.PutBurst(reinterpret_cast<const uint8_t*>(arriving.data()),
                                            arriving.size());
        };
        const std::string reply = link.ScanCommand("at+ds\r\n", 15);
        if (c.rows < 0) {
            EXPECT_EQ("ERROR", reply);
        } else {
            EXPECT_EQ(static_cast<size_t>(c.rows), ParseScanReply(reply).size());
        }
        EXPECT_EQ(c.pollsUsed, polls);
    }
}

} // namespace
