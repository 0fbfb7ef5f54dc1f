// The Scan dialog against the simulated network, paced at 9600 baud.
#include "scan/ScanDlg.h"
#include "tests/app/SimFixture.h"

#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <thread>

namespace {

class ScanDlgTest : public vireo::test::SimFixture {};

TEST_F(ScanDlgTest, SearchListsTheNodesAndApplyHandsBackTheChosenAddress) {
    vireo::sim::SimConfig config;
    config.timing.scanDelayMs = 50;
    Start(config); // two remote modules
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    CScanDlg scan(*dlg, dlg.get());
    for (int round = 0; round < 2; ++round) { // a second search starts from empty again
        scan.Form().Get<QPushButton>(1042)->click();
        ASSERT_EQ(2, scan.m_list->topLevelItemCount());
    }
    const QStringList expected = {"1",
                                  "",
                                  QString::fromStdString(sim->Remote(1).Eui()),
                                  QString::fromStdString(sim->Remote(1).Version()),
                                  QString::fromStdString(sim->Remote(1).Product()),
                                  QString::fromStdString(sim->Remote(1).NodeName())};
    QTreeWidgetItem* row = scan.m_list->topLevelItem(1);
    for (int column = 0; column < 6; ++column) {
        if (column != 1) {
            EXPECT_EQ(expected[column], row->text(column)) << column;
        }
    }
    scan.m_list->setCurrentItem(row);
    EXPECT_EQ(sim->Remote(1).Eui(), scan.m_selectedAddress);
    QTimer::singleShot(0, [&] { scan.Form().Get<QPushButton>(1044)->click(); });
    EXPECT_EQ(QDialog::Accepted, scan.exec());
}

// A module that hangs up in the middle of its listing: the scan ends at once with its message,
// not after its time-out.
TEST_F(ScanDlgTest, ModuleHangingUpMidListingEndsTheScanAtOnce) {
    vireo::sim::SimConfig config;
    config.timing.scanDelayMs = 50;
    Start(config);
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
    scan.Form().Get<QPushButton>(1042)->click();
    ASSERT_GT(pollsAtHangUp, 0);
    EXPECT_LT(polls - pollsAtHangUp, 10);
    EXPECT_EQ(0, scan.m_list->topLevelItemCount());
}

TEST_F(ScanDlgTest, ScanWithoutAConnectionSaysSoAndLeavesTheListEmpty) {
    Start();
    CScanDlg scan(*dlg, dlg.get());
    ui.Expect("ERROR: Could not scan the remote device.");
    scan.Form().Get<QPushButton>(1042)->click();
    EXPECT_EQ(0, scan.m_list->topLevelItemCount());
    EXPECT_TRUE(scan.m_selectedAddress.empty());
}

} // namespace
