// The rules of a remote batch and of the clone monitor, on fake time.
#include "firmware/RemoteBatch.h"
#include "firmware/CloneMonitor.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<CRemoteBatch::Device> Devices(const std::vector<int>& rows) {
    std::vector<CRemoteBatch::Device> out;
    for (int row : rows)
        out.push_back({row, "ADDR" + std::to_string(row)});
    return out;
}

// What the owner does when a tick starts a device: rows whose entry fails are refused.
struct Starter {
    std::vector<int> refused;
    std::vector<int> started; // every attempt, in order
    CRemoteBatch::StartDevice Hook() {
        return [this](const CRemoteBatch::Device& d, bool) {
            started.push_back(d.row);
            return std::find(refused.begin(), refused.end(), d.row) == refused.end();
        };
    }
};

// A device running blocks the ticks; each tick after its end starts the next one; the last
// start asks for no further tick.
TEST(RemoteBatch, StartsOneDeviceAtATimeInRowOrder) {
    CRemoteBatch batch;
    batch.Begin(Devices({0, 2, 5}));
    Starter starter;
    EXPECT_EQ(CRemoteBatch::kNextTickMs, batch.Tick(false, starter.Hook()));
    EXPECT_EQ(std::vector<int>{0}, starter.started);
    EXPECT_EQ(CRemoteBatch::kNextTickMs, batch.Tick(false, starter.Hook())); // still running
    EXPECT_EQ(std::vector<int>{0}, starter.started);
    EXPECT_EQ("Remote firmware update is completed successfully. Please wait.",
              batch.DeviceEnded(true, ""));
    EXPECT_EQ(CRemoteBatch::kNextTickMs, batch.Tick(false, starter.Hook()));
    EXPECT_EQ("Transmit error.", batch.DeviceEnded(false, "Transmit error."));
    EXPECT_EQ(0, batch.Tick(false, starter.Hook()));
    EXPECT_EQ((std::vector<int>{0, 2, 5}), starter.started);
    EXPECT_FALSE(batch.Finished());
    EXPECT_EQ("Could not update remote device firmware: ADDR2.", batch.DeviceEnded(true, ""));
    EXPECT_TRUE(batch.Finished());
}

