// The rules of a remote batch: the order of the devices, the texts, the failed ones named.
#include "firmware/RemoteBatch.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using Batch = CRemoteBatch;

// A batch over rows 0..count-1, addressed "ADDR<row>".
Batch Begun(int count) {
    std::vector<Batch::Device> devices;
    for (int row = 0; row < count; ++row)
        devices.push_back({row, "ADDR" + std::to_string(row)});
    Batch batch;
    batch.Begin(devices);
    return batch;
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
        std::string last;
        for (bool ok : c.results) {
            batch.Tick(c.clone, [](const Batch::Device&, bool) { return true; });
            last = batch.DeviceEnded(ok, "Transmit error.");
        }
        EXPECT_EQ(c.last, last);
    }
}

// Far more devices than a fixed table of flags would hold, each run to its end inside its
// start or refusing its bootloader: the whole batch goes in one tick, every device once.
TEST(RemoteBatch, ListsOfAnySizeAreCoveredWhole) {
    Batch batch = Begun(300);
    std::vector<int> started;
    EXPECT_EQ(0, batch.Tick(false, [&](const Batch::Device& d, bool) {
        started.push_back(d.row);
        if (d.row < 298)
            batch.DeviceEnded(true, "");
        return d.row < 298;
    }));
    EXPECT_EQ(300u, started.size());
    EXPECT_TRUE(std::is_sorted(started.begin(), started.end()));
    EXPECT_TRUE(batch.Finished());
    EXPECT_EQ("Could not update remote device firmware: ADDR298, ADDR299.", batch.Summary());
}

} // namespace
