// The rules of a remote batch: the order of the devices, the texts, the failed ones named.
#include "firmware/RemoteBatch.h"

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

// One device at a time in row order: a device running blocks the ticks, each tick after its
// end starts the next one, and the last start asks for no further tick. The clone box is
// read at every start.
TEST(RemoteBatch, StartsOneDeviceAtATimeInRowOrder) {
    Batch batch = Begun(0, {0, 2, 5});
    std::vector<std::pair<int, bool>> started;
    const auto start = [&](const Batch::Device& d, bool clone) {
        started.emplace_back(d.row, clone);
        return true;
    };
    EXPECT_EQ(Batch::kNextTickMs, batch.Tick(false, start));
    EXPECT_EQ(Batch::kNextTickMs, batch.Tick(true, start)); // still running
    EXPECT_EQ("Remote firmware update is completed successfully. Please wait.",
              batch.DeviceEnded(true, ""));
    EXPECT_EQ(Batch::kNextTickMs, batch.Tick(true, start));
    EXPECT_EQ("Transmit error.", batch.DeviceEnded(false, "Transmit error."));
    EXPECT_EQ(0, batch.Tick(false, start));
    EXPECT_EQ((std::vector<std::pair<int, bool>>{{0, false}, {2, true}, {5, false}}), started);
    EXPECT_FALSE(batch.Finished());
    EXPECT_EQ("Could not update remote device firmware: ADDR2.", batch.DeviceEnded(true, ""));
    EXPECT_TRUE(batch.Finished());
}

// A device that does not enter its bootloader counts as started and failed; the next one is
// tried in the same tick.
TEST(RemoteBatch, RefusedEntryTriesTheNextDeviceAtOnce) {
    Batch batch = Begun(3);
    std::vector<int> started;
    batch.Tick(false, Starter(started, {0}));
    EXPECT_EQ((std::vector<int>{0, 1}), started);
    batch.DeviceEnded(true, "");
    batch.Tick(false, Starter(started, {0}));
    EXPECT_EQ("Could not update remote device firmware: ADDR0.", batch.DeviceEnded(true, ""));

    Batch refusing = Begun(3);
    refusing.Tick(false, Starter(started, {0, 1, 2}));
    EXPECT_TRUE(refusing.Finished());
    EXPECT_EQ("Could not update remote device firmware: ADDR0, ADDR1, ADDR2.", refusing.Summary());
}

TEST(RemoteBatch, LastTextsSayWhatHappened) {
    struct Case {
        bool clone;
        std::vector<bool> results; // one device each
        std::string last;
    };
    const Case cases[] = {
        {false, {true, true}, "All remote firmware updates are completed successfully."},
        {true, {true}, "The remote firmware update is completed successfully."},
        {true, {true, true}, "All firmware updates are completed successfully."},
        {false, {false}, "Transmit error."},
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
    }
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
}

} // namespace
