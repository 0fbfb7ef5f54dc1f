// vireo flash --remote as people run it, against the simulated module and its network on a
// private COM1, at the line rate. Each device costs the tool's fixed pauses around the
// bootloader command (some 9 s): the batches here are short.
#include "ChildProcess.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace vireo::test {
namespace {

std::string Sample(const std::string& name) {
    return std::string(VIREO_SAMPLE_DIR) + "/" + name;
}

std::string LastLine(const std::string& text) {
    std::istringstream in(text);
    std::string last;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            last = line;
    return last;
}

class RemoteFlashCommand : public ::testing::Test {
protected:
    ~RemoteFlashCommand() override {
        if (sim)
            sim->Stop();
    }

    // A local KA40 v1.1.0 and the given remotes (all at v1.1.0).
    void StartNetwork(const std::vector<std::string>& products, sim::FaultConfig faults = {}) {
        sim::SimConfig config;
        config.portDir = dir.Path();
        config.comNumber = 1;
        config.dataDir = VIREO_SAMPLE_DIR;
        config.baudRate = 115200;
        config.pacing = true;
        config.faults = faults;
        config.timing.radioBlockMs = 1;
        config.timing.cloneStepMs = 200;
        config.timing.cloneSteps = 3;
        config.timing.unknownAddressMs = 200;
        for (const std::string& product : products) {
            sim::RemoteConfig remote;
            remote.product = product;
            remote.version = "v1.0.2";
            config.remotes.push_back(remote);
        }
        sim = std::make_unique<sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
    }
    std::string Eui(size_t i) const { return sim->Remote(i).Eui(); }

    static ChildResult Vireo(const std::vector<std::string>& args) {
        return RunChild(VIREO_EXECUTABLE, args);
    }

    CTempPortDir dir;
    std::unique_ptr<sim::Simulator> sim;
};

// The first device does not take the bootloader command: the second is still updated, and
// the exit code and the last line say which one failed.
TEST_F(RemoteFlashCommand, EveryDeviceIsTriedAndTheFailedOnesAreNamed) {
    sim::FaultConfig faults;
    faults.refusedRemoteBootloads = 1;
    StartNetwork({"KA40", "KA40"}, faults);
    const ChildResult r = Vireo(
        {"flash", "--port", "COM1", "--remote", Eui(0) + "," + Eui(1), Sample("KA40_v1.1.0.ebl")});
    EXPECT_EQ(r.exitCode, 5) << r.err;
    EXPECT_EQ(sim->Remote(0).Version(), "v1.0.2");
    EXPECT_EQ(sim->Remote(1).Version(), "v1.1.0");
    EXPECT_NE(r.err.find("ERROR: The remote device does not respond."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(Eui(1) + ": updated."), std::string::npos) << r.err;
    EXPECT_EQ(LastLine(r.err), "Could not update remote device firmware: " + Eui(0) + ".");
}

TEST_F(RemoteFlashCommand, CloneCopiesTheLocalFirmware) {
    StartNetwork({"KA40"});
    const ChildResult r = Vireo({"flash", "--port", "COM1", "--remote", Eui(0), "--clone"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sim->Remote(0).Version(), "v1.1.0");
    EXPECT_EQ(LastLine(r.err), "The remote firmware update is completed successfully.");
}

} // namespace
} // namespace vireo::test
