#include "serial/SerialPort.h"
#include "platform/PortMap.h"
#include "serial/SerialNotify.h"
#include "serial/SerialPortList.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <termios.h>
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

// Sends a flow-control byte (XOFF holds the port's output, XON releases it) and a marker.
// Once the marker is in the ring, the line discipline has acted on the byte before it.
bool SendFlowControl(CPtyPeer& peer, CSerialPort& port, char byte) {
    peer.Send(std::string{byte, '!'});
    return WaitForRing(port, 1) == "!";
}
constexpr char kXoff = 0x13, kXon = 0x11;

std::future<int> StartWriter(CSerialPort& port, std::string bytes, std::atomic<pid_t>& tid) {
    return std::async(std::launch::async, [&port, &tid, bytes = std::move(bytes)] {
        tid = gettid();
        return port.Write(bytes);
    });
}

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

bool Ends(std::future<int>& f) {
    return f.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
}

class SerialPortTest : public ::testing::Test {
protected:
    CTempPortDir dir;
    CPtyPeer peer{3};
    CSerialPort port;
};

TEST_F(SerialPortTest, WritesReachThePeerAndReceivedBytesReachTheRing) {
    ASSERT_EQ(1, port.Open(3, 115200, NOPARITY, 8, ONESTOPBIT, FLOW_NONE)) << port.LastError();
    EXPECT_EQ(peer.SlavePath(), port.m_strDevice);
    EXPECT_EQ(6, port.Write("AT\r\nOK"));
    EXPECT_TRUE(peer.WaitForReceived("AT\r\nOK"));
    peer.Send(std::string("hello\0world", 11));
    EXPECT_EQ("helloworld", WaitForRing(port, 10)); // the zero byte never enters the ring
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, CloseWhileIdleEndsTheReaderAndThePortReopens) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE)) << round;
        port.Close(); // returns only after the reader has ended
        EXPECT_EQ(0, port.m_bRunning.load());
    }
    ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    peer.Send("again");
    EXPECT_EQ("again", WaitForRing(port, 5));
}

