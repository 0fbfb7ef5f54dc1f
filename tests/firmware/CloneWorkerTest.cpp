// The clone monitor on its worker thread over a real pty, watching the simulated local module
// clone its firmware to a remote one: the outcome reaches the owner once the running mark is
// clear, and a stop request ends the watch at once. Runs under ThreadSanitizer.
#include "firmware/CloneWorker.h"
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

class CloneWorkerTest : public ::testing::Test {
protected:
    void StartClone(int stepMs) {
        vireo::sim::SimConfig config;
        config.baudRate = 115200;
        config.pacing = true;
        config.portDir = dir.Path();
        config.remotes = {vireo::sim::RemoteConfig{}};
        config.remotes[0].version = "v1.0.2";
        config.timing.cloneStepMs = stepMs;
        config.timing.cloneSteps = 2;
        sim = std::make_unique<vireo::sim::Simulator>(config);
        ASSERT_TRUE(sim->Start());
        ASSERT_EQ(1, port.Open(sim->ComNumber(), 115200, 0, 8, 0, 10));
        port.Write("AT+BOOTLOAD=2," + sim->Remote(0).Eui() + "\r\n");
        ASSERT_TRUE(sim->WaitForSent("Start cloning", 10s));
        ASSERT_TRUE(worker.Start(port, view, [this](const CloneOutcome& o) {
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
    RecordingView view;
    CCloneWorker worker;
    std::mutex lock;
    std::condition_variable endedCv;
    bool ended = false;
    bool runningAtEnd = true;
    CloneOutcome outcome;
};

TEST_F(CloneWorkerTest, CompletedCloneReachesTheOwnerAfterTheMarkIsClear) {
    StartClone(100);
    EXPECT_FALSE(worker.Start(port, view, nullptr)) << "one monitor at a time";
    ASSERT_TRUE(WaitForEnd(60s));
    EXPECT_EQ(CloneResult::Completed, outcome.result);
    EXPECT_FALSE(runningAtEnd);
    EXPECT_EQ("v1.1.0", sim->Remote(0).Version());
    std::lock_guard<std::mutex> guard(view.lock);
    EXPECT_EQ(0, view.last.rfind("Cloning.", 0));
}

TEST_F(CloneWorkerTest, StopEndsTheWatchAtOnce) {
    StartClone(60000);
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    ASSERT_TRUE(WaitForEnd(1s)) << "Stop waits for the thread, which reports before it ends";
    EXPECT_EQ(CloneResult::Stopped, outcome.result);
}

} // namespace
