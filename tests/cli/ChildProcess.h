// Runs a program as a child process with the test's environment and collects what it writes
// on standard output and standard error, and how it ended.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vireo::test {

struct ChildResult {
    int exitCode = -1; // the exit status; -1 when it did not exit normally (killed, not started)
    std::string out;
    std::string err;
};

// Runs program with args and waits for it. A child that is still running after
// timeoutSeconds is killed (a hung tool must fail its test, not hang the suite). Its
// standard input is the file stdinPath, or /dev/null. started, when given, is called with the
// child's pid once it runs, before the wait for its end.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     int timeoutSeconds = 300, const std::string& stdinPath = "/dev/null",
                     const std::function<void(int pid)>& started = nullptr);

// What a child wrote, a line each (without the line breaks).
std::vector<std::string> Lines(const std::string& text);

} // namespace vireo::test