TEST_F(SerialPortTest, OpenOfAnAbsentPortFailsAndLeavesNothingOpen) {
    EXPECT_EQ(0, port.Open(9, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE("", port.LastError());
    EXPECT_EQ(0, port.Write("x"));
    EXPECT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
}

TEST_F(SerialPortTest, BaudRateZeroAndInvalidByteSizeFailOpen) {
    EXPECT_EQ(0, port.Open(3, 0, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(0, port.Open(3, 9600, NOPARITY, 0, ONESTOPBIT, FLOW_NONE));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, SecondOpenOfTheSameLineIsRefused) {
    ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    CSerialPort other;
    EXPECT_EQ(0, other.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    // Opening an open port again is refused and leaves its reader running.
    EXPECT_EQ(0, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    for (const char* burst : {"still", "there"}) {
        peer.Send(burst);
        EXPECT_EQ(burst, WaitForRing(port, 5));
    }
}

// The settings a pty accepts are read back through another descriptor of the same line.
TEST_F(SerialPortTest, AppliedSettingsReadBackOnTheLine) {
    ASSERT_EQ(1, port.Open(3, 115200, NOPARITY, 8, TWOSTOPBITS, FLOW_SOFTWARE));
    termios t{};
    const int fd = ::open(peer.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, tcgetattr(fd, &t));
    ::close(fd);
    EXPECT_EQ(static_cast<speed_t>(B115200), cfgetospeed(&t));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_EQ(17, t.c_cc[VSTART]);
    EXPECT_FALSE(t.c_lflag & ICANON);
}

TEST_F(SerialPortTest, HangUpEndsTheReaderTellsTheOwnerOnceAndLaterWritesFail) {
    std::atomic<int> calls{0};
    std::atomic<bool> onOwnerThread{false};
    const auto owner = std::this_thread::get_id();
    port.SetLostHandler([&] {
        onOwnerThread = std::this_thread::get_id() == owner;
        ++calls;
    });
    ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    port.Close();
    EXPECT_EQ(0, calls.load()); // closing is not a loss

    ASSERT_EQ(1, port.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    peer.HangUp();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (calls.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(port.IsLost());
    EXPECT_EQ(0, port.Write("ATZ\r\n"));
    port.Close(); // must not hang
    EXPECT_EQ(1, calls.load());
    EXPECT_FALSE(onOwnerThread.load());
}

// At 460800 baud and faster the rate gives no write time-out; a module that sends XOFF and
// falls silent must still not hold the writer for good.
TEST_F(SerialPortTest, WriteHeldByXoffEndsByItsDeadlineAtTheFastestRates) {
    for (const int baud : {460800, 921600}) {
        SCOPED_TRACE(baud);
        ASSERT_EQ(1, port.Open(3, baud, NOPARITY, 8, ONESTOPBIT, FLOW_SOFTWARE));
        ASSERT_TRUE(SendFlowControl(peer, port, kXoff));
        std::atomic<pid_t> tid{0};
        auto writer = StartWriter(port, "ATE0\r\n", tid);
        const bool ended = Ends(writer);
        if (!ended)
            peer.Send(std::string{kXon}); // lets the writer go, so that the test fails, not hangs
        ASSERT_TRUE(ended);
        EXPECT_EQ(0, writer.get());
        EXPECT_NE(std::string::npos, port.LastError().find("timed out")) << port.LastError();
        ASSERT_TRUE(SendFlowControl(peer, port, kXon));
        EXPECT_EQ(4, port.Write("AT\r\n"));
        EXPECT_TRUE(peer.WaitForReceived("AT\r\n"));
        EXPECT_EQ(std::string::npos, peer.Received().find("ATE0"));
        port.Close();
    }
}

// The writes' deadlines are minutes away: only Close can end them within the test.
TEST_F(SerialPortTest, CloseWakesAWriteHeldByXoffAndWaitsForIt) {
    for (const auto& [baud, size] : {std::pair{9600, 20000}, std::pair{921600, 400000}}) {
        SCOPED_TRACE(baud);
        ASSERT_EQ(1, port.Open(3, baud, NOPARITY, 8, ONESTOPBIT, FLOW_SOFTWARE));
        ASSERT_TRUE(SendFlowControl(peer, port, kXoff));
        std::atomic<pid_t> tid{0};
        auto writer = StartWriter(port, std::string(static_cast<size_t>(size), 'x'), tid);
        EXPECT_TRUE(WaitUntilAsleep(tid));
        auto closer = std::async(std::launch::async, [this] {
            port.Close();
            return 0;
        });
        const bool ended = Ends(closer) && Ends(writer);
        if (!ended)
            peer.Send(std::string{kXon});
        ASSERT_TRUE(ended);
        EXPECT_EQ(0, writer.get()); // nothing passed the XOFF
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(0, port.Write("late"));
    }
}

// Writers on other threads keep writing while the port closes: each of them ends with the
// connection, and none touches the released descriptor (ThreadSanitizer watches).
TEST_F(SerialPortTest, WritersRacingWithCloseEndWithTheConnection) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(1, port.Open(3, 921600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
        peer.ClearReceived();
        std::vector<std::future<int>> writers;
        for (int w = 0; w < 2; ++w) {
            writers.push_back(std::async(std::launch::async, [this] {
                int writes = 0;
                while (port.Write("ping\r\n") == 6)
                    ++writes;
                return writes;
            }));
        }
        EXPECT_TRUE(peer.WaitForReceived("ping"));
        port.Close();
        for (auto& writer : writers)
            ASSERT_TRUE(Ends(writer));
        // A write that reached a released descriptor would have failed with EBADF.
        EXPECT_EQ(std::string::npos, port.LastError().find(std::strerror(EBADF)))
            << port.LastError();
        EXPECT_EQ(0, port.Write("ping\r\n"));
    }
}

TEST_F(SerialPortTest, FloodBeyondTheRingIsDroppedAndReceptionGoesOn) {
    ASSERT_EQ(1, port.Open(3, 921600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    peer.Send(std::string(4000, 'a'));
    ASSERT_EQ(4000u, WaitForRing(port, 4000).size());
    // Fill the ring without taking, then overflow it.
    for (int i = 0; i < 3; ++i)
        peer.Send(std::string(3000, 'b'));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LT(port.m_rxRing.Count(), 8192u);
    port.m_rxRing.Clear();
    peer.Send("tail");
    EXPECT_EQ("tail", WaitForRing(port, 4));
}

std::atomic<int> g_posted{0};
void CountPost(void*, unsigned message) {
    if (message == WM_SERIAL_DATA)
        ++g_posted;
}

TEST_F(SerialPortTest, ReaderPostsToTheTerminalOnlyWhileNotifying) {
    int target = 0;
    g_posted = 0;
    g_hTerminalWnd = &target;
    SetPostMessageFunction(&CountPost);
    ASSERT_EQ(1, port.Open(3, 115200, NOPARITY, 8, ONESTOPBIT, FLOW_NONE));
    peer.Send("quiet");
    WaitForRing(port, 5);
    EXPECT_EQ(0, g_posted.load());
    port.m_bNotifyTerminal = 1;
    peer.Send("loud");
    WaitForRing(port, 4);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (g_posted.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(g_posted.load(), 1);
    port.Close();
    SetPostMessageFunction(nullptr);
    g_hTerminalWnd = nullptr;
}

TEST(PortMap, RegisteredEntriesAreListedWithTheirDevice) {
    CTempPortDir dir;
    CPtyPeer a(4), b(12);
    CSerialPortList list;
    EXPECT_EQ(1, list.Enumerate());
    std::vector<int> numbers;
    for (int i = 0; i < list.GetCount(); ++i)
        numbers.push_back(vireo::ParsePortNumber(list.GetEntry(i).second));
    EXPECT_NE(numbers.end(), std::find(numbers.begin(), numbers.end(), 4));
    EXPECT_NE(numbers.end(), std::find(numbers.begin(), numbers.end(), 12));
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(a.SlavePath(), vireo::PortDevicePath(4));
    EXPECT_EQ("COM4 (" + a.SlavePath() + ")", vireo::PortDisplayName({4, a.SlavePath(), true}));
}

TEST(PortMap, StaleEntriesAndOddNumbersAreNotPorts) {
    CTempPortDir dir;
    std::filesystem::create_symlink("/dev/does-not-exist", dir.Path() + "/COM7");
    EXPECT_EQ("", vireo::PortDevicePath(7));
    EXPECT_EQ("", vireo::PortDevicePath(1)); // never a real device while tests run
    EXPECT_EQ("", vireo::PortDevicePath(17));
    EXPECT_EQ("", vireo::PortDevicePath(0));
    EXPECT_EQ("", vireo::PortDevicePath(256));
}

TEST(PortMap, PortTextsReadWithTheComPattern) {
    EXPECT_EQ(3, vireo::ParsePortNumber("COM3"));
    EXPECT_EQ(12, vireo::ParsePortNumber("COM12 (/dev/ttyUSB0)"));
    EXPECT_EQ(0, vireo::ParsePortNumber("  COM5")); // the literal does not skip blanks
    EXPECT_EQ(0, vireo::ParsePortNumber("com3"));
    EXPECT_EQ(0, vireo::ParsePortNumber("/dev/ttyUSB0"));
    EXPECT_EQ(0, vireo::ParsePortNumber(""));
}

} // namespace
