// The connect sequence of the windowless hub, against the paced simulated module or against a
// scripted peer that misbehaves, on COM1 of a private port directory. The waits of the
// sequence are recorded (the bootloader's long ones shortened) and its 10 ms polls counted.
#include "app/ManagerCore.h"
#include "serial/LineSettings.h"
#include "sim/LineRate.h"
#include "tests/app/SimFixture.h"

#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using vireo::MsgAnswer;
using vireo::test::CPtyPeer;
using vireo::test::IdentityAnswer;

const char* const kNoAnswer = "ERROR: The device does not respond.";

class ConnectSequence : public ::testing::Test {
protected:
    ConnectSequence() {
        core.m_strPortName = "COM1";
        core.m_sleep = [this](int ms) {
            if (ms == 10) {
                ++polls;
                if (quickPolls)
                    return;
            } else {
                waits.push_back(ms);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, longestWait)));
        };
    }
    ~ConnectSequence() override {
        core.ShutdownLink();
        peer.reset();
        if (sim)
            sim->Stop();
    }

    void StartModule(vireo::sim::SimConfig config) {
        config.pacing = true;
        core.m_nBaudRate = config.baudRate;
        sim = std::make_unique<vireo::sim::Simulator>(config);
        ASSERT_TRUE(sim->Start());
    }
    void StartPeer(CPtyPeer::Responder responder) {
        peer = std::make_unique<CPtyPeer>(1);
        peer->SetResponder(std::move(responder));
    }

    vireo::test::CTempPortDir dir;
    vireo::test::CScriptedUi ui;
    CManagerCore core;
    std::unique_ptr<vireo::sim::Simulator> sim;
    std::unique_ptr<CPtyPeer> peer;
    std::vector<int> waits;
    int polls = 0;
    bool quickPolls = false; // where nothing answers, the time-outs run out at once
    int longestWait = 200;   // the longer waits of the bootloader probe are shortened to this
};

// The module always uses hardware flow control; the tool's setting differs or matches.
struct Module {
    const char* name;
    bool sleepy;
    int flowControl;
};

class AnsweringModule : public ConnectSequence, public ::testing::WithParamInterface<Module> {};

TEST_P(AnsweringModule, IsIdentifiedAfterTheFixedWaitsAndRebootedOnRequest) {
    vireo::sim::SimConfig config;
    config.flowControl = 2;
    config.nodeType = GetParam().sleepy ? "4" : "1";
    StartModule(config);
    core.m_nFlowControl = GetParam().flowControl;
    if (GetParam().flowControl != FLOW_HARDWARE)
        ui.Expect("WARNING: Flow control setting differs from local device configuration.");
    core.OnOpen();
    ASSERT_EQ(ConnectResult::Connected, core.m_connectResult);
    EXPECT_EQ("\r\nATE0\r\nATR1\r\n\r\nATE0\r\nAT+NODETYPE\r\nAT+PRODUCTNAME\r\nAT+LONGADDR\r\n"
              "AT+NODENAME\r\nAT+VERSION\r\nAT+UF\r\n",
              sim->ReceivedText());
    // 100 ms after the first line end, 200 ms before and after the second.
    EXPECT_EQ((std::vector<int>{100, 200, 200}), waits);
    EXPECT_EQ("KA40", core.m_strProductName);
    EXPECT_EQ(config.eui, core.m_strEuiAddress);
    EXPECT_EQ(config.nodeName, core.m_strNodeName);
    EXPECT_EQ("v1.1.0", core.m_strFirmwareVersion);
    // A sleepy end device is woken with a line feed before every command.
    EXPECT_EQ(GetParam().sleepy, core.m_bSleepyDevice == 1);
    sim->ClearReceived();
    core.OnReboot();
    EXPECT_EQ(GetParam().sleepy ? "\nATZ\r\n" : "ATZ\r\n", sim->ReceivedText());
}

INSTANTIATE_TEST_SUITE_P(
    Modules, AnsweringModule,
    ::testing::Values(Module{"SleepyEndDeviceWithOtherFlowControl", true, FLOW_NONE},
                      Module{"HardwareFlowControlMatches", false, FLOW_HARDWARE}),
    [](const auto& module) { return std::string(module.param.name); });

TEST_F(ConnectSequence, ModuleInDataModeIsEscapedWithPlusPlusPlus) {
    vireo::sim::SimConfig config;
    config.startInDataMode = true;
    config.timing.guardTimeMs = 200;
    StartModule(config);
    core.OnOpen();
    ASSERT_EQ(ConnectResult::Connected, core.m_connectResult);
    EXPECT_EQ((std::vector<int>{100, 1, 200, 200}), waits);
    EXPECT_NE(std::string::npos, sim->ReceivedText().find("ATR1\r\n+++ATE0\r\nATR1\r\n"));
}

