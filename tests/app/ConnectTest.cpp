// The main dialog against the paced simulated module: Open, Reload and Close, and a line that goes
// away. Then the port field as a person uses it: typing into it, picking from its drop list with
// the keyboard (a mouse pick ends in the same slot), and pressing Open, against scripted modules.
#include "serial/SettingsCombos.h"
#include "tests/app/SimFixture.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <thread>

namespace {

using namespace std::chrono_literals;

using ConnectFlow = vireo::test::SimFixture;

// Two rounds: what a connect leaves behind must not change the next one.
TEST_F(ConnectFlow, OpenReloadAndClose) {
    Start();
    QPushButton* open = dlg->m_pOpenButton;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("connect " + std::to_string(round));
        open->click();
        ASSERT_EQ(1, dlg->m_bPortOpen);
        // No fixed name: a screen reader says what the button reads now.
        EXPECT_EQ("Close", QAccessible::queryAccessibleInterface(open)->text(QAccessible::Name));
        EXPECT_EQ("KA40", Info(1022));
        EXPECT_EQ("Bench unit", Info(1023));
        EXPECT_EQ("v1.1.0", Info(1025));
        // The Configuration tab is chosen: echo off before the flow-control query.
        EXPECT_NE(std::string::npos, sim->ReceivedText().find("AT+VERSION\r\n\r\nATE0\r\nAT+UF"));
        EXPECT_TRUE(dlg->Form().Control(1006)->isEnabled()); // Reboot

        sim->ClearReceived();
        dlg->Form().Get<QPushButton>(1007)->click(); // Reload: disconnect and connect again
        EXPECT_EQ(0u, sim->ReceivedText().find("ATE1\r\n\r\nATE0\r\nATR1\r\n"));
        ASSERT_EQ(1, dlg->m_bPortOpen);
        EXPECT_EQ("KA40", Info(1022));
        EXPECT_FALSE(page->Form().Control(1006)->isEnabled()); // Save: nothing selected

        dlg->m_bRemoteMode = 1;
        sim->ClearReceived();
        open->click();
        EXPECT_EQ(0, dlg->m_bPortOpen);
        EXPECT_EQ("ATE1\r\n", sim->ReceivedText()); // echo left on for a terminal
        EXPECT_FALSE(dlg->m_serial.IsOpen());
        EXPECT_EQ(0, dlg->m_bRemoteMode);
        for (int id : {1022, 1023, 1024, 1025})
            EXPECT_EQ("", Info(id)) << id;
        EXPECT_FALSE(dlg->Form().Control(1006)->isEnabled());
        EXPECT_FALSE(dlg->Form().Control(1007)->isEnabled());
        EXPECT_EQ(0, page->Tree()->topLevelItemCount());
        EXPECT_EQ(-1, page->m_nSel);
    }
}

using LostLine = vireo::test::SimFixture;

// The line goes away while connected: a read that fails on it says so first, never a second
// box while its own box is open; then the loss is said once and the view is emptied. When the
// module comes back on the same port, Open connects straight away.
TEST_F(LostLine, IsSaidOnceAfterTheFailedReadAndTheNextOpenWorks) {
    Start();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    size_t boxesInside = 0;
    ui.SetWhileShown([this, &boxesInside] { // the event loop runs, as under a modal box
        const size_t before = ui.Shown().size();
        const auto until = std::chrono::steady_clock::now() + 300ms;
        while (std::chrono::steady_clock::now() < until)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        boxesInside = std::max(boxesInside, ui.Shown().size() - before);
    });
    ui.Expect("ERROR: The device does not respond. \r\nPlease make sure that the device is "
              "conncted correctly and turned on.");
    ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + dlg->m_serial.m_strDevice +
              ") went away. Check the cable or adapter, then press Open again.");
    sim->HangUp();
    while (!dlg->m_serial.IsLost())
        std::this_thread::sleep_for(1ms);
    SelectItem("PAN ID"); // the read fails at once: the line is gone
    EXPECT_EQ(1u, ui.Shown().size());
    EXPECT_EQ(0u, boxesInside);
    EXPECT_EQ(1, dlg->m_bPortOpen); // the read's own handling has finished undisturbed
    ProcessEventsUntil([this] { return dlg->m_bPortOpen == 0; });
    EXPECT_EQ(0, dlg->m_bPortOpen);
    QApplication::processEvents();
    EXPECT_EQ(2u, ui.Shown().size());
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_EQ("", Info(1022));                             // the view is emptied as on Close
    EXPECT_FALSE(page->Form().Control(1011)->isEnabled()); // the editor

    sim->Stop();
    vireo::sim::SimConfig config;
    config.pacing = true;
    sim = std::make_unique<vireo::sim::Simulator>(config);
    ASSERT_TRUE(sim->Start());
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("KA40", Info(1022));
}

