// The Firmware Update page and the recovery upload dialog against the simulated module at
// 115200 baud, byte by byte at the line rate.
#include "firmware/FirmwarePage.h"
#include "firmware/FirmwareUploadDlg.h"
#include "platform/ProgramDirectory.h"
#include "tests/app/SimFixture.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <chrono>
#include <functional>

using namespace std::chrono_literals;
using vireo::MsgAnswer;

namespace {

class FirmwareUpdateTest : public vireo::test::SimFixture {
protected:
    void Connect(vireo::sim::SimConfig config = {}) {
        config.baudRate = 115200;
        Start(config);
        SelectRate(115200);
        dlg->m_pOpenButton->click();
    }
    CFirmwarePage* Page() const { return dlg->m_tabHost.FirmwarePage(); }
    QPushButton* Button(int id) const { return Page()->Form().Get<QPushButton>(id); }
    static std::string Image(const char* name) { return vireo::GetProgramDirectory() + name; }
    void ChooseImage(const char* name) {
        ui.QueueOpenFile(Image(name));
        Button(1031)->click();
    }
    // Runs the event loop until done() holds, for at most limit.
    static bool Until(const std::function<bool()>& done, std::chrono::seconds limit = 120s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
};

// Update of the local module, after the checks that keep a wrong image or wrong line settings
// from the module: the new firmware runs, and the window shows its version.
TEST_F(FirmwareUpdateTest, LocalUpdateFlashesTheModuleAndReloadsItsDescription) {
    Connect();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    dlg->m_tabHost.TabBar()->setCurrentIndex(1);
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
    EXPECT_FALSE(Page()->TransferRunning());
    EXPECT_TRUE(sim->ReceivedText().empty());

    ChooseImage("KA40_v1.0.2.ebl");
    Button(1033)->click();
    ASSERT_TRUE(Page()->TransferRunning());
    // The line belongs to the transfer: no other page, no Close.
    EXPECT_FALSE(dlg->m_tabHost.TabBar()->isTabEnabled(0));
    EXPECT_FALSE(dlg->m_pOpenButton->isEnabled());
    EXPECT_FALSE(Button(1033)->isEnabled());
    ASSERT_TRUE(Until([&] { return Page()->StatusText() == "Completed successfully."; }))
        << Page()->StatusText();
    EXPECT_EQ("v1.0.2", sim->Local().Version());
    EXPECT_EQ("v1.0.2", dlg->Form().Get<QLabel>(1025)->text().toStdString());
    EXPECT_EQ(100, Page()->m_progress->value());
    EXPECT_TRUE(Button(1033)->isEnabled());
    EXPECT_TRUE(dlg->m_pOpenButton->isEnabled());
    EXPECT_TRUE(dlg->m_tabHost.TabBar()->isTabEnabled(0));
    EXPECT_EQ(3u, ui.Shown().size());
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
    EXPECT_NE(std::string::npos, sim->ReceivedText().find("\x18\x18\x18"));
    // The module's receiver took them as a cancel (what it prints afterwards may meet the
    // echo command of the closing window, so its text is not awaited).
    EXPECT_TRUE(Until([&] { return sim->CancelledTransfers() == 1; }, 30s));
    EXPECT_EQ("v1.1.0", sim->Local().Version());
}

// The adapter pulled out mid-transfer: the transfer ends at once with its status, the loss is
// said once, and the page is left disconnected with its buttons off.
TEST_F(FirmwareUpdateTest, LineLostMidTransferEndsTheTransferAndTheConnection) {
    vireo::sim::SimConfig config;
    config.faults.hangUpAtBlock = 40;
    Connect(config);
    ASSERT_EQ(1, dlg->m_bPortOpen);
    ChooseImage("KA40_v1.0.2.ebl");
    ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + dlg->m_serial.m_strDevice +
              ") went away. Check the cable or adapter, then press Open again.");
    Button(1033)->click();
    ASSERT_TRUE(Until([&] { return !Page()->TransferRunning() && dlg->m_bPortOpen == 0; }, 30s));
    EXPECT_TRUE(Until([&] { return Page()->StatusText() == "Transmit error."; }, 10s))
        << Page()->StatusText();
    EXPECT_FALSE(Button(1033)->isEnabled());
    EXPECT_TRUE(dlg->m_pOpenButton->isEnabled());
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
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
        upload->Form().Get<QPushButton>(1050)->click();
        closed = true;
    };
    QTimer::singleShot(0, driveDialog);
    dlg->m_pOpenButton->click();
    EXPECT_TRUE(closed);
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("v1.0.2", dlg->m_strFirmwareVersion);
    EXPECT_FALSE(sim->Local().Damaged());
}

} // namespace
