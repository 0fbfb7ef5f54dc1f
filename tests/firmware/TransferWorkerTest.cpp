// The transfer on its worker thread over a real pty into the simulated bootloader, paced at
// 115200 baud: one transfer at a time, a stop request ends it at once and tells the module to
// cancel, and the outcome reaches the owner once the running mark is clear. Runs under
// ThreadSanitizer.
#include "firmware/TransferWorker.h"
#include "platform/ProgramDirectory.h"
#include "serial/SerialPort.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

using namespace std::chrono_literals;

namespace {

class SilentView : public ITransferView {
public:
    void SetStatus(const std::string&) override {}
    void SetProgress(int) override {}
};

TEST(TransferWorker, StopEndsATransferAndTheOutcomeFollowsTheRunningMark) {
    vireo::test::CTempPortDir dir;
    vireo::sim::SimConfig config;
    config.damaged = true; // waits in its bootloader at 115200
    config.pacing = true;
    config.portDir = dir.Path();
    vireo::sim::Simulator sim(config);
    ASSERT_TRUE(sim.Start());
    CSerialPort port;
    ASSERT_EQ(1, port.Open(sim.ComNumber(), 115200, 0, 8, 0, 10));
    port.Write("1"); // the menu's upload choice
    TransferSettings settings;
    settings.variant = TransferVariant::Recovery;
    settings.filePath = vireo::GetProgramDirectory() + "KA40_v1.0.2.ebl";
    CrcTable table;
    BuildCrcTable(table);
    settings.crcTable = &table;

    SilentView view;
    CTransferWorker worker;
    std::mutex lock;
    std::condition_variable endedCv;
    std::optional<TransferOutcome> outcome;
    bool runningAtEnd = true;
    ASSERT_TRUE(worker.Start(port, view, settings, [&](const TransferOutcome& o) {
        std::lock_guard<std::mutex> guard(lock);
        runningAtEnd = worker.Running();
        outcome = o;
        endedCv.notify_all();
    }));
    EXPECT_FALSE(worker.Start(port, view, settings, nullptr));
    ASSERT_TRUE(sim.WaitForReceived(std::string(1, '\x01'), 30s));
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(endedCv.wait_for(guard, 1s, [&] { return outcome.has_value(); }));
    EXPECT_EQ(TransferResult::Stopped, outcome->result);
    EXPECT_FALSE(runningAtEnd);
    EXPECT_TRUE(sim.WaitForReceived("\x18\x18\x18", 5s));
}

} // namespace
