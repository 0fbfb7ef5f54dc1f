// The Firmware Update page and the recovery upload dialog against the simulated module and
// its network at 115200 baud, byte by byte at the line rate: the local update, a module
// recovered from its bootloader, and remote devices updated from the image file or by cloning
// the local firmware, one after another. The scripted UI fails a test on any message it was
// not told to expect.
#include "firmware/FirmwarePage.h"
#include "firmware/FirmwareUploadDlg.h"
#include "firmware/ProgressListCtrl.h"
#include "platform/ProgramDirectory.h"
#include "tests/app/SimFixture.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono_literals;
using vireo::MsgAnswer;

namespace {

class FirmwareUpdateTest : public vireo::test::SimFixture {
protected:
    void Connect(vireo::sim::SimConfig config = {}) {
        config.baudRate = 115200;
        Start(config);
        SelectRate(115200);
        if (!config.remotes.empty()) {
            // Pauses of a second and more around the bootloader commands only wait for a
            // real module: a tenth will do here.
            dlg->m_sleep = [](int ms) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms >= 1000 ? ms / 10 : ms));
            };
        }
        dlg->m_pOpenButton->click();
        ASSERT_EQ(1, dlg->m_bPortOpen);
        dlg->m_tabHost.TabBar()->setCurrentIndex(1);
        QObject::connect(Page(), &CFirmwarePage::StatusShown,
                         [this](const QString& text) { statuses.push_back(text.toStdString()); });
    }
    // A local KA40 and four remotes (three KA40 at v1.1.0, one KD40) with a fast radio.
    void ConnectNetwork(vireo::sim::FaultConfig faults = {}, const char* localVersion = "v1.1.0") {
        vireo::sim::SimConfig config;
        config.version = localVersion;
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
        Connect(config);
        Page()->m_batch.m_nextTickMs = 300;
    }
    CFirmwarePage* Page() const { return dlg->m_tabHost.FirmwarePage(); }
    CProgressListCtrl* List() const { return Page()->m_deviceList; }
    QPushButton* Button(int id) const { return Page()->Form().Get<QPushButton>(id); }
    static std::string Image(const char* name) { return vireo::GetProgramDirectory() + name; }
    void ChooseImage(const char* name) {
        ui.QueueOpenFile(Image(name));
        Button(1031)->click();
    }
    void Tick(int row, Qt::CheckState state) { List()->topLevelItem(row)->setCheckState(0, state); }
    std::string Address(int row) const { return List()->topLevelItem(row)->text(2).toStdString(); }
    void ExpectLineLost() {
        ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + dlg->m_serial.m_strDevice +
                  ") went away. Check the cable or adapter, then press Open again.");
    }
    // Runs the event loop until done() holds, for at most limit.
    static bool Until(const std::function<bool()>& done, std::chrono::seconds limit = 120s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
    bool BatchEnds() {
        return Until([&] { return !Page()->BatchRunning() && !Page()->TransferRunning(); });
    }
    bool Said(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }

    std::vector<std::string> statuses;
};

// Update of the local module, after the checks that keep a wrong image or wrong line settings
// from the module: the new firmware runs.
TEST_F(FirmwareUpdateTest, LocalUpdateFlashesTheModuleAndReloadsItsDescription) {
    Connect();
    sim->ClearReceived();
    ChooseImage("KD40_v1.2.0.ebl");
    ui.Expect("The firmware file is made for KD40, but the local device is a KA40.\r\nDo you "
              "want to update the local device anyway?",
              MsgAnswer::No);
    Button(1033)->click();
    ChooseImage("KA40_v1.0.2.ebl");
    dlg->m_nBaudRate = 9600;
    ui.Expect("ERROR: Please change the baudrate to 115200 and flow control to 'none'.");
    Button(1033)->click();
    dlg->m_nBaudRate = 115200;
    Page()->m_filePath = vireo::GetProgramDirectory(); // a directory is no image
    ui.Expect("ERROR: The firmware file is invalid.");
    Button(1033)->click();
    EXPECT_TRUE(sim->ReceivedText().empty());

    ChooseImage("KA40_v1.0.2.ebl");
    Button(1033)->click();
    ASSERT_TRUE(Page()->TransferRunning());
    // The line belongs to the transfer: no other page, no Close.
    EXPECT_FALSE(dlg->m_tabHost.TabBar()->isTabEnabled(0));
    EXPECT_FALSE(dlg->m_pOpenButton->isEnabled());
    EXPECT_FALSE(Button(1033)->isEnabled());
    ASSERT_TRUE(Until([&] {
        return Page()->StatusText() ==
               "Completed successfully. The module reports firmware v1.0.2.";
    })) << Page()->StatusText();
    EXPECT_EQ("v1.0.2", sim->Local().Version());
}

