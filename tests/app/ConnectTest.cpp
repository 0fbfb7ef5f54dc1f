#include "config/ConfigPage.h"
#include "tests/app/SimFixture.h"

#include "sim/LineRate.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using vireo::MsgAnswer;

namespace {

class ConnectTest : public vireo::test::SimFixture {
protected:
    QString Info(int id) const { return dlg->Form().Get<QLabel>(id)->text(); }
    bool Enabled(int id) const { return dlg->Form().Control(id)->isEnabled(); }

    // Records every wait of the dialogue that is not a 10 ms poll, and waits as asked.
    void RecordWaits() {
        dlg->m_sleep = [this](int ms) {
            if (ms != 10)
                waits.push_back(ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
    }

    std::vector<int> waits;
};

TEST_F(ConnectTest, AnsweringModuleIsConnectedAfterTheFixedWaits) {
    Start();
    RecordWaits();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    // 100 ms after the first line end, 200 ms before and after the second.
    EXPECT_EQ((std::vector<int>{100, 200, 200}), waits);
}

TEST_F(ConnectTest, LostLineIsSaidOnceAndTheNextOpenWorksAtOnce) {
    Start();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + dlg->m_serial.m_strDevice +
              ") went away. Check the cable or adapter, then press Open again.");
    sim->HangUp();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (dlg->m_bPortOpen == 1 && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
    EXPECT_EQ("", Info(1022));
    EXPECT_FALSE(Enabled(1007));
    EXPECT_EQ(0, dlg->m_tabHost.ConfigPage()->Tree()->topLevelItemCount());
    QApplication::processEvents();
    EXPECT_EQ(1u, ui.Shown().size());
    // The module comes back on the same port: Open connects straight away.
    sim->Stop();
    vireo::sim::SimConfig config;
    config.pacing = true;
    sim = std::make_unique<vireo::sim::Simulator>(config);
    ASSERT_TRUE(sim->Start());
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("KA40", Info(1022));
}

TEST_F(ConnectTest, LineLostDuringAReadIsSaidAfterTheReadFailureNotInsideIt) {
    Start();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    // While a box is open the event loop runs, as under a real modal box.
    size_t boxesInside = 0;
    ui.SetWhileShown([this, &boxesInside] {
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
    CConfigPage* page = dlg->m_tabHost.ConfigPage();
    const auto items = page->Tree()->findItems("PAN ID", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(items.empty());
    page->Tree()->setCurrentItem(items.back()); // the read fails at once: the line is gone
    EXPECT_EQ(1u, ui.Shown().size());
    EXPECT_EQ(0u, boxesInside);
    EXPECT_EQ(1, dlg->m_bPortOpen); // the read's own handling has finished undisturbed
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (dlg->m_bPortOpen == 1 && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_EQ(2u, ui.Shown().size());
    EXPECT_FALSE(page->Form().Control(1006)->isEnabled()); // Save
}

TEST_F(ConnectTest, ReloadDisconnectsAndConnectsAgain) {
    Start();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    sim->ClearReceived();
    dlg->Form().Get<QPushButton>(1007)->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ(0u, sim->ReceivedText().find("ATE1\r\n\r\nATE0\r\nATR1\r\n"));
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("Close", dlg->m_pOpenButton->text());
}

TEST_F(ConnectTest, DisconnectLeavesEchoOnAndClearsTheView) {
    Start();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    dlg->m_bRemoteMode = 1;
    sim->ClearReceived();
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_EQ("ATE1\r\n", sim->ReceivedText());
    EXPECT_EQ(0, dlg->m_bRemoteMode);
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
    for (int id : {1022, 1023, 1024, 1025})
        EXPECT_EQ("", Info(id)) << id;
    EXPECT_FALSE(Enabled(1006));
    EXPECT_FALSE(Enabled(1007));
    EXPECT_EQ(0, dlg->m_tabHost.ConfigPage()->Tree()->topLevelItemCount());
    EXPECT_EQ("Restore to Factory Default",
              dlg->m_tabHost.ConfigPage()->Form().Get<QPushButton>(1004)->text());
    EXPECT_FALSE(dlg->m_serial.IsOpen());
}

TEST_F(ConnectTest, ModuleInDataModeIsEscapedWithPlusPlusPlus) {
    vireo::sim::SimConfig config;
    config.startInDataMode = true;
    config.timing.guardTimeMs = 200;
    Start(config);
    RecordWaits();
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ((std::vector<int>{100, 1, 200, 200}), waits);
    const std::vector<std::string> executed = sim->ExecutedCommands();
    ASSERT_FALSE(executed.empty());
    EXPECT_EQ("+++", executed.front()); // nothing before the escape reached the interpreter
    EXPECT_NE(std::string::npos, sim->ReceivedText().find("ATR1\r\n+++ATE0\r\nATR1\r\n"));
    EXPECT_EQ("KA40", Info(1022));
}

TEST_F(ConnectTest, SleepyModuleIsDetectedAndRebootWakesItFirst) {
    vireo::sim::SimConfig config;
    config.nodeType = "4";
    Start(config);
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ(1, dlg->m_bSleepyDevice);
    sim->ClearReceived();
    dlg->Form().Get<QPushButton>(1006)->click();
    EXPECT_EQ("\nATZ\r\n", sim->ReceivedText());
}

TEST_F(ConnectTest, FlowControlMismatchWarnsAndStaysConnected) {
    vireo::sim::SimConfig config;
    config.flowControl = 2;
    Start(config);
    ui.Expect("WARNING: Flow control setting differs from local device configuration.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ(1u, ui.Shown().size());
}

TEST_F(ConnectTest, MatchingHardwareFlowControlGivesNoWarning) {
    vireo::sim::SimConfig config;
    config.flowControl = 2;
    Start(config);
    Select(dlg->m_cbFlowControl, "Hardware");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_TRUE(ui.Shown().empty());
    EXPECT_EQ(12, dlg->m_nFlowControl);
}

TEST_F(ConnectTest, DamagedFirmwareOffersReloadAndNoLeavesItDisconnected) {
    vireo::sim::SimConfig config;
    config.damaged = true;
    Start(config);
    ui.Expect("The local device's firmware was demaged. Do you want to reload?", MsgAnswer::No);
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
    // The probe ran at the bootloader's rate and asked it to start the application.
    EXPECT_EQ(115200, sim->ToolBaudRate());
    // The line feed that follows the "2" may be purged unread when the port closes right
    // after the answer, so only the "2" after the wake-up is required.
    const std::string received = sim->ReceivedText();
    const size_t wake = received.find("\x03\n");
    ASSERT_NE(std::string::npos, wake);
    EXPECT_NE(std::string::npos, received.find('2', wake));
    EXPECT_EQ(vireo::MsgIcon::Question, ui.Shown().at(0).icon);
}

TEST_F(ConnectTest, ModuleAtAnotherRateDoesNotRespond) {
    vireo::sim::SimConfig config;
    config.baudRate = 115200;
    Start(config);
    ui.Expect("ERROR: The device does not respond.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    // The program stays usable: at the module's rate the next Open connects.
    Select(dlg->m_cbBaudRate, "115200");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
}

class SilentPeerTest : public vireo::test::SimFixture {};

TEST_F(SilentPeerTest, NoDeviceGivesOneMessageAndTheDialogStaysUsable) {
    vireo::test::CPtyPeer peer(1);
    MakeDialog();
    dlg->m_sleep = [](int) {}; // nothing will answer: let the polls run out at once
    ui.Expect("ERROR: The device does not respond.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_EQ(1u, ui.Shown().size());
}

TEST_F(SilentPeerTest, PortTextThatIsNotAComNameCannotBeOpened) {
    MakeDialog();
    dlg->m_cbPort->setEditText("/dev/ttyUSB0");
    ui.Expect("ERROR: Could not open serial port.\r\n"
              "No such port: give the port as COM<n>, for example COM1.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_EQ(0, dlg->m_nPort);
}

TEST_F(SilentPeerTest, TypedPortNumberIsOpenedEvenWhenNotListed) {
    MakeDialog();
    vireo::test::CPtyPeer peer(12); // appears after the list was filled
    peer.SetResponder([](const std::string& line) {
        if (line == "AT+NODETYPE" || line == "AT+UF")
            return std::string("\r\n0\r\n\r\nOK\r\n");
        return std::string("\r\nOK\r\n");
    });
    dlg->m_cbPort->setEditText("COM12");
    ui.Expect("WARNING: Could not recognize the firmware version.\r\nMaybe this manager is out of "
              "date. Would you like to update this manager?",
              MsgAnswer::No);
    ui.Expect("ERROR: Could not recognize the firmware version.\r\nPlease uninstall this manager "
              "and intall the latest manager.");
    dlg->m_tabHost.ConfigPage()->m_strConstructDir = dir.Path() + "/";
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ(12, dlg->m_nPort);
    // No construct file at all: the tree says so with its single item.
    QTreeWidget* tree = dlg->m_tabHost.ConfigPage()->Tree();
    ASSERT_EQ(1, tree->topLevelItemCount());
    EXPECT_EQ("CONSTRUCT FILE READ FAIL", tree->topLevelItem(0)->text(0));
    EXPECT_EQ(0, tree->topLevelItem(0)->childCount());
}

} // namespace

namespace {

class BadPeerTest : public vireo::test::SimFixture {
protected:
    QString Info(int id) const { return dlg->Form().Get<QLabel>(id)->text(); }
};

TEST_F(BadPeerTest, IdentityRepliesOfErrorStillConnectAndFallBack) {
    vireo::test::CPtyPeer peer(1);
    peer.SetResponder([](const std::string& line) {
        if (line == "ATE0" || line == "ATR1")
            return std::string("\r\nOK\r\n");
        if (line == "AT+UF")
            return std::string("\r\n\r\nOK\r\n"); // empty value: 0, as selected
        return std::string("\r\nERROR\r\n");
    });
    MakeDialog();
    // No construct file named after "ERROR": the user is asked, then the fallback finds the
    // newest sample file.
    ui.Expect("WARNING: Could not recognize the firmware version.\r\nMaybe this manager is out of "
              "date. Would you like to update this manager?",
              MsgAnswer::No);
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("ERROR", dlg->m_strProductName);
    EXPECT_EQ("ERROR", Info(1025));
    EXPECT_EQ("ERROR_ERROR.vmcon", dlg->m_tabHost.ConfigPage()->Data().m_strConstructFile);
    EXPECT_GT(dlg->m_tabHost.ConfigPage()->Tree()->topLevelItemCount(), 0);
}

using vireo::test::IdentityAnswer;

TEST_F(BadPeerTest, ErrorToTheFlowControlQueryGivesNoWarning) {
    vireo::test::CPtyPeer peer(1);
    peer.SetResponder([](const std::string& line) {
        return line == "AT+UF" ? std::string("\r\nERROR\r\n") : IdentityAnswer(line);
    });
    MakeDialog();
    Select(dlg->m_cbFlowControl, "Hardware");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(BadPeerTest, UnansweredFinalEchoCommandAsksToCheckTheBaudRate) {
    vireo::test::CPtyPeer peer(1);
    int echoCommands = 0;
    peer.SetResponder([&echoCommands](const std::string& line) {
        if (line == "ATE0" && ++echoCommands == 2)
            return std::string("\r\nERROR\r\n");
        return IdentityAnswer(line);
    });
    MakeDialog();
    ui.Expect("ERROR: The local device does not respond. Please check baud rate.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
    EXPECT_EQ("", Info(1022));
}

TEST_F(BadPeerTest, BootloaderThatNeverStartsTheApplicationIsLeftAtTheSelectedRate) {
    vireo::test::CPtyPeer peer(1);
    bool started = false; // the module answers AT commands only after "2"
    peer.SetResponder([&started](const std::string& line) {
        if (line == "\x03")
            return std::string("\r\nBL > ");
        if (line == "2") {
            started = true;
            return std::string(); // and says nothing while the probe waits
        }
        return started ? IdentityAnswer(line) : std::string("\r\nERROR\r\n");
    });
    MakeDialog();
    std::vector<int> waits;
    dlg->m_sleep = [&waits](int ms) {
        if (ms != 10)
            waits.push_back(ms);
        // The probe's long waits are shortened; their number and order are what counts.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 100)));
    };
    dlg->m_pOpenButton->click();
    EXPECT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("KA40", Info(1022));
    // Reopened at 115200 for the probe, "2" and 3 s later "\n", 29 attempts 100 ms apart
    // without an answer, then closed and reopened at the selected rate.
    const auto two = std::find(waits.begin(), waits.end(), 3000);
    ASSERT_NE(waits.end(), two);
    EXPECT_EQ(std::vector<int>(29 + 2, 100), std::vector<int>(two + 1, two + 32));
    EXPECT_EQ((std::vector<int>{200, 200}), std::vector<int>(two + 32, waits.end()));
    const int fd = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(9600, vireo::sim::ReadLineRate(fd));
    ::close(fd);
}

TEST_F(BadPeerTest, HangUpDuringConnectEndsCleanlyAndTheNextOpenSaysSo) {
    auto peer = std::make_unique<vireo::test::CPtyPeer>(1);
    peer->SetResponder([](const std::string& line) {
        return line == "ATR1" ? std::string() : std::string("\r\nOK\r\n");
    });
    peer->HangUpAfter("ATR1");
    MakeDialog();
    ASSERT_TRUE(peer->WaitForReceived("", 10));
    dlg->m_sleep = [](int) {}; // after the hang-up nothing can answer
    ui.Expect("ERROR: The device does not respond.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    peer.reset();
    ui.Expect("ERROR: Could not open serial port.\r\nCOM1: no such device - the module is "
              "unplugged, or this is the wrong port.");
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
}

} // namespace
