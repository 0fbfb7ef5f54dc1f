// The remote half of the Firmware Update page against the simulated network at 115200 baud,
// byte by byte at the line rate: Search fills the list, ticked devices are updated from the
// image file or by cloning the local firmware, one after another. The page's fixed pauses
// around the bootloader commands are shortened (they only give real modules time), and so are
// the simulated radio's delays; the order of events is what is checked.
#include "firmware/FirmwarePage.h"
#include "firmware/ProgressListCtrl.h"
#include "platform/ProgramDirectory.h"
#include "tests/app/SimFixture.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kWait = "Remote firmware update is completed successfully. Please wait.";

class RemoteUpdateTest : public vireo::test::SimFixture {
protected:
    // A local KA40 and four remotes: three KA40 at v1.1.0 and one KD40.
    void Connect(vireo::sim::FaultConfig faults = {}, const char* localVersion = "v1.1.0") {
        vireo::sim::SimConfig config;
        config.version = localVersion;
        config.baudRate = 115200;
        config.faults = faults;
        config.timing.radioDelayMs = 5;
        config.timing.unknownAddressMs = 200;
        config.timing.radioBlockMs = 1;
        config.timing.cloneStepMs = 100;
        config.timing.cloneSteps = 3;
        for (const char* product : {"KA40", "KA40", "KD40", "KA40"}) {
            vireo::sim::RemoteConfig remote;
            remote.product = product;
            config.remotes.push_back(remote);
        }
        Start(config);
        SelectRate(115200);
        // Pauses of a second and more only wait for a real module: a tenth will do here.
        dlg->m_sleep = [](int ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms >= 1000 ? ms / 10 : ms));
        };
        dlg->m_pOpenButton->click();
        ASSERT_EQ(1, dlg->m_bPortOpen);
        dlg->m_tabHost.TabBar()->setCurrentIndex(1);
        Page()->m_batch.m_nextTickMs = 300;
        QObject::connect(Page(), &CFirmwarePage::StatusShown,
                         [this](const QString& text) { statuses.push_back(text.toStdString()); });
    }
    CFirmwarePage* Page() const { return dlg->m_tabHost.FirmwarePage(); }
    CProgressListCtrl* List() const { return Page()->m_deviceList; }
    QPushButton* Button(int id) const { return Page()->Form().Get<QPushButton>(id); }
    void Tick(int row, Qt::CheckState state) { List()->topLevelItem(row)->setCheckState(0, state); }
    std::string Address(int row) const { return List()->topLevelItem(row)->text(2).toStdString(); }
    static bool Until(const std::function<bool()>& done, std::chrono::seconds limit = 120s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
    bool BatchEnds() {
        return Until([&] { return !Page()->BatchRunning() && !Page()->TransferRunning(); });
    }
    // The status texts that end a device or the batch, in order.
    std::vector<std::string> Endings() const {
        std::vector<std::string> out;
        for (const auto& s : statuses)
            if (s.find("uccessfully") != std::string::npos || s == "Transmit error." ||
                s.find("Could not") != std::string::npos)
                out.push_back(s);
        return out;
    }

    std::vector<std::string> statuses;
};

// The checks before anything starts, then Search lists the network and three ticked devices
// are updated in row order; the status says "please wait" after each but the last.
TEST_F(RemoteUpdateTest, ThreeTickedDevicesAreUpdatedFromTheFileOneAfterAnother) {
    Connect();
    ui.Expect("ERROR: No device is found in this network.");
    Button(1036)->click();
    Button(1035)->click();
    ui.Expect("ERROR: No remote device has been selected.");
    Button(1036)->click();
    Page()->m_filePath = vireo::GetProgramDirectory() + "KA40_v1.0.2.ebl";
    Tick(2, Qt::Checked);
    ui.Expect("ERROR: The firmware file is incorrect for the remote device(" + Address(2) + ").");
    Button(1036)->click();
    Page()->m_cloneCheck->click();
    EXPECT_FALSE(Button(1031)->isEnabled());
    ui.Expect("ERROR: Could not clone the firmware. The remote device(" + Address(2) +
              ") has different model type.");
    Button(1036)->click();
    Page()->m_cloneCheck->click();
    Tick(2, Qt::Unchecked);
    EXPECT_EQ(std::string::npos, sim->ReceivedText().find("AT+BOOTLOAD"));

    // The local node and the end devices' child lines are no rows.
    ASSERT_EQ(4, List()->topLevelItemCount());
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(sim->Remote(row).Eui(), Address(row));
        ASSERT_NE(nullptr, List()->ProgressBar(row));
    }
    // A click on a row's box reaches the list (no other control lies over it) and ticks it.
    const QRect cell = List()->visualRect(List()->model()->index(1, 0));
    EXPECT_EQ(List()->viewport(),
              Page()->childAt(List()->viewport()->mapTo(Page(), cell.center())));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(List()->IsRowChecked(1));
    Tick(0, Qt::Checked);
    Tick(3, Qt::Checked);
    Button(1036)->click();
    EXPECT_TRUE(Page()->BatchRunning());
    EXPECT_FALSE(Button(1035)->isEnabled());
    EXPECT_FALSE(dlg->m_pOpenButton->isEnabled());
    ASSERT_TRUE(BatchEnds());
    EXPECT_EQ((std::vector<std::string>{kWait, kWait,
                                        "All remote firmware updates are completed successfully."}),
              Endings());
    for (int row : {0, 1, 3}) {
        EXPECT_EQ("v1.0.2", sim->Remote(row).Version()) << row;
        EXPECT_EQ(100, List()->ProgressBar(row)->value()) << row;
    }
    EXPECT_EQ("v1.1.0", sim->Remote(2).Version());
    EXPECT_EQ(0, List()->ProgressBar(2)->value());
    const std::string sent = sim->ReceivedText();
    const size_t first = sent.find("AT+BOOTLOAD=1," + Address(0));
    const size_t second = sent.find("AT+BOOTLOAD=1," + Address(1));
    const size_t third = sent.find("AT+BOOTLOAD=1," + Address(3));
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(std::string::npos, third);
    EXPECT_TRUE(Button(1036)->isEnabled());
    EXPECT_TRUE(dlg->m_pOpenButton->isEnabled());
    EXPECT_EQ(4u, ui.Shown().size());
}