// Closing the program under a running transfer stops it: the module is told to cancel and
// no thread outlives the window.
TEST_F(FirmwareUpdateTest, ClosingTheWindowStopsARunningTransfer) {
    Connect();
    ChooseImage("KA40_v1.0.2.ebl");
    Button(1033)->click();
    ASSERT_TRUE(Until([&] { return Page()->m_progress->value() > 10; }));
    dlg->close();
    EXPECT_FALSE(Page()->TransferRunning());
    // The module's receiver took the cancel (what it prints afterwards may meet the echo
    // command of the closing window, so its text is not awaited).
    EXPECT_TRUE(Until([&] { return sim->CancelledTransfers() == 1; }, 30s));
    EXPECT_EQ("v1.1.0", sim->Local().Version());
}

// The adapter pulled out mid-transfer: the transfer ends at once with its status, the loss is
// said once, and the page is left disconnected with its buttons off.
TEST_F(FirmwareUpdateTest, LineLostMidTransferEndsTheTransferAndTheConnection) {
    vireo::sim::SimConfig config;
    config.faults.hangUpAtBlock = 40;
    Connect(config);
    ChooseImage("KA40_v1.0.2.ebl");
    ExpectLineLost();
    Button(1033)->click();
    ASSERT_TRUE(Until([&] { return !Page()->TransferRunning() && dlg->m_bPortOpen == 0; }, 30s));
    EXPECT_TRUE(Until([&] { return Page()->StatusText() == "Transmit error."; }, 10s))
        << Page()->StatusText();
    EXPECT_FALSE(Button(1033)->isEnabled());
}

// A module stuck in its bootloader: Yes to the question opens the upload dialog, the image
// goes in, and the connection follows with the restored firmware.
TEST_F(FirmwareUpdateTest, DamagedModuleIsRecoveredThroughTheUploadDialog) {
    vireo::sim::SimConfig config;
    config.damaged = true;
    Start(config);
    ui.Expect("The local device's firmware was demaged. Do you want to reload?", MsgAnswer::Yes);
    ui.Expect("Firmware update is completed successfully.");
    bool closed = false;
    std::function<void()> driveDialog = [&] {
        auto* upload = qobject_cast<CFirmwareUploadDlg*>(QApplication::activeModalWidget());
        if (!upload) {
            QTimer::singleShot(50, driveDialog);
            return;
        }
        upload->m_filePath = Image("KA40_v1.0.2.ebl");
        upload->Form().Get<QPushButton>(1046)->click();
        Until([&] {
            return upload->StatusText() == "Completed successfully." &&
                   upload->Form().Control(1046)->isEnabled();
        });
        EXPECT_EQ(100, upload->m_progress->value());
        // A person reads the result before closing; by then the module has long had the "2"
        // that runs the new firmware, sent at the bootloader's rate before the port is reopened.
        EXPECT_TRUE(sim->WaitForMode(vireo::sim::Mode::Command, 10s));
        upload->Form().Get<QPushButton>(1050)->click();
        closed = true;
    };
    QTimer::singleShot(0, driveDialog);
    dlg->m_pOpenButton->click();
    EXPECT_TRUE(closed);
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("v1.0.2", dlg->m_strFirmwareVersion);
}

