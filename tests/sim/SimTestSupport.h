// Helpers for the simulator tests: a simulator with short delays, and the tool's end of the
// line (the pty slave set raw at a rate, read with poll and time-outs).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "sim/Simulator.h"

namespace vireo::sim::testing {

using namespace std::chrono_literals;

std::string SampleDir();
std::string ReadFile(const std::string& path);
std::string Sample(const std::string& name); // a file of SampleDir()

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
    bool SetRate(int rate);
    bool Write(std::string_view bytes);
    // Reads until the text collected since the last Take holds `text`; false on time-out.
    bool ReadUntil(std::string_view text, std::chrono::milliseconds timeout = 5000ms);
    void ReadFor(std::chrono::milliseconds duration);
    int ReadByte(std::chrono::milliseconds timeout); // -1 when nothing came
    std::string Take();                              // the collected text; collecting starts anew
    // Writes a command and returns what came until "OK" or "ERROR" ended its answer.
    std::string Command(std::string_view command, std::chrono::milliseconds timeout = 5000ms);

private:
    bool ReadUntilDone(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    int fd_ = -1;
    std::string text_;
};

} // namespace vireo::sim::testing
