// Helpers for the simulator tests: a started simulator with short delays, and the tool's
// end of the line (the pty slave opened, set raw at a rate, read with poll and time-outs).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "sim/Simulator.h"

namespace vireo::sim::testing {

using namespace std::chrono_literals;

// Directory with the sample construct files and images of the source tree.
std::string SampleDir();

// A configuration with short delays, a private port directory and the sample data.
SimConfig FastConfig();

// The tool's end of the line.
class Line {
public:
    Line() = default;
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool Open(const std::string& path, int rate);
    void Close();
    bool SetRate(int rate);
    bool Write(std::string_view bytes);
    // Reads until the text collected since the last Take holds text, or the time-out ends.
    // Returns whether it was found; the collected text stays available through Text().
    bool ReadUntil(std::string_view text, std::chrono::milliseconds timeout = 5000ms);
    // Reads whatever comes within the given time.
    void ReadFor(std::chrono::milliseconds duration);
    // Next byte within the time-out, -1 when none.
    int ReadByte(std::chrono::milliseconds timeout);
    const std::string& Text() const { return text_; }
    // Returns the collected text and starts collecting anew.
    std::string Take();
    // One command with its answer: clears, writes, reads until "OK" or "ERROR" shows up.
    std::string Command(std::string_view command, std::chrono::milliseconds timeout = 5000ms);
    int fd() const { return fd_; }

private:
    bool ReadSome(std::chrono::milliseconds timeout);
    int fd_ = -1;
    std::string text_;
};

// The value of a reply in the module's shape CR LF value CR LF CR LF OK CR LF (echo off).
std::string ValueOf(const std::string& reply);

// Sends an image the way the manager does: waits for "C", 128-byte blocks filled with 0x26,
// CRC-16, up to 10 repeats per block, then EOT, a second EOT and CR LF. Returns a short
// description of what happened: "ok", or the failure.
struct SendResult {
    bool ok = false;
    std::string failure;
    std::string answers; // every answer byte to a block, in order (ACK, NAK, CAN, ...)
};
SendResult SendImageLikeTool(Line& line, const std::string& image,
                             std::chrono::milliseconds blockTimeout = 5000ms,
                             std::chrono::milliseconds startTimeout = 5000ms);

std::string ReadFile(const std::string& path);

} // namespace vireo::sim::testing
