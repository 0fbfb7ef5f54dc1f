// Helpers for the simulator tests: a simulator with short delays, the tool's end of the line
// (the pty slave set raw at a rate, read with poll and time-outs), and a fixture with both.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sim/Simulator.h"

namespace vireo::sim::testing {

using namespace std::chrono_literals;

std::string SampleDir();
std::string ReadFile(const std::string& path);

// Short delays, a private port directory and the sample data.
SimConfig FastConfig();

class Line {
public:
    Line() = default;
    ~Line() { Close(); }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool Open(const std::string& path, int rate);
    void Close();
    bool Write(std::string_view bytes);
    // Reads until the text collected since the last Take holds `text`; false on time-out.
    bool ReadUntil(std::string_view text, std::chrono::milliseconds timeout = 5000ms);
    void ReadFor(std::chrono::milliseconds duration);
    std::string Take(); // the collected text; collecting starts anew
    // Writes a command and returns what came until "OK" or "ERROR" ended its answer.
    std::string Command(std::string_view command, std::chrono::milliseconds timeout = 5000ms);

private:
    bool ReadUntilDone(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    int fd_ = -1;
    std::string text_;
};

// Fixture: a started simulator and the tool's end of its line.
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