// A device that does not enter its bootloader counts as started and failed; the next one is
// tried in the same tick.
TEST(RemoteBatch, RefusedEntryTriesTheNextDeviceAtOnce) {
    struct Case {
        const char* name;
        std::vector<int> refused;
        std::vector<int> startedInFirstTick;
        bool finishedAfterTick;
    };
    const std::vector<Case> cases = {
        {"first refused", {0}, {0, 1}, false},
        {"all refused", {0, 1, 2}, {0, 1, 2}, true},
        {"last two refused", {1, 2}, {0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRemoteBatch batch;
        batch.Begin(Devices({0, 1, 2}));
        Starter starter{c.refused, {}};
        batch.Tick(false, starter.Hook());
        EXPECT_EQ(c.startedInFirstTick, starter.started);
        EXPECT_EQ(c.finishedAfterTick, batch.Finished());
    }
}

TEST(RemoteBatch, LastTextsSayWhatHappened) {
    struct Case {
        const char* name;
        int devices;
        bool clone;
        std::vector<bool> results;
        std::string last;
    };
    const std::vector<Case> cases = {
        {"one file", 1, false, {true}, "All remote firmware updates are completed successfully."},
        {"one clone", 1, true, {true}, "The remote firmware update is completed successfully."},
        {"two clones", 2, true, {true, true}, "All firmware updates are completed successfully."},
        {"one failed", 1, false, {false}, "Transmit error."},
        {"last failed", 2, false, {true, false}, "Could not update remote device firmware: ADDR1."},
        {"both failed",
         2,
         true,
         {false, false},
         "Could not update remote device firmware: ADDR0, ADDR1."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRemoteBatch batch;
        std::vector<int> rows;
        for (int i = 0; i < c.devices; ++i)
            rows.push_back(i);
        batch.Begin(Devices(rows));
        std::string last;
        for (bool ok : c.results) {
            batch.Tick(c.clone, Starter{}.Hook());
            last = batch.DeviceEnded(ok, "Transmit error.");
        }
        EXPECT_EQ(c.last, last);
        EXPECT_TRUE(batch.Finished());
    }
}

// A clone box ticked during a batch turns the devices left into clones; a clone is not
// started while a transfer still runs.
TEST(RemoteBatch, CloneBoxIsReadAtEveryTick) {
    CRemoteBatch batch;
    batch.Begin(Devices({0, 1}));
    std::vector<bool> kinds;
    auto hook = [&](const CRemoteBatch::Device&, bool clone) {
        kinds.push_back(clone);
        return true;
    };
    batch.Tick(false, hook);
    batch.Tick(true, hook);
    EXPECT_EQ(std::vector<bool>{false}, kinds);
    batch.DeviceEnded(true, "");
    batch.Tick(true, hook);
    EXPECT_EQ((std::vector<bool>{false, true}), kinds);
    EXPECT_EQ("All firmware updates are completed successfully.", batch.DeviceEnded(true, ""));
}

// Far more devices than a fixed table of flags would hold: every one is started, once.
TEST(RemoteBatch, ListsOfAnySizeAreCoveredWhole) {
    std::vector<int> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back(i);
    CRemoteBatch batch;
    batch.Begin(Devices(rows));
    // A start that runs the device to its end at once: the whole batch goes in one tick.
    std::vector<int> started;
    EXPECT_EQ(0, batch.Tick(false, [&](const CRemoteBatch::Device& d, bool) {
        started.push_back(d.row);
        batch.DeviceEnded(true, "");
        return true;
    }));
    EXPECT_EQ(rows, started);
    EXPECT_TRUE(batch.Finished());
    EXPECT_EQ("All remote firmware updates are completed successfully.", batch.Summary());
}

// The local module's text on fake time: a line is released once its time has come.
class FakeCloneLine : public ITransferLine, public ITransferView {
public:
    int ReadRxByte(int) override { return -1; }
    void Write(const uint8_t*, int) override {}
    void TakeArrived(std::string& text) override {
        while (!lines.empty() && lines.front().first <= now) {
            text += lines.front().second;
            lines.erase(lines.begin());
        }
    }
    void Sleep(int ms) override { now += ms; }
    int64_t NowMs() override { return now; }
    bool StopRequested() override { return stopAt >= 0 && now >= stopAt; }
    bool LineLost() override { return lostAt >= 0 && now >= lostAt; }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }

    int64_t now = 0, stopAt = -1, lostAt = -1;
    std::vector<std::pair<int64_t, std::string>> lines;
    std::vector<std::string> statuses;
    std::vector<int> progress;
};

TEST(CloneMonitor, EndsOnTheModulesWordOrTheLimit) {
    struct Case {
        const char* name;
        std::vector<std::pair<int64_t, std::string>> lines;
        int64_t lostAt;
        CloneResult result;
        int seconds;
    };
    const std::vector<Case> cases = {
        {"complete at once", {{0, "\r\nClone complete\r\n"}}, -1, CloneResult::Completed, 0},
        {"complete later",
         {{500, "\r\nCloning 50%\r\n"}, {2500, "\r\nClone complete\r\n"}},
         -1,
         CloneResult::Completed,
         3},
        {"error", {{1200, "\r\nERROR\r\n"}}, -1, CloneResult::Failed, 2},
        {"silence", {}, -1, CloneResult::TimedOut, 180},
        {"progress only", {{1000, "\r\nCloning 10%\r\n"}}, -1, CloneResult::TimedOut, 180},
        {"line lost", {}, 4000, CloneResult::LineLost, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCloneLine line;
        line.lines = c.lines;
        line.lostAt = c.lostAt;
        const CloneOutcome outcome = CCloneMonitor(line, line).Run();
        EXPECT_EQ(c.result, outcome.result);
        EXPECT_EQ(c.seconds, outcome.seconds);
        EXPECT_EQ(c.seconds * 1000, line.now);
    }
}

// One look a second: the status grows by a dot and the bar by one, up to its end.
TEST(CloneMonitor, ShowsDotsAndSecondsWhileItWaits) {
    FakeCloneLine line;
    line.lines = {{3000, "\r\nClone complete\r\n"}};
    CCloneMonitor(line, line).Run();
    EXPECT_EQ((std::vector<std::string>{"Cloning.", "Cloning..", "Cloning...", "Cloning...."}),
              line.statuses);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), line.progress);

    FakeCloneLine silent;
    CCloneMonitor(silent, silent).Run();
    ASSERT_EQ(180u, silent.progress.size());
    EXPECT_EQ(100, silent.progress.back()); // the bar's end, not beyond
    EXPECT_EQ("Cloning." + std::string(179, '.'), silent.statuses.back());
}

TEST(CloneMonitor, StopEndsTheWaitAtTheNextLook) {
    FakeCloneLine line;
    line.stopAt = 2500;
    const CloneOutcome outcome = CCloneMonitor(line, line).Run();
    EXPECT_EQ(CloneResult::Stopped, outcome.result);
    EXPECT_EQ(3000, line.now);
}

} // namespace
