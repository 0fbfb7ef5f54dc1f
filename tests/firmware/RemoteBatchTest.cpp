// The rules of a remote batch and of the clone monitor, on fake time.
#include "firmware/RemoteBatch.h"
#include "firmware/CloneMonitor.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using Batch = CRemoteBatch;

// A batch over rows 0..count-1 (or the rows given), addressed "ADDR<row>".
Batch Begun(int count, const std::vector<int>& rows = {}) {
    std::vector<Batch::Device> devices;
    for (int i = 0; i < (rows.empty() ? count : static_cast<int>(rows.size())); ++i) {
        const int row = rows.empty() ? i : rows[i];
        devices.push_back({row, "ADDR" + std::to_string(row)});
    }
    Batch batch;
    batch.Begin(devices);
    return batch;
}

// What the owner does when a tick starts a device: the refused rows do not enter their
// bootloader; every attempt is recorded in order.
Batch::StartDevice Starter(std::vector<int>& started, std::vector<int> refused = {}) {
    return [&started, refused](const Batch::Device& d, bool) {
        started.push_back(d.row);
        return std::find(refused.begin(), refused.end(), d.row) == refused.end();
    };
}

// A device running blocks the ticks; each tick after its end starts the next one; the last
// start asks for no further tick.
TEST(RemoteBatch, StartsOneDeviceAtATimeInRowOrder) {
    Batch batch = Begun(0, {0, 2, 5});
    std::vector<int> started;
    EXPECT_EQ(Batch::kNextTickMs, batch.Tick(false, Starter(started)));
    EXPECT_EQ(Batch::kNextTickMs, batch.Tick(false, Starter(started))); // still running
    EXPECT_EQ(std::vector<int>{0}, started);
    EXPECT_EQ("Remote firmware update is completed successfully. Please wait.",
              batch.DeviceEnded(true, ""));
    EXPECT_EQ(Batch::kNextTickMs, batch.Tick(false, Starter(started)));
    EXPECT_EQ("Transmit error.", batch.DeviceEnded(false, "Transmit error."));
    EXPECT_EQ(0, batch.Tick(false, Starter(started)));
    EXPECT_EQ((std::vector<int>{0, 2, 5}), started);
    EXPECT_FALSE(batch.Finished());
    EXPECT_EQ("Could not update remote device firmware: ADDR2.", batch.DeviceEnded(true, ""));
    EXPECT_TRUE(batch.Finished());
}

// A device that does not enter its bootloader counts as started and failed; the next one is
// tried in the same tick.
TEST(RemoteBatch, RefusedEntryTriesTheNextDeviceAtOnce) {
    struct Case {
        std::vector<int> refused, startedInFirstTick;
        bool finished;
    };
    for (const Case& c :
         {Case{{0}, {0, 1}, false}, Case{{0, 1, 2}, {0, 1, 2}, true}, Case{{1, 2}, {0}, false}}) {
        SCOPED_TRACE(c.refused.size());
        Batch batch = Begun(3);
        std::vector<int> started;
        batch.Tick(false, Starter(started, c.refused));
        EXPECT_EQ(c.startedInFirstTick, started);
        EXPECT_EQ(c.finished, batch.Finished());
        if (c.finished) {
            EXPECT_EQ("Could not update remote device firmware: ADDR0, ADDR1, ADDR2.",
                      batch.Summary());
        }
    }
}

TEST(RemoteBatch, LastTextsSayWhatHappened) {
    struct Case {
        bool clone;
        std::vector<bool> results; // one device each
        std::string last;
    };
    const Case cases[] = {
        {false, {true}, "All remote firmware updates are completed successfully."},
        {true, {true}, "The remote firmware update is completed successfully."},
        {true, {true, true}, "All firmware updates are completed successfully."},
        {false, {false}, "Transmit error."},
        {false, {true, false}, "Could not update remote device firmware: ADDR1."},
        {true, {false, false}, "Could not update remote device firmware: ADDR0, ADDR1."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last);
        Batch batch = Begun(static_cast<int>(c.results.size()));
        std::vector<int> started;
        std::string last;
        for (bool ok : c.results) {
            batch.Tick(c.clone, Starter(started));
            last = batch.DeviceEnded(ok, "Transmit error.");
        }
        EXPECT_EQ(c.last, last);
        EXPECT_TRUE(batch.Finished());
    }
}

