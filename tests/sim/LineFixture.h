// Fixture: a started simulator and the tool's end of its line.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "SimTestSupport.h"

namespace vireo::sim::testing {

class LineTest : public ::testing::Test {
protected:
    void Start(SimConfig c) {
        sim = std::make_unique<Simulator>(c);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_TRUE(line.Open(sim->SlavePath(), c.damaged ? 115200 : c.baudRate));
    }
    void TearDown() override {
        line.Close();
        if (sim)
            sim->Stop();
    }
    std::unique_ptr<Simulator> sim;
    Line line;
};

// A query's answer with echo off: CR LF value CR LF CR LF OK CR LF.
inline std::string Answer(const std::string& value) {
    return "\r\n" + value + "\r\n\r\nOK\r\n";
}
inline const std::string kOk = "\r\nOK\r\n";
inline const std::string kError = "\r\nERROR\r\n";

} // namespace vireo::sim::testing