TEST_F(RemoteUpdateTest, CloneBatchCopiesTheLocalFirmware) {
    Connect({}, "v1.0.2");
    Button(1035)->click();
    Page()->m_cloneCheck->click();
    Tick(0, Qt::Checked);
    Tick(3, Qt::Checked);
    Button(1036)->click();
    ASSERT_TRUE(BatchEnds());
    EXPECT_EQ((std::vector<std::string>{
                  "The remote firmware update is completed successfully. Please wait.",
                  "All firmware updates are completed successfully."}),
              Endings());
    EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), "Cloning."));
    for (int row : {0, 3}) {
        EXPECT_EQ(100, List()->ProgressBar(row)->value());
        EXPECT_EQ("v1.0.2", sim->Remote(row).Version());
    }
    EXPECT_EQ("v1.1.0", sim->Remote(1).Version());
    EXPECT_NE(std::string::npos, sim->ReceivedText().find("AT+BOOTLOAD=2," + Address(3)));
    EXPECT_TRUE(ui.Shown().empty());
}

// The first device does not take the bootloader command (one message), the second goes away
// in the middle of its transfer; the third is still updated, and the end of the batch names
// the two that failed instead of passing them off as success.
TEST_F(RemoteUpdateTest, FailedDevicesAreNamedAndTheBatchGoesOn) {
    vireo::sim::FaultConfig faults;
    faults.refusedRemoteBootloads = 1;
    faults.lostAckBlocks = {{20, 1}}; // block 20 of the first transfer, never acknowledged
    Connect(faults);
    Page()->m_remoteBlockWaitMs = 2000;
    Button(1035)->click();
    Page()->m_filePath = vireo::GetProgramDirectory() + "KA40_v1.0.2.ebl";
    for (int row : {0, 1, 3})
        Tick(row, Qt::Checked);
    ui.Expect("ERROR: The remote device does not respond.");
    Button(1036)->click();
    ASSERT_TRUE(BatchEnds());
    EXPECT_EQ("Could not update remote device firmware: " + Address(0) + ", " + Address(1) + ".",
              Page()->StatusText());
    EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), "Transmit error."));
    for (int row : {0, 1})
        EXPECT_EQ("v1.1.0", sim->Remote(row).Version()) << row;
    EXPECT_EQ(0, List()->ProgressBar(1)->value());
    EXPECT_EQ("v1.0.2", sim->Remote(3).Version());
    EXPECT_EQ(100, List()->ProgressBar(3)->value());
    EXPECT_EQ(1u, ui.Shown().size());
    EXPECT_TRUE(Button(1036)->isEnabled());
}

// The line goes away between two devices: the batch ends there, and the window is left
// disconnected with Open usable, not locked for a batch that cannot go on.
TEST_F(RemoteUpdateTest, LineLostBetweenDevicesEndsTheBatch) {
    Connect();
    Button(1035)->click();
    Page()->m_filePath = vireo::GetProgramDirectory() + "KA40_v1.0.2.ebl";
    // No second tick until the plug has been pulled.
    Page()->m_batch.m_nextTickMs = 600000;
    Tick(0, Qt::Checked);
    Tick(1, Qt::Checked);
    Button(1036)->click();
    ASSERT_TRUE(Until([&] { return !Endings().empty(); }));
    ASSERT_EQ(kWait, Endings().front());
    ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + dlg->m_serial.m_strDevice +
              ") went away. Check the cable or adapter, then press Open again.");
    sim->HangUp();
    ASSERT_TRUE(Until([&] { return dlg->m_bPortOpen == 0; }, 30s));
    EXPECT_FALSE(Page()->BatchRunning());
    EXPECT_TRUE(dlg->m_pOpenButton->isEnabled());
    EXPECT_TRUE(dlg->m_tabHost.TabBar()->isTabEnabled(0));
    EXPECT_EQ("v1.1.0", sim->Remote(1).Version());
}

} // namespace
