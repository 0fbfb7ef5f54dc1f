// Why a serial port could not be opened, in words a technician can act on. CSerialPort::Open
// fills a PortOpenFailure at the point of failure (with the system's own error text and, for
// a busy device, the processes that hold it); the window and the command line turn it into
// the second line of their "Could not open serial port." message with PortOpenDetail.
#pragma once

#include "platform/PortHolders.h"

#include <string>

namespace vireo {

enum class PortOpenCause {
    None,             // the port is open, or was never tried
    NoSuchDevice,     // unplugged, or a wrong port name
    PermissionDenied, // the user may not use the device
    Busy,             // another program holds the device
    NotSerial,        // the device is no serial port
    Other,            // anything else: the system's own text says what
};

struct PortOpenFailure {
    PortOpenCause cause = PortOpenCause::None;
    int port = 0;             // n of COM<n>
    std::string device;       // device path; empty when the number stands for none
    std::string systemText;   // the system's error text, or the port's own reason
    DeviceHolderScan holders; // Busy: the programs seen holding the device open
};

// The text of the window's and the command line's message box when a port cannot be opened.
extern const char* const kPortOpenErrorText; // "ERROR: Could not open serial port."

// One line naming the port, its device and the cause, with what to do about it.
std::string PortOpenDetail(const PortOpenFailure& failure);
// kPortOpenErrorText, "\r\n" and the detail: the whole message box text.
std::string PortOpenMessage(const PortOpenFailure& failure);

// Short name of a cause for programs ("no-such-device", ...).
const char* PortOpenCauseName(PortOpenCause cause);

// The cause a POSIX errno of open() or of taking the device's lock stands for, and the one
// of an errno of reading the line settings (ENOTTY: no serial device).
PortOpenCause CauseOfOpenErrno(int err);
PortOpenCause CauseOfSettingsErrno(int err);

} // namespace vireo
