// Fixture: a started simulator and the tool's end of its line.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "SimTestSupport.h"

namespace vireo::sim::testing {

class LineTest : public ::testing::Test {
protected:
    void Start(SimConfig c, int lineRate = 0) {
        config = c;
        sim = std::make_unique<Simulator>(c);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_TRUE(line.Open(sim->SlavePath(), lineRate    ? lineRate
                                                : c.damaged ? 115200
                                                            : c.baudRate));
    }
    void TearDown() override {
        line.Close();
        if (sim)
            sim->Stop();
    }
    SimConfig config;
    std::unique_ptr<Simulator> sim;
    Line line;
};

} // namespace vireo::sim::testing