TEST_F(ConnectSequence, DamagedFirmwareIsOfferedAReloadAndNoLeavesItDisconnected) {
    vireo::sim::SimConfig config;
    config.damaged = true;
    StartModule(config);
    quickPolls = true;
    ui.Expect("The local device's firmware was demaged. Do you want to reload?", MsgAnswer::No);
    core.OnOpen();
    EXPECT_EQ(ConnectResult::StaysInBootloader, core.m_connectResult);
    EXPECT_FALSE(core.m_serial.IsOpen());
    EXPECT_EQ(vireo::MsgIcon::Question, ui.Shown().at(0).icon);
}

struct Peer {
    const char* name;
    CPtyPeer::Responder responder;
    std::vector<std::string> messages;
    ConnectResult result;
    int flowControl = FLOW_NONE;
};

class MisbehavingPeer : public ConnectSequence, public ::testing::WithParamInterface<Peer> {};

TEST_P(MisbehavingPeer, EndsTheConnectAsItShould) {
    StartPeer(GetParam().responder);
    core.m_nFlowControl = GetParam().flowControl;
    quickPolls = GetParam().result == ConnectResult::NoAnswer;
    longestWait = 20; // the peer answers at once
    for (const std::string& message : GetParam().messages)
        ui.Expect(message);
    core.OnOpen();
    const bool connected = GetParam().result == ConnectResult::Connected;
    EXPECT_EQ(GetParam().result, core.m_connectResult);
    EXPECT_EQ(connected, core.m_serial.IsOpen());
    EXPECT_EQ(connected ? "KA40" : "", core.m_strProductName);
    if (connected) { // the first "ATR1" succeeded
        EXPECT_EQ(std::string::npos, peer->Received().find("+++"));
    }
    if (GetParam().result == ConnectResult::NoAnswer) { // 1 + 3 + 2 + 1 + 1 s of polls
        EXPECT_EQ(800, polls);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Peers, MisbehavingPeer,
    ::testing::Values(Peer{"ErrorToTheFlowControlQuery",
                           [](const std::string& line) {
                               return line == "AT+UF" ? std::string("\r\nERROR\r\n")
                                                      : IdentityAnswer(line);
                           },
                           {},
                           ConnectResult::Connected,
                           FLOW_HARDWARE},
                      Peer{"FinalEchoCommandRefused",
                           [echo = std::make_shared<int>(0)](const std::string& line) {
                               return line == "ATE0" && ++*echo % 2 == 0
                                          ? std::string("\r\nERROR\r\n")
                                          : IdentityAnswer(line);
                           },
                           {"ERROR: The local device does not respond. Please check baud rate."},
                           ConnectResult::NoFinalAnswer},
                      Peer{"Silent", {}, {kNoAnswer}, ConnectResult::NoAnswer}),
    [](const auto& peer) { return std::string(peer.param.name); });

TEST_F(ConnectSequence, BootloaderThatNeverStartsTheApplicationIsLeftAtTheSelectedRate) {
    auto started = std::make_shared<bool>(false); // AT commands are answered after "2" only
    StartPeer([started](const std::string& line) {
        if (line == "\x03")
            return std::string("\r\nBL > ");
        if (line == "2")
            return (*started = true, std::string()); // silent while the probe waits
        return *started ? IdentityAnswer(line) : std::string("\r\nERROR\r\n");
    });
    longestWait = 20;
    core.OnOpen();
    EXPECT_EQ(ConnectResult::Connected, core.m_connectResult);
    // Reopened at 115200 for the probe, "2" and 3 s later "\n", 29 attempts 100 ms apart
    // without an answer, then closed and reopened at the selected rate.
    const auto two = std::find(waits.begin(), waits.end(), 3000);
    ASSERT_NE(waits.end(), two);
    EXPECT_EQ(std::vector<int>(29 + 2, 100), std::vector<int>(two + 1, two + 32));
    EXPECT_EQ((std::vector<int>{200, 200}), std::vector<int>(two + 32, waits.end()));
    const int fd = ::open(peer->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(9600, vireo::sim::ReadLineRate(fd));
    ::close(fd);
}

// The module answers the first command with XOFF and then says nothing: every later write
// is held until its deadline, and the connect gives up once.
TEST_F(ConnectSequence, ModuleThatSendsXoffAndFallsSilentIsGivenUpOnce) {
    // The marker behind the XOFF reaches the ring only after the XOFF has stopped the output.
    StartPeer([](const std::string&) { return std::string("\x13!"); });
    core.m_nFlowControl = FLOW_SOFTWARE;
    bool held = false;
    core.m_sleep = [this, &held](int ms) {
        if (ms == 10 && !held) // nothing answers after the XOFF: only the first poll waits
            held = peer->WaitForReceived("ATE0\r\n") && core.m_serial.m_rxRing.WaitForData(10s);
    };
    ui.Expect(kNoAnswer);
    core.OnOpen();
    EXPECT_TRUE(held);
    EXPECT_EQ(ConnectResult::NoAnswer, core.m_connectResult);
    EXPECT_FALSE(core.m_serial.IsOpen());
    EXPECT_EQ("\r\nATE0\r\n", peer->Received()); // nothing got past the XOFF
}

} // namespace
