#include "serial/PortOpenFailure.h"
#include "platform/PortMap.h"

#include <cerrno>

namespace vireo {

const char* const kPortOpenErrorText = "ERROR: Could not open serial port.";

namespace {

const char* const kModemManager = "ModemManager";
const char* const kModemManagerAdvice =
    "ModemManager probes new serial ports for a while after they appear: wait a few seconds "
    "and try again, or stop it with: sudo systemctl stop ModemManager";

// "COM3 (/dev/ttyUSB0)" where the platform shows devices, else "COM3".
std::string Subject(const PortOpenFailure& failure) {
    if (failure.device.empty())
        return PortName(failure.port);
    return PortDisplayName(PortEntry{failure.port, failure.device, false});
}

bool HeldByModemManager(const PortOpenFailure& failure) {
    for (const DeviceHolder& holder : failure.holders.holders) {
        if (holder.name == kModemManager)
            return true;
    }
    return false;
}

std::string HolderList(const std::vector<DeviceHolder>& holders) {
    std::string list;
    for (const DeviceHolder& holder : holders) {
        if (!list.empty())
            list += ", ";
        list += holder.name + " (pid " + std::to_string(holder.pid) + ")";
    }
    return list;
}

std::string BusyDetail(const PortOpenFailure& failure) {
    std::string text = Subject(failure) + ": busy - ";
    if (!failure.holders.holders.empty()) {
        text += "in use by " + HolderList(failure.holders.holders) + ". ";
        return text + (HeldByModemManager(failure) ? kModemManagerAdvice
                                                   : "Close that program and try again.");
    }
    text += "another program has it open. ";
    if (failure.holders.modemManagerRunning)
        return text + kModemManagerAdvice;
    if (failure.holders.hidden && !failure.device.empty())
        return text + "'sudo fuser -v " + failure.device + "' shows which.";
    return text + "Close that program and try again.";
}

} // namespace

std::string PortOpenDetail(const PortOpenFailure& failure) {
    switch (failure.cause) {
    case PortOpenCause::NoSuchDevice:
        if (failure.port < 1)
            return "No such port: give the port as COM<n>, for example COM1.";
        return Subject(failure) +
               ": no such device - the module is unplugged, or this is the wrong port.";
    case PortOpenCause::PermissionDenied:
        return Subject(failure) + ": permission denied - the user must be in the 'dialout' group: "
                                  "sudo usermod -aG dialout $USER, then log out and in again.";
    case PortOpenCause::Busy: return BusyDetail(failure);
    case PortOpenCause::NotSerial:
        return Subject(failure) + ": not a serial device - the port leads to a device that is "
                                  "no serial line; check the port name.";
    case PortOpenCause::None:
    case PortOpenCause::Other: break;
    }
    return Subject(failure) + ": " + failure.systemText;
}

std::string PortOpenMessage(const PortOpenFailure& failure) {
    return std::string(kPortOpenErrorText) + "\r\n" + PortOpenDetail(failure);
}

const char* PortOpenCauseName(PortOpenCause cause) {
    switch (cause) {
    case PortOpenCause::None: return "none";
    case PortOpenCause::NoSuchDevice: return "no-such-device";
    case PortOpenCause::PermissionDenied: return "permission-denied";
    case PortOpenCause::Busy: return "busy";
    case PortOpenCause::NotSerial: return "not-a-serial-device";
    case PortOpenCause::Other: break;
    }
    return "other";
}

PortOpenCause CauseOfOpenErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return PortOpenCause::NoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS: return PortOpenCause::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK: return PortOpenCause::Busy;
    default: return PortOpenCause::Other;
    }
}

PortOpenCause CauseOfSettingsErrno(int err) {
    if (err == ENOTTY)
        return PortOpenCause::NotSerial;
    return CauseOfOpenErrno(err);
}

} // namespace vireo
