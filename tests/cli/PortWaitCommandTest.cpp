// The vireo executable when its port cannot be opened (an exit code per cause, the --json
// result) and with --wait-port: the module registered after the tool has started, waits that
// run out, and Ctrl-C during the wait. The cause lines themselves are the serial layer's test.
#include "VireoFixture.h"
#include "cli/PortOpenReport.h"
#include "serial/SerialPort.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace vireo::test {
namespace {

using PortWaitCommand = VireoCommand;

TEST(PortOpenExitCode, EachCauseHasItsOwnCode) {
    const std::pair<PortOpenCause, int> rows[] = {
        {PortOpenCause::NoSuchDevice, 10}, {PortOpenCause::PermissionDenied, 11},
        {PortOpenCause::Busy, 12},         {PortOpenCause::NotSerial, 13},
        {PortOpenCause::Other, 3},
    };
    for (const auto& [cause, code] : rows)
        EXPECT_EQ(code, cli::PortOpenExitCode(cause)) << PortOpenCauseName(cause);
}

// While one wait goes on for COM1, two others run out: a port that never appears (recover
// opens the port itself) and one that another program holds (info goes through the connect
// sequence). Then the module registers on COM1 and the first wait ends in the verb's result.
TEST_F(PortWaitCommand, WaitsEndWhenTheModuleAppearsOrTheTimeIsUp) {
    auto later = std::async(std::launch::async, [] {
        return Vireo({"info", "--port", "COM1", "--wait-port", "60"});
    });
    const ChildResult absent =
        Vireo({"recover", "--port", "COM9", "--wait-port", "1", Sample("KA40_v1.2.0.ebl")});
    EXPECT_EQ(10, absent.exitCode);
    EXPECT_EQ("Waiting for COM9 to appear...\nStopped waiting for COM9 after 1 s.\n"
              "ERROR: Could not open serial port.\n"
              "COM9: no such device - the module is unplugged, or this is the wrong port.\n",
              absent.err);

    CPtyPeer held(3);
    CSerialPort holder; // this process holds COM3, as another program would
    ASSERT_EQ(1, holder.Open(3, 9600, 0, 8, 0, 10)) << holder.LastError();
    const ChildResult busy = Vireo({"info", "--port", "COM3", "--wait-port", "1", "--json"});
    EXPECT_EQ(12, busy.exitCode);
    const QJsonValue result = ParseJson(busy.out).value_or(QJsonValue::Undefined);
    EXPECT_EQ("COM3", Text(result["port"])) << busy.out;
    EXPECT_EQ("12", Text(result["exit_code"]));
    EXPECT_EQ("busy", Text(result["cause"]));
    EXPECT_EQ(0u, busy.err.find("Waiting for COM3 to open (")) << busy.err;
    EXPECT_EQ(std::string::npos, busy.err.find("Waiting", 1)) << "said once, not per attempt";
    EXPECT_TRUE(Contains(busy.err,
                         "Stopped waiting for COM3 after 1 s.\n" + Text(result["message"]) + "\n"))
        << busy.err;

    StartModule({});
    const ChildResult r = later.get();
    EXPECT_EQ(0, r.exitCode) << r.err;
    for (const char* line : {"Port:              COM1\n", "Product name:      KA40\n",
                             "Firmware version:  v1.1.0\n", "Sleepy end device: no\n"})
        EXPECT_TRUE(Contains(r.out, line)) << r.out;
    // Silent when the module came first.
    EXPECT_TRUE(r.err.empty() || r.err == "Waiting for COM1 to appear...\n") << r.err;
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
    const auto interrupt = [](int pid) {
        for (int i = 0; i < 3000 && !CatchesInterrupt(pid); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid, SIGINT);
    };
    // A wait that went on would be killed: exit code -1.
    const ChildResult r =
        Vireo({"info", "--port", "COM9", "--wait-port", "600"}, "/dev/null", interrupt);
    EXPECT_EQ(130, r.exitCode) << r.err;
    EXPECT_TRUE(Contains(r.err, "Interrupted.")) << r.err;
}

} // namespace
} // namespace vireo::test
