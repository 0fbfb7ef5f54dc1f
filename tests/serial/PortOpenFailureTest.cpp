// Why a port cannot be opened: the errno mapping, the message line per cause, and the causes
// a pty, /dev/null and a missing device produce through CSerialPort::Open.
#include "serial/PortOpenFailure.h"
#include "platform/PortHolders.h"
#include "serial/SerialPort.h"
#include "tests/support/PtyPeer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using vireo::PortOpenCause;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string OwnName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool HoldsSelf(const vireo::DeviceHolderScan& scan) {
    for (const vireo::DeviceHolder& holder : scan.holders) {
        if (holder.pid == getpid() && holder.name == OwnName())
            return true;
    }
    return false;
}

TEST(PortOpenCause, ErrnoOfOpeningMapsToItsCause) {
    const struct {
        int err;
        PortOpenCause open;
        PortOpenCause settings;
    } rows[] = {
        {ENOENT, PortOpenCause::NoSuchDevice, PortOpenCause::NoSuchDevice},
        {ENODEV, PortOpenCause::NoSuchDevice, PortOpenCause::NoSuchDevice},
        {ENXIO, PortOpenCause::NoSuchDevice, PortOpenCause::NoSuchDevice},
        {EACCES, PortOpenCause::PermissionDenied, PortOpenCause::PermissionDenied},
        {EPERM, PortOpenCause::PermissionDenied, PortOpenCause::PermissionDenied},
        {EBUSY, PortOpenCause::Busy, PortOpenCause::Busy},
        {EWOULDBLOCK, PortOpenCause::Busy, PortOpenCause::Busy},
        {ENOTTY, PortOpenCause::Other, PortOpenCause::NotSerial},
        {EIO, PortOpenCause::Other, PortOpenCause::Other},
        {EINVAL, PortOpenCause::Other, PortOpenCause::Other},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.err);
        EXPECT_EQ(row.open, vireo::CauseOfOpenErrno(row.err));
        EXPECT_EQ(row.settings, vireo::CauseOfSettingsErrno(row.err));
    }
}

vireo::PortOpenFailure Failure(PortOpenCause cause, std::vector<vireo::DeviceHolder> holders = {}) {
    vireo::PortOpenFailure f;
    f.cause = cause;
    f.port = 17;
    f.device = "/dev/ttyUSB0";
    f.systemText = "Input/output error";
    f.holders.holders = std::move(holders);
    return f;
}

