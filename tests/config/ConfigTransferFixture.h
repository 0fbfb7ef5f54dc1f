// A manager core connected to the simulated module (with a network behind it) on COM1 of a
// private port directory, at 115200 baud; the module answers byte after byte at that rate.
#pragma once

#include "app/ManagerCore.h"
#include "config/ConstructLoader.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace vireo::test {

class ConfigTransferFixture : public ::testing::Test {
protected:
    ~ConfigTransferFixture() override {
        core.ShutdownLink();
        if (sim)
            sim->Stop();
    }

    void Connect(sim::SimConfig config) {
        config.baudRate = 115200;
        config.pacing = true;
        config.timing.radioDelayMs = 5;
        config.timing.unknownAddressMs = 200;
        if (config.dataDir.empty())
            config.dataDir = VIREO_DATA_DIR;
        sim = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim->Start());
        core.m_strPortName = "COM1";
        core.m_nBaudRate = 115200;
        core.OnOpen();
        ASSERT_EQ(1, core.m_bPortOpen);
    }

    // Loads a construct file as the page does (in remote mode without "Security Settings").
    std::unique_ptr<CConstructData> Load(const std::string& name, bool remote = false,
                                         const std::string& directory = VIREO_DATA_DIR) {
        auto data = std::make_unique<CConstructData>();
        ConstructLoadRequest request{name, "", remote, directory + "/", {}};
        EXPECT_EQ(1, ParseConstructFile(*data, request)) << name;
        return data;
    }

    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }

    CTempPortDir dir;
    CScriptedUi ui;
    CManagerCore core;
    std::unique_ptr<sim::Simulator> sim;
};

} // namespace vireo::test