// A clone box ticked during a batch turns the devices left into clones; a clone is not
// started while a transfer still runs.
TEST(RemoteBatch, CloneBoxIsReadAtEveryTick) {
    Batch batch = Begun(2);
    std::vector<bool> kinds;
    auto hook = [&](const Batch::Device&, bool clone) {
        kinds.push_back(clone);
        return true;
    };
    batch.Tick(false, hook);
    batch.Tick(true, hook);
    batch.DeviceEnded(true, "");
    batch.Tick(true, hook);
    EXPECT_EQ((std::vector<bool>{false, true}), kinds);
    EXPECT_EQ("All firmware updates are completed successfully.", batch.DeviceEnded(true, ""));
}

// Far more devices than a fixed table of flags would hold, each run to its end inside its
// start: the whole batch goes in one tick, every device once.
TEST(RemoteBatch, ListsOfAnySizeAreCoveredWhole) {
    Batch batch = Begun(300);
    std::vector<int> started;
    EXPECT_EQ(0, batch.Tick(false, [&](const Batch::Device& d, bool) {
        started.push_back(d.row);
        batch.DeviceEnded(true, "");
        return true;
    }));
    EXPECT_EQ(300u, started.size());
    EXPECT_TRUE(std::is_sorted(started.begin(), started.end()));
    EXPECT_EQ("All remote firmware updates are completed successfully.", batch.Summary());
}

// The local module's text on fake time: a line is released once its time has come.
class FakeCloneLine : public ITransferLine, public ITransferView {
public:
    int ReadRxByte(int) override { return -1; }
    void Write(const uint8_t*, int) override {}
    void TakeArrived(std::string& text) override {
        for (; !lines.empty() && lines.front().first <= now; lines.erase(lines.begin()))
            text += lines.front().second;
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

// One look a second, for three minutes at most.
TEST(CloneMonitor, EndsOnTheModulesWordTheLimitOrTheOwner) {
    struct Case {
        const char* name;
        std::vector<std::pair<int64_t, std::string>> lines;
        int64_t lostAt, stopAt;
        CloneResult result;
        int seconds;
    };
    const Case cases[] = {
        {"complete at once", {{0, "\r\nClone complete\r\n"}}, -1, -1, CloneResult::Completed, 0},
        {"complete later",
         {{500, "\r\nCloning 50%\r\n"}, {2500, "\r\nClone complete\r\n"}},
         -1,
         -1,
         CloneResult::Completed,
         3},
        {"error", {{1200, "\r\nERROR\r\n"}}, -1, -1, CloneResult::Failed, 2},
        {"silence", {}, -1, -1, CloneResult::TimedOut, 180},
        {"progress only", {{1000, "\r\nCloning 10%\r\n"}}, -1, -1, CloneResult::TimedOut, 180},
        {"line lost", {}, 4000, -1, CloneResult::LineLost, 4},
        {"stopped", {}, -1, 2500, CloneResult::Stopped, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCloneLine line;
        line.lines = c.lines;
        line.lostAt = c.lostAt;
        line.stopAt = c.stopAt;
        const CloneOutcome outcome = CCloneMonitor(line, line).Run();
        EXPECT_EQ(c.result, outcome.result);
        EXPECT_EQ(c.seconds * 1000, line.now);
        if (c.result != CloneResult::Stopped) {
            EXPECT_EQ(c.seconds, outcome.seconds);
        }
    }
}

// The status grows by a dot and the bar by one each look, the bar up to its end.
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
    EXPECT_EQ(100, silent.progress.back());
    EXPECT_EQ("Cloning." + std::string(179, '.'), silent.statuses.back());
}

} // namespace
