// The vireo executable run as a child process against paced simulated modules, registered in
// a private port folder. A module answers at the line rate, byte after byte, as a real one does.
#pragma once

#include "JsonReader.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace vireo::test {

struct ChildResult {
    int exitCode = -1; // -1 when it did not exit normally (killed, not started)
    std::string out;
    std::string err;
};

// Runs program with args and waits for it; a child still running after timeoutSeconds is
// killed (a hung tool must fail its test, not hang the suite). Its standard input is
// stdinPath; started, when given, gets the child's pid once it runs.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     int timeoutSeconds = 300, const std::string& stdinPath = "/dev/null",
                     const std::function<void(int pid)>& started = nullptr);

// What a child wrote, a line each (without the line breaks).
std::vector<std::string> Lines(const std::string& text);

inline std::string Sample(const std::string& name) {
    return std::string(VIREO_SAMPLE_DIR) + "/" + name;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class VireoCommand : public ::testing::Test {
protected:
    ~VireoCommand() override {
        for (const auto& module : modules)
            module->Stop();
    }

    // A module on COM<com> with no network unless config names one; the first is sim.
    void StartModule(sim::SimConfig config, int com = 1) {
        config.portDir = dir.Path();
        config.comNumber = com;
        config.dataDir = VIREO_SAMPLE_DIR;
        config.remoteCount = 0;
        config.pacing = true;
        modules.push_back(std::make_unique<sim::Simulator>(config));
        std::string error;
        ASSERT_TRUE(modules.back()->Start(&error)) << error;
        ASSERT_EQ(modules.back()->ComNumber(), com);
        sim = modules.front().get();
    }

    static ChildResult Vireo(const std::vector<std::string>& args) {
        return RunChild(VIREO_EXECUTABLE, args);
    }
    // The JSON a successful command printed (an undefined value when it printed none).
    static QJsonValue Json(const std::vector<std::string>& args) {
        const ChildResult r = Vireo(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const auto value = ParseJson(r.out);
        EXPECT_TRUE(value.has_value()) << r.out;
        return value.value_or(QJsonValue::Undefined);
    }

    // The module was left as the window leaves it when it closes: echo on.
    void ExpectEchoBackOn() const {
        const std::vector<std::string> commands = sim->ExecutedCommands();
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands.back(), "ATE1");
    }

    CTempPortDir dir; // outlives the modules, which remove their entries from it
    std::vector<std::unique_ptr<sim::Simulator>> modules;
    sim::Simulator* sim = nullptr;
};

} // namespace vireo::test