TEST(PortOpenDetail, EachCauseNamesTheDeviceAndWhatToDo) {
    const struct {
        const char* name;
        vireo::PortOpenFailure failure;
        std::vector<std::string> parts;
    } rows[] = {
        {"no such device", Failure(PortOpenCause::NoSuchDevice), {"no such device", "unplugged"}},
        {"permission",
         Failure(PortOpenCause::PermissionDenied),
         {"permission denied", "'dialout' group", "sudo usermod -aG dialout $USER", "log out"}},
        {"busy, holder known",
         Failure(PortOpenCause::Busy, {{4242, "minicom"}}),
         {"busy", "minicom (pid 4242)", "Close that program"}},
        {"busy, modem manager",
         Failure(PortOpenCause::Busy, {{812, "ModemManager"}}),
         {"busy", "ModemManager (pid 812)", "probes new serial ports", "systemctl stop"}},
        {"not serial", Failure(PortOpenCause::NotSerial), {"not a serial device"}},
        {"other", Failure(PortOpenCause::Other), {"Input/output error"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string detail = vireo::PortOpenDetail(row.failure);
        EXPECT_EQ(0u, detail.find("COM17 (/dev/ttyUSB0): ")) << detail;
        for (const std::string& part : row.parts)
            EXPECT_TRUE(Contains(detail, part)) << detail;
        EXPECT_FALSE(Contains(detail, "\n")) << detail;
        EXPECT_EQ("ERROR: Could not open serial port.\r\n" + detail,
                  vireo::PortOpenMessage(row.failure));
    }
}

TEST(PortOpenDetail, BusyWithoutVisibleHolderPointsAtModemManagerOrTheLookUp) {
    vireo::PortOpenFailure f = Failure(PortOpenCause::Busy);
    f.holders.hidden = true;
    EXPECT_TRUE(Contains(vireo::PortOpenDetail(f), "sudo fuser -v /dev/ttyUSB0"));
    f.holders.modemManagerRunning = true;
    EXPECT_TRUE(Contains(vireo::PortOpenDetail(f), "ModemManager probes"));
}

TEST(DeviceHolders, TheProcessHoldingAFileIsFoundThroughALink) {
    char path[] = "/tmp/vireo-holder-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string link = std::string(path) + ".link";
    ASSERT_EQ(0, symlink(path, link.c_str()));
    EXPECT_TRUE(HoldsSelf(vireo::FindDeviceHolders(link)));
    ::close(fd);
    EXPECT_FALSE(HoldsSelf(vireo::FindDeviceHolders(link)));
    std::remove(link.c_str());
    std::remove(path);
}

class PortOpenFailureOnPty : public ::testing::Test {
protected:
    vireo::test::CTempPortDir dir;
};

TEST_F(PortOpenFailureOnPty, AMissingPortIsNoSuchDeviceAndNamesItsDevice) {
    CSerialPort port;
    EXPECT_EQ(0, port.Open(7, 9600, 0, 8, 0, 10));
    EXPECT_EQ(PortOpenCause::NoSuchDevice, port.OpenFailure().cause);
    EXPECT_EQ("", port.OpenFailure().device); // only registered ports count here

    ASSERT_EQ(0, symlink("/dev/ttyUSB77", (dir.Path() + "/COM8").c_str()));
    EXPECT_EQ(0, port.Open(8, 9600, 0, 8, 0, 10));
    EXPECT_EQ(PortOpenCause::NoSuchDevice, port.OpenFailure().cause);
    EXPECT_EQ("/dev/ttyUSB77", port.OpenFailure().device);
    EXPECT_EQ(vireo::PortOpenDetail(port.OpenFailure()), port.LastError());
}

TEST_F(PortOpenFailureOnPty, ADeviceThatIsNoTerminalIsNotSerial) {
    ASSERT_EQ(0, symlink("/dev/null", (dir.Path() + "/COM5").c_str()));
    CSerialPort port;
    EXPECT_EQ(0, port.Open(5, 9600, 0, 8, 0, 10));
    EXPECT_EQ(PortOpenCause::NotSerial, port.OpenFailure().cause);
    EXPECT_EQ("/dev/null", port.OpenFailure().device);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PortOpenFailureOnPty, APortHeldOpenIsBusyAndNamesItsHolder) {
    vireo::test::CPtyPeer peer(3);
    CSerialPort first;
    ASSERT_EQ(1, first.Open(3, 9600, 0, 8, 0, 10)) << first.LastError();
    EXPECT_EQ(PortOpenCause::None, first.OpenFailure().cause);

    CSerialPort second;
    EXPECT_EQ(0, second.Open(3, 9600, 0, 8, 0, 10));
    const vireo::PortOpenFailure failure = second.OpenFailure();
    EXPECT_EQ(PortOpenCause::Busy, failure.cause);
    EXPECT_EQ(peer.SlavePath(), failure.device);
    EXPECT_TRUE(HoldsSelf(failure.holders));
    EXPECT_TRUE(Contains(second.LastError(), "(pid " + std::to_string(getpid()) + ")"))
        << second.LastError();

    first.Close();
    ASSERT_EQ(1, second.Open(3, 9600, 0, 8, 0, 10)) << second.LastError();
    EXPECT_EQ(PortOpenCause::None, second.OpenFailure().cause); // a success clears the failure
}

} // namespace