// The checks before anything starts, then Search lists the network and three ticked devices
// are tried in row order: the first does not take the bootloader command (one message), the
// other two are updated, and the end of the batch names the one that failed.
TEST_F(FirmwareUpdateTest, TickedRemoteDevicesAreUpdatedOneAfterAnother) {
    vireo::sim::FaultConfig faults;
    faults.refusedRemoteBootloads = 1;
    ConnectNetwork(faults);
    Button(1035)->click();
    ui.Expect("ERROR: No remote device has been selected.");
    Button(1036)->click();
    Page()->m_filePath = Image("KA40_v1.0.2.ebl");
    Tick(2, Qt::Checked);
    ui.Expect("ERROR: The firmware file is incorrect for the remote device(" + Address(2) + ").");
    Button(1036)->click();
    Page()->m_cloneCheck->click();
    ui.Expect("ERROR: Could not clone the firmware. The remote device(" + Address(2) +
              ") has different model type.");
    Button(1036)->click();
    Page()->m_cloneCheck->click();
    Tick(2, Qt::Unchecked);
    EXPECT_EQ(std::string::npos, sim->ReceivedText().find("AT+BOOTLOAD"));

    Tick(0, Qt::Checked);
    Tick(1, Qt::Checked);
    Tick(3, Qt::Checked);
    ui.Expect("ERROR: The remote device does not respond.");
    Button(1036)->click();
    EXPECT_TRUE(Page()->BatchRunning());
    EXPECT_FALSE(Button(1035)->isEnabled());
    EXPECT_FALSE(dlg->m_pOpenButton->isEnabled());
    ASSERT_TRUE(BatchEnds());
    EXPECT_TRUE(Said("Remote firmware update is completed successfully. Please wait."));
    EXPECT_EQ("Could not update remote device firmware: " + Address(0) + ".", Page()->StatusText());
    for (int row : {0, 2})
        EXPECT_EQ("v1.1.0", sim->Remote(row).Version()) << row;
    for (int row : {1, 3})
        EXPECT_EQ("v1.0.2", sim->Remote(row).Version()) << row;
    const std::string sent = sim->ReceivedText();
    EXPECT_LT(sent.find("AT+BOOTLOAD=1," + Address(0)), sent.find("AT+BOOTLOAD=1," + Address(1)));
    EXPECT_LT(sent.find("AT+BOOTLOAD=1," + Address(1)), sent.find("AT+BOOTLOAD=1," + Address(3)));
}

// A clone batch copies the local firmware into the first device; then the line goes away
// before the second: the batch ends there, and the window is left disconnected with Open
// usable, not locked for a batch that cannot go on.
TEST_F(FirmwareUpdateTest, CloneBatchCopiesTheLocalFirmwareUntilTheLineIsLost) {
    ConnectNetwork({}, "v1.0.2");
    Button(1035)->click();
    Page()->m_cloneCheck->click();
    Page()->m_batch.m_nextTickMs = 600000; // no second tick until the plug has been pulled
    Tick(0, Qt::Checked);
    Tick(3, Qt::Checked);
    Button(1036)->click();
    ASSERT_TRUE(Until([&] {
        return Said("The remote firmware update is completed successfully. Please wait.");
    }));
    EXPECT_EQ("v1.0.2", sim->Remote(0).Version());
    EXPECT_NE(std::string::npos, sim->ReceivedText().find("AT+BOOTLOAD=2," + Address(0)));
    ExpectLineLost();
    sim->HangUp();
    ASSERT_TRUE(Until([&] { return dlg->m_bPortOpen == 0; }, 30s));
    EXPECT_FALSE(Page()->BatchRunning());
    EXPECT_TRUE(dlg->m_pOpenButton->isEnabled());
    EXPECT_TRUE(dlg->m_tabHost.TabBar()->isTabEnabled(0));
    EXPECT_EQ("v1.1.0", sim->Remote(3).Version());
}

} // namespace
