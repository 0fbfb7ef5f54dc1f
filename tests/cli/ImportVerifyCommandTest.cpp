// import --verify as people run it: against a module that acknowledges a write it does not
// keep, the tool names that parameter and exits 6; without the option it reads nothing back.
#include "ChildProcess.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <fstream>
#include <gtest/gtest.h>

namespace vireo::test {
namespace {

TEST(ImportVerifyCommand, ADifferenceIsNamedAndGivesExitCodeSix) {
    CTempPortDir dir;
    sim::SimConfig config;
    config.portDir = dir.Path();
    config.dataDir = VIREO_SAMPLE_DIR;
    config.remoteCount = 0;
    config.pacing = true;
    config.faults.ignoredWrites = {"AT+CHANNEL"};
    sim::Simulator sim(config);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    const std::string file = dir.Path() + "/in.zgb";
    std::ofstream(file) << "[Firmware]\r\nVersion=KA40_v1.1.0.vmcon\r\nNum_of_saves=2\r\n"
                           "[0]\r\nName=Network/PAN ID\r\nCommand=AT+PANID=2B3C\r\n\r\n"
                           "[1]\r\nName=Network/Channel\r\nCommand=AT+CHANNEL=20\r\n\r\n";
    const std::string com = "COM" + std::to_string(sim.ComNumber());

    const ChildResult plain = RunChild(VIREO_EXECUTABLE, {"import", "--port", com, file});
    EXPECT_EQ(0, plain.exitCode) << plain.err;
    EXPECT_EQ(std::string::npos, plain.err.find("Read back")) << plain.err;

    const ChildResult checked =
        RunChild(VIREO_EXECUTABLE, {"import", "--port", com, "--verify", file});
    EXPECT_EQ(6, checked.exitCode) << checked.err;
    EXPECT_NE(std::string::npos,
              checked.err.find("Differs: Network/Channel: wrote AT+CHANNEL=20, read back 15"))
        << checked.err;
    EXPECT_EQ(std::string::npos, checked.err.find("Differs: Network/PAN ID")) << checked.err;
    EXPECT_EQ("2B3C", sim.Local().Get("AT+PANID").value_or(""));
    sim.Stop();
}

} // namespace
} // namespace vireo::test
