// The connect sequence against a module that misbehaves: reply words padded with blanks, XOFF
// and then silence, bytes that are no text, a line that goes away while the module is being
// identified.
#include "app/ManagerCore.h"
#include "config/ConfigPage.h"
#include "tests/app/SimFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

using namespace std::chrono_literals;

namespace {

using vireo::test::IdentityAnswer;

// The windowless hub on COM1 of a private port directory, against a scripted peer.
class HostileCoreTest : public ::testing::Test {
protected:
    HostileCoreTest() {
        core.m_strPortName = "COM1";
        // A poll ends early when a byte arrives; the other waits are shortened, their
        // number and order are not what these tests check.
        core.m_sleep = [this](int ms) {
            if (ms == 10)
                core.m_serial.m_rxRing.WaitForData(std::chrono::milliseconds(ms));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
        };
    }

    vireo::test::CTempPortDir dir;
    vireo::test::CPtyPeer peer{1};
    vireo::test::CScriptedUi ui;
    CManagerCore core;
};

TEST_F(HostileCoreTest, ModuleThatPadsItsReplyWordsWithBlanksIsConnectedAtOnce) {
    peer.SetResponder([](const std::string& line) {
        std::string answer = IdentityAnswer(line);
        answer.insert(answer.rfind("OK") + 2, "  ");
        return answer;
    });
    core.OnOpen();
    EXPECT_EQ(1, core.m_bPortOpen);
    EXPECT_EQ("Close", core.m_strOpenButton);
    EXPECT_EQ("KA40", core.m_strProductName);
    EXPECT_EQ("v1.1.0", core.m_strFirmwareVersion);
    EXPECT_EQ(std::string::npos, peer.Received().find("+++")); // the first "ATR1" succeeded
    EXPECT_TRUE(ui.Shown().empty());
}

// The module answers the first command with XOFF and then says nothing: every later write
// is held until its deadline, and the connect gives up once.
TEST_F(HostileCoreTest, ModuleThatSendsXoffAndFallsSilentIsGivenUpOnce) {
    // The marker behind the XOFF reaches the ring only after the XOFF has stopped the output.
    peer.SetResponder([](const std::string&) { return std::string("\x13!"); });
    core.m_nFlowControl = FLOW_SOFTWARE;
    bool held = false;
    core.m_sleep = [this, &held](int ms) {
        // Nothing answers after the XOFF, so only the first poll needs to wait.
        if (ms == 10 && !held)
            held = peer.WaitForReceived("ATE0\r\n") && core.m_serial.m_rxRing.WaitForData(10s);
    };
    ui.Expect("ERROR: The device does not respond.");
    core.OnOpen();
    EXPECT_TRUE(held);
    EXPECT_EQ(0, core.m_bPortOpen);
    EXPECT_FALSE(core.m_serial.IsOpen());
    EXPECT_EQ(1u, ui.Shown().size());
    EXPECT_EQ("\r\nATE0\r\n", peer.Received()); // nothing got past the XOFF
}

class HostileDialogTest : public vireo::test::SimFixture {
protected:
    std::string Info(int id) const { return dlg->Form().Get<QLabel>(id)->text().toStdString(); }
};

TEST_F(HostileDialogTest, ZeroBytesAndHighBytesInAnswersDoNotDisturbTheIdentity) {
    vireo::sim::SimConfig config;
    config.faults.zeroBytesInAnswers = true;
    config.faults.garbageInAnswers = true; // 0x80-0xFE ahead of the first line end
    Start(config);
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("Bench unit", Info(1023));
    EXPECT_EQ("000D6F0000A1B2C3", Info(1024));
    EXPECT_EQ("v1.1.0", Info(1025));
    EXPECT_GT(dlg->m_tabHost.ConfigPage()->Tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(ui.Shown().empty());
}

// The line goes away in the middle of the product name: the connect stops there and says
// that the port was lost, instead of asking about a firmware version it never read.
TEST_F(HostileDialogTest, HangUpWhileIdentifyingSaysOnceThatThePortWasLost) {
    vireo::test::CPtyPeer peer(1);
    peer.SetResponder([](const std::string& line) {
        return line == "AT+PRODUCTNAME" ? std::string("\r\nKA") : IdentityAnswer(line);
    });
    peer.HangUpAfter("AT+PRODUCTNAME");
    MakeDialog();
    // Once the product name was asked for, a poll waits until the reader has seen the hang-up.
    dlg->m_sleep = [this, &peer](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (peer.WaitForReceived("AT+PRODUCTNAME\r\n", 0)) {
            const auto until = std::chrono::steady_clock::now() + 10s;
            while (!dlg->m_serial.IsLost() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
        }
    };
    const std::string device = peer.SlavePath();
    ui.Expect("ERROR: The serial port was lost.\r\nCOM1 (" + device +
              ") went away. Check the cable or adapter, then press Open again.");
    dlg->m_pOpenButton->click();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ui.Shown().empty() && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents(); // a second report of the loss would come now
    EXPECT_EQ(1u, ui.Shown().size());
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
    EXPECT_EQ("", Info(1022));
    EXPECT_EQ(0, dlg->m_tabHost.ConfigPage()->Tree()->topLevelItemCount());
}

} // namespace
