// Why a port cannot be opened: the message line per cause, and the causes
// that a held pty, /dev/null and a missing device produce through CSerialPort::Open.
#include "serial/PortOpenFailure.h"
#include "serial/SerialPort.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using vireo::PortOpenCause;

// One fragment per row: the part of the line that tells this cause from the others (the
// command line's tests read the whole line of a missing device).
TEST(PortOpenDetail, EachCauseNamesTheDeviceAndWhatToDo) {
    const vireo::DeviceHolder minicom{4242, "minicom"};
    const struct {
        PortOpenCause cause;
        vireo::DeviceHolderScan holders;
        const char* part;
    } rows[] = {
        {PortOpenCause::PermissionDenied, {}, "'dialout' group"},
        {PortOpenCause::Busy, {{minicom}}, "in use by minicom (pid 4242). Close that program"},
        {PortOpenCause::NotSerial, {}, "not a serial device"},
        {PortOpenCause::Other, {}, "): Input/output error"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.part);
        vireo::PortOpenFailure failure{row.cause, 17, "/dev/ttyUSB0", "Input/output error",
                                       row.holders};
        const std::string detail = vireo::PortOpenDetail(failure);
        EXPECT_EQ(0u, detail.find("COM17 (/dev/ttyUSB0): ")) << detail;
        EXPECT_NE(std::string::npos, detail.find(row.part)) << detail;
        EXPECT_EQ(std::string::npos, detail.find('\n')) << detail;
        EXPECT_EQ("ERROR: Could not open serial port.\r\n" + detail,
                  vireo::PortOpenMessage(failure));
    }
}

class PortOpenFailureOnPty : public ::testing::Test {
protected:
    void Link(const std::string& target, int number) {
        const std::string entry = dir.Path() + "/COM" + std::to_string(number);
        ASSERT_EQ(0, symlink(target.c_str(), entry.c_str()));
    }
    vireo::test::CTempPortDir dir;
    CSerialPort port;
};

TEST_F(PortOpenFailureOnPty, MissingAndNonSerialDevicesAreToldApart) {
    Link("/dev/ttyUSB77", 8);
    Link("/dev/null", 5);
    const struct {
        int number;
        PortOpenCause cause;
        const char* device;
    } rows[] = {
        {8, PortOpenCause::NoSuchDevice, "/dev/ttyUSB77"},
        {5, PortOpenCause::NotSerial, "/dev/null"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.number);
        EXPECT_EQ(0, port.Open(row.number, 9600, 0, 8, 0, 10));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(row.cause, port.OpenFailure().cause);
        EXPECT_EQ(row.device, port.OpenFailure().device);
        EXPECT_EQ(vireo::PortOpenDetail(port.OpenFailure()), port.LastError());
    }
}

// COM4 reaches the device through a second link, as /dev/serial/by-id does: the holders are
// looked up by the device the links lead to.
TEST_F(PortOpenFailureOnPty, APortHeldOpenIsBusyAndNamesItsHolder) {
    vireo::test::CPtyPeer peer(3);
    Link(dir.Path() + "/COM3", 4);
    CSerialPort first;
    ASSERT_EQ(1, first.Open(3, 9600, 0, 8, 0, 10)) << first.LastError();

    EXPECT_EQ(0, port.Open(4, 9600, 0, 8, 0, 10));
    EXPECT_EQ(PortOpenCause::Busy, port.OpenFailure().cause);
    const std::string pid = "(pid " + std::to_string(getpid()) + ")";
    EXPECT_NE(std::string::npos, port.LastError().find(pid)) << port.LastError();

    first.Close();
    ASSERT_EQ(1, port.Open(4, 9600, 0, 8, 0, 10)) << port.LastError();
    EXPECT_EQ(PortOpenCause::None, port.OpenFailure().cause); // a success clears the failure
}

} // namespace
