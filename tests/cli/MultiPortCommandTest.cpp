// The vireo executable on several modules at once: three paced simulated modules on private
// COM1..COM3, of which COM3 is stuck in its bootloader and cannot be worked on.
#include "ChildProcess.h"
#include "JsonReader.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace vireo::test {
namespace {

// The summary row of a port: the line that starts with its name.
std::string Row(const std::string& out, const std::string& port) {
    for (const std::string& line : Lines(out)) {
        if (line.rfind(port + " ", 0) == 0)
            return line;
    }
    return "";
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class MultiPortCommand : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n = 1; n <= 3; ++n) {
            sim::SimConfig config;
            config.portDir = dir.Path();
            config.comNumber = n;
            config.dataDir = VIREO_SAMPLE_DIR;
            config.remoteCount = 0;
            config.pacing = true;
            config.baudRate = 115200;
            config.damaged = n == 3;
            sims[n - 1] = std::make_unique<sim::Simulator>(config);
            std::string error;
            ASSERT_TRUE(sims[n - 1]->Start(&error)) << error;
            ASSERT_EQ(sims[n - 1]->ComNumber(), n);
        }
    }

    static ChildResult Vireo(const std::vector<std::string>& args) {
        return RunChild(VIREO_EXECUTABLE, args);
    }

    CTempPortDir dir; // outlives the modules, which remove their entries from it
    std::array<std::unique_ptr<sim::Simulator>, 3> sims;
};

TEST_F(MultiPortCommand, FlashUpdatesTheGoodModulesAndNamesEachPortInTheSummary) {
    const ChildResult r = Vireo(
        {"flash", "--port", "COM1,COM2,COM3", std::string(VIREO_SAMPLE_DIR) + "/KA40_v1.2.0.ebl"});

    EXPECT_EQ(r.exitCode, 4) << "the one failure's own code\n" << r.err;
    EXPECT_EQ(sims[0]->Local().Version(), "v1.2.0");
    EXPECT_EQ(sims[1]->Local().Version(), "v1.2.0");
    for (const char* port : {"COM1", "COM2"}) {
        const std::vector<std::string> expected{port, "KA40", "v1.1.0", "v1.2.0", "OK"};
        std::istringstream row(Row(r.out, port));
        for (const std::string& field : expected) {
            std::string word;
            row >> word;
            EXPECT_EQ(word, field) << r.out;
        }
    }
    EXPECT_TRUE(Contains(Row(r.out, "COM3"), "FAILED (4)")) << r.out;
    // Standard error is no terminal here: every line is whole and names its port.
    bool com3Failure = false;
    for (const std::string& line : Lines(r.err)) {
        EXPECT_TRUE(line.rfind("COM1: ", 0) == 0 || line.rfind("COM2: ", 0) == 0 ||
                    line.rfind("COM3: ", 0) == 0)
            << line;
        com3Failure |= line.rfind("COM3: ERROR: ", 0) == 0;
    }
    EXPECT_TRUE(com3Failure) << r.err;
    EXPECT_TRUE(Contains(r.err, "COM1: 50.00% Completed!")) << r.err;
}

// Ports fail with different codes (COM3 in its bootloader, COM4 not present): the run
// exits 1, and each port's object says how it ended.
TEST_F(MultiPortCommand, JsonGivesOneObjectPerPortInTheirOrder) {
    const ChildResult r = Vireo(
        {"set", "--port", "COM4,COM1,COM3", "--baud", "115200", "--json", "AT+NODENAME", "Line 7"});

    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(sims[0]->Local().NodeName(), "Line 7");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const std::array<std::pair<const char*, int>, 3> expected{
        {{"COM4", 10}, {"COM1", 0}, {"COM3", 4}}};
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto object = ParseJson(lines[i]);
        ASSERT_TRUE(object.has_value()) << lines[i];
        EXPECT_EQ(Text((*object)["port"]), expected[i].first);
        EXPECT_EQ(Text((*object)["exit_code"]), std::to_string(expected[i].second));
        EXPECT_FALSE(Text((*object)["message"]).empty());
    }
    EXPECT_EQ(Text((*ParseJson(lines[1]))["product_name"]), "KA40");
    EXPECT_EQ(Text((*ParseJson(lines[0]))["message"]),
              "ERROR: Could not open serial port. COM4: no such device - the module is unplugged, "
              "or this is the wrong port.");
}

} // namespace
} // namespace vireo::test
