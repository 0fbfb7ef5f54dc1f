// The serial port and the transactions on it, against a peer on a pseudo-terminal.
#include "serial/SerialPort.h"
#include "platform/PortMap.h"
#include "serial/DeviceLink.h"
#include "serial/SerialPortList.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>
#include <unistd.h>
#include <vector>

using vireo::test::CPtyPeer;
using vireo::test::CTempPortDir;

namespace {

std::string WaitForRing(CSerialPort& port, size_t bytes, int timeoutMs = 5000) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.size() < bytes && std::chrono::steady_clock::now() < deadline) {
        port.m_rxRing.WaitForData(std::chrono::milliseconds(50));
        port.m_rxRing.TakeAll(text);
    }
    return text;
}

constexpr char kXoff = 0x13, kXon = 0x11;

// Waits until the thread sleeps in the kernel (state S), as a writer waiting for room does.
bool WaitUntilAsleep(const std::atomic<pid_t>& tid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (tid != 0) {
            std::ifstream stat("/proc/self/task/" + std::to_string(tid.load()) + "/stat");
            const std::string text{std::istreambuf_iterator<char>(stat), {}};
            const size_t end = text.rfind(')'); // the state follows the command name
            if (end != std::string::npos && end + 2 < text.size() && text[end + 2] == 'S')
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

template <class T> bool Ends(std::future<T>& f) {
    return f.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
}

class SerialPortTest : public ::testing::Test {
protected:
    CTempPortDir dir;
    CPtyPeer peer{3};
    CSerialPort port;
};

// Bytes both ways are every end-to-end test's business; here the opens that must fail.
TEST_F(SerialPortTest, OpensAgainAfterCloseButNotTwice) {
    EXPECT_EQ(0, port.Open(3, 0, NOPARITY, 8, ONESTOPBIT, FLOW_NONE)); // a baud rate of 0
    EXPECT_FALSE(port.IsOpen());
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE)) << round;
        port.Close(); // returns only after the reader has ended
        EXPECT_EQ(0, port.m_bRunning.load());
    }
    ASSERT_EQ(1, port.Open(3, 115200, NOPARITY, 8, ONESTOPBIT, FLOW_NONE)) << port.LastError();
    // Opening an open port again is refused and leaves its reader running.
    EXPECT_EQ(0, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    peer.Send("OK");
    EXPECT_EQ("OK", WaitForRing(port, 2));
}

// The write's deadline is minutes away: only Close can end it within the test.
TEST_F(SerialPortTest, CloseWakesAWriteHeldByXoffAndWaitsForIt) {
    ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_SOFTWARE));
    // Once the marker behind the XOFF is in the ring, the line discipline has acted on it.
    peer.Send(std::string{kXoff, '!'});
    ASSERT_EQ("!", WaitForRing(port, 1));
    std::atomic<pid_t> tid{0};
    auto writer = std::async(std::launch::async, [&, bytes = std::string(20000, 'x')] {
        tid = gettid();
        return port.Write(bytes);
    });
    EXPECT_TRUE(WaitUntilAsleep(tid));
    auto closer = std::async(std::launch::async, [this] { port.Close(); });
    const bool ended = Ends(closer) && Ends(writer);
    if (!ended)
        peer.Send(std::string{kXon});
    ASSERT_TRUE(ended);
    EXPECT_EQ(0, writer.get()); // nothing passed the XOFF
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(0, port.Write("late"));
}

// The temporary port directory keeps real devices out: only its live entries are ports.
TEST(PortMap, LiveComEntriesAreListedInOrderWithTheirDevice) {
    CTempPortDir dir;
    CPtyPeer a(12), b(4);
    std::filesystem::create_symlink("/dev/does-not-exist", dir.Path() + "/COM7");
    CSerialPortList list;
    EXPECT_EQ(1, list.Enumerate());
    std::vector<int> numbers;
    for (int i = 0; i < list.GetCount(); ++i)
        numbers.push_back(vireo::ParsePortNumber(list.GetEntry(i).second));
    EXPECT_EQ((std::vector<int>{4, 12}), numbers);
    EXPECT_EQ(b.SlavePath(), vireo::PortDevicePath(4));
    for (int number : {7, 0, 256}) // stale, bounds
        EXPECT_EQ("", vireo::PortDevicePath(number)) << number;
    const std::pair<const char*, int> texts[] = {
        {"COM3", 3}, {"COM12 (/dev/ttyUSB0)", 12}, {"  COM5", 0}, // the literal skips no blanks
        {"com3", 0}, {"/dev/ttyUSB0", 0},          {"", 0}};
    for (const auto& [text, number] : texts)
        EXPECT_EQ(number, vireo::ParsePortNumber(text)) << text;
}

// Transactions on the port.
class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, link.m_serial.Open(2, 921600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
        link.m_bPortOpen = 1;
        link.m_sleep = [this](int ms) {
            ++polls;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
    }
    CTempPortDir dir;
    CPtyPeer peer{2};
    vireo::test::CScriptedUi ui;
    CDeviceLink link;
    int polls = 0;
};

TEST_F(DeviceLinkTest, CommandsGoOutWholeAndAZeroTimeOutFailsAtOnce) {
    peer.SetResponder([](const std::string& line) {
        return line == "ATE0" ? std::string("\r\nOK\r\n") : std::string();
    });
    EXPECT_EQ(1, link.SendCommand("ATE0\r\n", 5));
    polls = 0;
    // A time-out of zero writes the command and fails at once.
    EXPECT_EQ("ERROR", link.QueryCommand("AT+A\r\n", 0));
    EXPECT_EQ(0, link.SendCommand("AT+B\r\n", 0));
    EXPECT_EQ(0, polls);
    EXPECT_TRUE(peer.WaitForReceived("AT+B\r\n"));
    EXPECT_EQ("ATE0\r\nAT+A\r\nAT+B\r\n", peer.Received());
}

// The module floods the line as fast as the pty takes it.
TEST_F(DeviceLinkTest, FloodOnThePortEndsAtTheTimeOutWithinTheRingsBound) {
    std::atomic<bool> stop{false};
    std::thread flooder([&] {
        const std::string chunk(4096, 'O');
        while (!stop)
            peer.Send(chunk);
    });
    const int sent = link.SendCommand("AT\r\n", 1);
    // Close while the flood goes on: the reader leaves its burst and the port closes.
    auto closer = std::async(std::launch::async, [this] { link.m_serial.Close(); });
    const bool closed = Ends(closer);
    stop = true;
    flooder.join();
    ASSERT_TRUE(closed);
    EXPECT_EQ(0, sent);
    EXPECT_EQ(100, polls);
    // Each poll takes at most what the ring holds.
    EXPECT_LE(link.m_strReply.size(), static_cast<size_t>(polls) * (CRingBuffer::kSize - 1));
}

} // namespace
