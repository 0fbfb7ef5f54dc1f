// The Scan dialog against the simulated network, paced at 9600 baud.
#include "scan/ScanDlg.h"
#include "tests/app/SimFixture.h"

#include <QPushButton>
#include <QTreeWidget>
#include <thread>

namespace {

class ScanDlgTest : public vireo::test::SimFixture {
protected:
    void Start(vireo::sim::SimConfig config = {}) {
        config.timing.scanDelayMs = 50;
        SimFixture::Start(config);
    }
    void Search(CScanDlg& scan) { scan.Form().Get<QPushButton>(1042)->click(); }
};

// The local node and the end devices' lines make no rows; a node named "BOOK" does not end
// the listing early.
TEST_F(ScanDlgTest, SearchListsEveryNodeInItsColumns) {
    vireo::sim::SimConfig config;
    config.remotes = vireo::sim::DefaultRemotes(6);
    config.remotes[2].nodeName = "BOOK";
    Start(config);
    CScanDlg scan(*dlg, dlg.get());
    ui.Expect("ERROR: Could not scan the remote device."); // not connected yet
    Search(scan);
    EXPECT_EQ(0, scan.m_list->topLevelItemCount());
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    for (int round = 0; round < 2; ++round) { // a second search starts from empty again
        Search(scan);
        ASSERT_EQ(6, scan.m_list->topLevelItemCount());
    }
    const vireo::sim::ModuleView remote = sim->Remote(2);
    QTreeWidgetItem* row = scan.m_list->topLevelItem(2);
    const std::vector<std::string> expected = {"2", remote.Eui(), remote.Version(),
                                               remote.Product(), "BOOK"};
    for (int column : {0, 2, 3, 4, 5})
        EXPECT_EQ(expected[column == 0 ? 0 : column - 1], row->text(column).toStdString());
}

// A module that hangs up in the middle of its listing: the scan ends at once with its message,
// not after its time-out.
TEST_F(ScanDlgTest, ModuleHangingUpMidListingEndsTheScanAtOnce) {
    Start();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    int polls = 0, pollsAtHangUp = 0;
    dlg->m_sleep = [&](int ms) {
        if (++polls == 1 || !sim->WaitForSent("|", std::chrono::milliseconds(0)) || pollsAtHangUp)
            return std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        sim->HangUp(); // the first node line is on its way
        pollsAtHangUp = polls;
    };
    CScanDlg scan(*dlg, dlg.get());
    ui.Expect("ERROR: Could not scan the remote device.");
    Search(scan);
    ASSERT_GT(pollsAtHangUp, 0);
    EXPECT_LT(polls - pollsAtHangUp, 10);
    EXPECT_EQ(0, scan.m_list->topLevelItemCount());
}

} // namespace
