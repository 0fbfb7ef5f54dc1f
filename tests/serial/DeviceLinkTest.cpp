#include "serial/DeviceLink.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using vireo::test::CPtyPeer;
using vireo::test::CScriptedUi;
using vireo::test::CTempPortDir;

namespace {

class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, link.m_serial.Open(2, 115200, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
        link.m_bPortOpen = 1;
        link.m_sleep = [this](int ms) {
            ++polls;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
    }

    // The first poll waits until the whole answer of `bytes` bytes is in the ring, so that
    // it is taken in one poll however slow the machine is.
    void FirstPollTakes(size_t bytes) {
        link.m_sleep = [this, bytes](int) {
            if (++polls == 1) {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (link.m_serial.m_rxRing.Count() < bytes &&
                       std::chrono::steady_clock::now() < deadline)
                    link.m_serial.m_rxRing.WaitForData(std::chrono::milliseconds(10));
            }
        };
    }

    CTempPortDir dir;
    CPtyPeer peer{2};
    CScriptedUi ui;
    CDeviceLink link;
    int polls = 0;
};

TEST_F(DeviceLinkTest, OkAndErrorInOnePollIsSuccess) {
    const std::string answer = "\r\nERROR\r\nOK\r\n";
    peer.SetResponder([answer](const std::string&) { return answer; });
    FirstPollTakes(answer.size());
    EXPECT_EQ(1, link.SendCommand("AT+X\r\n", 1));
    EXPECT_EQ(1, polls);
}

TEST_F(DeviceLinkTest, SuccessEndsAtTheFirstPollThatSeesOk) {
    peer.SetResponder([](const std::string&) { return std::string("\r\nOK\r\n"); });
    FirstPollTakes(6);
    EXPECT_EQ(1, link.SendCommand("ATE0\r\n", 5));
    EXPECT_EQ(1, polls);
    EXPECT_TRUE(peer.WaitForReceived("ATE0\r\n"));
    EXPECT_EQ(0, ui.WaitCursorDepth());
    EXPECT_GE(ui.WaitCursorUses(), 1);
}

TEST_F(DeviceLinkTest, ErrorStopsPollingAndFails) {
    peer.SetResponder([](const std::string&) { return std::string("\r\nERROR\r\n"); });
    FirstPollTakes(9);
    EXPECT_EQ(0, link.SendCommand("AT+BAD\r\n", 3));
    EXPECT_EQ(1, polls);
    polls = 0;
    FirstPollTakes(9);
    EXPECT_EQ("ERROR", link.QueryCommand("AT+BAD\r\n", 3));
    EXPECT_EQ(1, polls);
}

TEST_F(DeviceLinkTest, SilenceRunsOutTheTimeOutInHundredPollsASecond) {
    link.m_sleep = [this](int ms) {
        EXPECT_EQ(10, ms);
        ++polls;
    };
    EXPECT_EQ(0, link.SendCommand("ATR1\r\n", 3));
    EXPECT_EQ(300, polls);
    polls = 0;
    EXPECT_EQ("ERROR", link.QueryRemoteCommand("AT\r\n", 1, "0011"));
    EXPECT_EQ(100, polls);
}

TEST_F(DeviceLinkTest, TimeOutZeroWritesTheCommandAndFailsAtOnce) {
    EXPECT_EQ("ERROR", link.QueryCommand("AT+A\r\n", 0));
    EXPECT_EQ(0, link.SendCommand("AT+B\r\n", 0));
    EXPECT_EQ(0, polls);
    EXPECT_TRUE(peer.WaitForReceived("AT+A\r\nAT+B\r\n"));
}

TEST_F(DeviceLinkTest, QueryReturnsTheValueOfTheReply) {
    const std::string answer = "\r\nv1.1.0\r\n\r\nOK\r\n";
    peer.SetResponder([answer](const std::string& line) {
        return line == "AT+VERSION" ? answer : std::string("\r\nERROR\r\n");
    });
    FirstPollTakes(answer.size());
    EXPECT_EQ("v1.1.0", link.QueryCommand("AT+VERSION\r\n", 1));
}

TEST_F(DeviceLinkTest, BootloaderWordsAreResultsOfQueryOnly) {
    peer.SetResponder([](const std::string& line) {
        if (line == "AT+BOOTLOAD")
            return std::string("\r\nBootloader ENTER\r\n");
        return std::string("\r\nfirmware.ebl Start\r\n");
    });
    FirstPollTakes(19);
    EXPECT_EQ("ENTER", link.QueryCommand("AT+BOOTLOAD\n", 2));
    polls = 0;
    FirstPollTakes(21);
    EXPECT_EQ("START", link.QueryCommand("AT+BOOTLOAD=1,0011\r\n", 2));
    link.m_sleep = [](int) {};
    EXPECT_EQ("ERROR", link.QueryRemoteCommand("AT+BOOTLOAD\n", 1, "00"));
    // Other commands never end on a bootloader word.
    link.m_sleep = [this](int) { ++polls; };
    polls = 0;
    EXPECT_EQ("ERROR", link.QueryCommand("AT+NODENAME\r\n", 1));
    EXPECT_EQ(100, polls);
}

TEST_F(DeviceLinkTest, RemoteWrapperGoesOutAsOneText) {
    link.m_sleep = [](int) {};
    link.SendRemoteCommand("ATZ\r\n", 1, "000D6F0000ABCDEF");
    EXPECT_TRUE(peer.WaitForReceived("ATZ\r\n"));
    EXPECT_EQ("AT+RC=000D6F0000ABCDEF,ATZ\r\n", peer.Received());
}

TEST_F(DeviceLinkTest, BytesFromBeforeTheCommandDoNotCount) {
    peer.Send("\r\nOK\r\n");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (link.m_serial.m_rxRing.Count() < 6 && std::chrono::steady_clock::now() < deadline)
        link.m_serial.m_rxRing.WaitForData(std::chrono::milliseconds(10));
    link.m_sleep = [](int) {};
    EXPECT_EQ(0, link.SendCommand("AT\r\n", 1));
}

TEST_F(DeviceLinkTest, NotConnectedSendShowsAMessageAndQueryIsSilent) {
    link.m_bPortOpen = 0;
    ui.Expect("ERROR: Could not close serial port.");
    EXPECT_EQ(0, link.SendCommand("ATZ\r\n", 1));
    ui.Expect("ERROR: Could not close serial port.");
    EXPECT_EQ(0, link.SendRemoteCommand("ATZ\r\n", 1, "01"));
    EXPECT_EQ("", link.QueryCommand("AT+VERSION\r\n", 1));
    EXPECT_EQ("", link.QueryRemoteCommand("AT+VERSION\r\n", 1, "01"));
    EXPECT_EQ(0, polls);
    EXPECT_EQ(2u, ui.Shown().size());
    EXPECT_EQ("", peer.Received());
}

TEST_F(DeviceLinkTest, VanishedDeviceFailsTheNextTransactionWithoutHanging) {
    peer.HangUp();
    link.m_sleep = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    EXPECT_EQ(0, link.SendCommand("AT\r\n", 1));
    EXPECT_EQ("ERROR", link.QueryCommand("AT+VERSION\r\n", 1));
}

} // namespace
