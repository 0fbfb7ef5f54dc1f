// The transfer on its worker thread over a real pty into the simulated bootloader, paced at
// 115200 baud: the outcome reaches the owner once the running mark is clear, and a stop
// request ends a transfer at once and tells the module to cancel. Runs under ThreadSanitizer.
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

class RecordingView : public ITransferView {
public:
    void SetStatus(const std::string& text) override {
        std::lock_guard<std::mutex> guard(lock);
        last = text;
    }
    void SetProgress(int percent) override {
        std::lock_guard<std::mutex> guard(lock);
        progress = percent;
    }
    std::mutex lock;
    std::string last;
    int progress = -1;
};

class TransferWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        vireo::sim::SimConfig config;
        config.damaged = true; // waits in its bootloader at 115200
        config.pacing = true;
        config.portDir = dir.Path();
        sim = std::make_unique<vireo::sim::Simulator>(config);
        ASSERT_TRUE(sim->Start());
        ASSERT_EQ(1, port.Open(sim->ComNumber(), 115200, 0, 8, 0, 10));
        port.Write("1"); // the menu's upload choice
        BuildCrcTable(table);
        settings.variant = TransferVariant::Recovery;
        settings.filePath = vireo::GetProgramDirectory() + "KA40_v1.0.2.ebl";
        settings.crcTable = &table;
    }
    void Start() {
        ASSERT_TRUE(worker.Start(port, view, settings, [this](const TransferOutcome& o) {
            std::lock_guard<std::mutex> guard(lock);
            runningAtEnd = worker.Running();
            outcome = o;
            ended = true;
            endedCv.notify_all();
        }));
    }
    bool WaitForEnd(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> guard(lock);
        return endedCv.wait_for(guard, limit, [this] { return ended; });
    }

    vireo::test::CTempPortDir dir;
    std::unique_ptr<vireo::sim::Simulator> sim;
    CSerialPort port;
    CrcTable table;
    TransferSettings settings;
    RecordingView view;
    CTransferWorker worker;
    std::mutex lock;
    std::condition_variable endedCv;
    bool ended = false;
    bool runningAtEnd = true;
    TransferOutcome outcome;
};

TEST_F(TransferWorkerTest, OutcomeArrivesAfterTheRunningMarkIsCleared) {
    Start();
    EXPECT_FALSE(worker.Start(port, view, settings, nullptr)); // one transfer at a time
    ASSERT_TRUE(WaitForEnd(60s));
    EXPECT_EQ(TransferResult::Completed, outcome.result);
    EXPECT_FALSE(runningAtEnd);
    EXPECT_EQ(100, view.progress);
    EXPECT_FALSE(sim->Local().Damaged());
    worker.Stop();
}

TEST_F(TransferWorkerTest, StopEndsATransferAndCancelsTheReceiver) {
    Start();
    ASSERT_TRUE(sim->WaitForReceived(std::string(1, '\x01'), 30s));
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    ASSERT_TRUE(WaitForEnd(1s));
    EXPECT_EQ(TransferResult::Stopped, outcome.result);
    EXPECT_TRUE(sim->WaitForReceived("\x18\x18\x18", 5s));
}

} // namespace
