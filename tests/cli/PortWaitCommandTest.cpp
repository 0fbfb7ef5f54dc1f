// The vireo executable when its port cannot be opened (the cause line, an exit code per
// cause, the --json result) and with --wait-port: the module registered after the tool has
// started, a wait that runs out, Ctrl-C during the wait, and the values the option refuses.
#include "ChildProcess.h"
#include "JsonReader.h"
#include "cli/CommandLine.h"
#include "serial/SerialPort.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace vireo::test {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

ChildResult Vireo(const std::vector<std::string>& args) {
    return RunChild(VIREO_EXECUTABLE, args, 120);
}

class PortWaitCommand : public ::testing::Test {
protected:
    ~PortWaitCommand() override {
        if (sim)
            sim->Stop();
    }

    void StartModule() {
        sim::SimConfig config;
        config.portDir = dir.Path();
        config.comNumber = 1;
        config.dataDir = VIREO_SAMPLE_DIR;
        config.remoteCount = 0;
        config.pacing = true;
        sim = std::make_unique<sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_EQ(sim->ComNumber(), 1);
    }

    CTempPortDir dir;
    std::unique_ptr<sim::Simulator> sim;
};

TEST_F(PortWaitCommand, EachCauseHasItsLineAndExitCode) {
    ASSERT_EQ(0, symlink("/dev/null", (dir.Path() + "/COM5").c_str()));
    CPtyPeer held(3);
    CSerialPort holder; // this process holds COM3, as another program would
    ASSERT_EQ(1, holder.Open(3, 9600, 0, 8, 0, 10)) << holder.LastError();
    const std::string self = "(pid " + std::to_string(getpid()) + ")";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string line;
    } rows[] = {
        {{"info", "--port", "COM9"}, 10, "COM9: no such device"},
        {{"term", "--port", "COM5"}, 13, "COM5 (/dev/null): not a serial device"},
        {{"scan", "--port", "COM3"}, 12, "COM3 (" + held.SlavePath() + "): busy - in use by "},
        {{"term", "--port", "COM3"}, 12, self},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[2]);
        const ChildResult r = Vireo(row.args);
        EXPECT_EQ(row.exitCode, r.exitCode);
        EXPECT_EQ(0u, r.err.find("ERROR: Could not open serial port.\n")) << r.err;
        EXPECT_TRUE(Contains(r.err, row.line)) << r.err;
        EXPECT_EQ("", r.out);
    }
    EXPECT_EQ("", held.Received());
}

TEST_F(PortWaitCommand, JsonResultCarriesTheCodeAndTheMessage) {
    const ChildResult r = Vireo({"info", "--port", "COM9", "--json"});
    EXPECT_EQ(10, r.exitCode);
    const auto result = ParseJson(r.out);
    ASSERT_TRUE(result.has_value()) << r.out;
    EXPECT_EQ("COM9", (*result)["port"].text);
    EXPECT_EQ("10", (*result)["exit_code"].text);
    EXPECT_EQ("no-such-device", (*result)["cause"].text);
    EXPECT_EQ(r.err, (*result)["message"].text + "\n");
}

TEST_F(PortWaitCommand, VerbRunsOnceTheModuleAppearsLater) {
    auto child = std::async(std::launch::async, [] {
        return Vireo({"info", "--port", "COM1", "--wait-port", "60"});
    });
    std::this_thread::sleep_for(std::chrono::seconds(1)); // before or after: it must succeed
    StartModule();
    const ChildResult r = child.get();
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(Contains(r.out, "Product name:      KA40\n")) << r.out;
    EXPECT_LE(Count(r.err, "Waiting for COM1 to appear..."), 1u) << r.err;
    EXPECT_FALSE(Contains(r.err, "ERROR")) << r.err;
}

TEST_F(PortWaitCommand, WaitThatRunsOutReportsTheLastCause) {
    const ChildResult absent = Vireo({"recover", "--port", "COM9", "--wait-port", "1",
                                      std::string(VIREO_SAMPLE_DIR) + "/KA40_v1.2.0.ebl"});
    EXPECT_EQ(10, absent.exitCode);
    EXPECT_EQ("Waiting for COM9 to appear...\nStopped waiting for COM9 after 1 s.\n"
              "ERROR: Could not open serial port.\n"
              "COM9: no such device - the module is unplugged, or this is the wrong port.\n",
              absent.err);

    CPtyPeer held(3);
    CSerialPort holder;
    ASSERT_EQ(1, holder.Open(3, 9600, 0, 8, 0, 10)) << holder.LastError();
    const ChildResult busy = Vireo({"info", "--port", "COM3", "--wait-port", "1"});
    EXPECT_EQ(12, busy.exitCode);
    EXPECT_EQ(1u, Count(busy.err, "Waiting for COM3 to open (")) << busy.err;
    EXPECT_TRUE(Contains(busy.err, "Stopped waiting for COM3 after 1 s.\nERROR: Could not open "
                                   "serial port.\nCOM3 ("))
        << busy.err;
}

// The pid of this process's child named name, 0 while there is none.
int ChildNamed(const std::string& name) {
    DIR* proc = opendir("/proc");
    int found = 0;
    while (const dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.find("(" + name + ")") == std::string::npos)
            continue;
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string state;
        int parent = 0;
        if (fields >> state >> parent && parent == getpid())
            found = std::atoi(entry->d_name);
    }
    if (proc)
        closedir(proc);
    return found;
}

// True once the process catches SIGINT: its handler is in place.
bool CatchesInterrupt(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
    }
    return false;
}

TEST_F(PortWaitCommand, CtrlCEndsTheWaitAtOnce) {
    auto child = std::async(std::launch::async, [] {
        return Vireo({"info", "--port", "COM9", "--wait-port", "600"});
    });
    int pid = 0;
    for (int i = 0; i < 3000 && !(pid && CatchesInterrupt(pid)); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pid = ChildNamed("vireo");
    }
    ASSERT_NE(0, pid);
    kill(pid, SIGINT);
    const ChildResult r = child.get(); // a wait that went on would be killed after 120 s: -1
    EXPECT_EQ(130, r.exitCode) << r.err;
    EXPECT_TRUE(Contains(r.err, "Interrupted.")) << r.err;
}

TEST(WaitPortOption, RefusesWhatIsNoWholeNumberOfSecondsUpToADay) {
    const struct {
        const char* value;
        int seconds; // -1: refused
    } rows[] = {
        {"0", 0},   {"5", 5},     {"86400", 86400}, {"86401", -1}, {"-1", -1},
        {"", -1},   {"abc", -1},  {"1.5", -1},      {"5s", -1},    {"99999999999999", -1},
        {"+5", -1}, {"0x10", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        const auto parsed =
            cli::ParseCommandLine({"info", "--port", "COM1", "--wait-port", row.value});
        if (row.seconds < 0) {
            EXPECT_TRUE(Contains(parsed.error, "--wait-port takes whole seconds from 0 to 86400"))
                << parsed.error;
        } else {
            EXPECT_EQ("", parsed.error);
            EXPECT_EQ(row.seconds, parsed.options.waitPortSeconds);
        }
    }
    EXPECT_NE("", cli::ParseCommandLine({"ports", "--wait-port", "5"}).error);
    const ChildResult r = Vireo({"term", "--port", "COM1", "--wait-port=-3"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_TRUE(Contains(r.err, "--wait-port takes whole seconds")) << r.err;
}

} // namespace
} // namespace vireo::test