// The line goes away in the middle of the product name: the connect stops there and says
// once that the port was lost, instead of asking about a firmware version it never read.
TEST_F(LostLine, WhileIdentifyingIsSaidOnce) {
    vireo::test::CPtyPeer peer(1);
    peer.SetResponder([](const std::string& line) {
        return line == "AT+PRODUCTNAME" ? std::string("\r\nKA") : vireo::test::IdentityAnswer(line);
    });
    peer.HangUpAfter("AT+PRODUCTNAME");
    MakeDialog();
    // Once the product name was asked for, a poll waits until the reader has seen the hang-up.
    dlg->m_sleep = [this, &peer](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        while (peer.WaitForReceived("AT+PRODUCTNAME\r\n", 0) && !dlg->m_serial.IsLost())
            std::this_thread::sleep_for(1ms);
    };
    ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + peer.SlavePath() +
              ") went away. Check the cable or adapter, then press Open again.");
    dlg->m_pOpenButton->click();
    ProcessEventsUntil([this] { return !ui.Shown().empty(); });
    QApplication::processEvents(); // a second report of the loss would come now
    EXPECT_EQ(1u, ui.Shown().size());
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
}

class PortFieldTest : public vireo::test::SimFixture {
protected:
    std::unique_ptr<vireo::test::CPtyPeer> Module(int com) {
        auto peer = std::make_unique<vireo::test::CPtyPeer>(com);
        peer->SetResponder(vireo::test::IdentityAnswer);
        return peer;
    }

    QLineEdit* Field() const { return dlg->m_cbPort->lineEdit(); }

    // Clicks into the field, selects what it holds and types text key by key.
    void Type(const QString& text) {
        QTest::mouseClick(Field(), Qt::LeftButton);
        QTest::keyClick(Field(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Field(), text);
    }

    // Opens the drop list with the keyboard and takes the row the same way.
    void Pick(int row) {
        QAbstractItemView* view = dlg->m_cbPort->view();
        dlg->m_cbPort->setFocus();
        QTest::keyClick(Field(), Qt::Key_Down, Qt::AltModifier);
        view->setCurrentIndex(view->model()->index(0, 0));
        for (int i = 0; i < row; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_FALSE(view->isVisible());
    }

    void ClickOpen(int expectedOpen) {
        QTest::mouseClick(dlg->m_pOpenButton, Qt::LeftButton);
        ASSERT_EQ(expectedOpen, dlg->m_bPortOpen);
    }
};

// COM1, the default, is absent at first and plugged in late.
TEST_F(PortFieldTest, PickedOrTypedPortIsOpenedAsShownAndAnAbsentDefaultLeavesTheFieldEmpty) {
    const auto com3 = Module(3), com17 = Module(17);
    MakeDialog();
    QComboBox* combo = dlg->m_cbPort;
    ASSERT_EQ(2, combo->count());
    EXPECT_EQ("", Field()->text());
    for (const char* typed : {"", "/dev/ttyUSB0"}) { // nothing, or no COM name
        Type(typed);
        ui.Expect("ERROR: Could not open serial port.\r\n"
                  "No such port: give the port as COM<n>, for example COM1.");
        ClickOpen(0);
    }
    // The list names each port with its device.
    EXPECT_EQ("COM3 (" + QString::fromStdString(com3->SlavePath()) + ")", PortListText(combo, 0));
    EXPECT_EQ("COM17 (" + QString::fromStdString(com17->SlavePath()) + ")", PortListText(combo, 1));
    // Something typed first, then a pick: the picked port replaces it, also when the picked
    // entry is the one already selected.
    for (int row : {1, 1, 0}) {
        Type("CO");
        Pick(row);
        EXPECT_EQ(row, combo->currentIndex());
        EXPECT_EQ(row == 0 ? "COM3" : "COM17", Field()->text());
    }

    const auto com1 = Module(1);
    Type("COM1");
    EXPECT_EQ("COM1", Field()->text()); // not completed to COM17
    ClickOpen(1);
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("", com17->Received());
    EXPECT_EQ("", com3->Received());
}

} // namespace
