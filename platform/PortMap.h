// Port map: turns the COM port numbers the user sees into device paths.
//
// On POSIX, entries "COM<n>" (symbolic links to a device) in the port directory come first
// and override any automatic number. Real serial devices get stable numbers by this rule:
//   /dev/ttyS<k>   (k 0..15, only when the kernel reports a UART) -> COM<k + 1>
//   /dev/ttyUSB<k> (k 0..63)                                      -> COM<k + 17>
//   /dev/ttyACM<k> (k 0..63)                                      -> COM<k + 81>
// The port directory is $VIREO_PORT_DIR, or ~/.config/vireo-manager/ports when unset. When
// $VIREO_REGISTERED_PORTS_ONLY is set (tests do this), only the port directory counts, so that
// nothing ever opens a real device such as a console on /dev/ttyS0.
// On Windows, COM<n> is the device "\\.\COM<n>".
//
// All functions may be called from any thread; they read the file system each time.
#pragma once

#include <string>
#include <vector>

namespace vireo {

constexpr int kMaxPortNumber = 255;

struct PortEntry {
    int number = 0;          // n of "COM<n>"
    std::string device;      // device path the number stands for
    bool registered = false; // true when it comes from the port directory
};

// The port directory (not created).
std::string PortDirectory();

// Device path of COM<number>, or empty when no present device has that number.
std::string PortDevicePath(int number);

// The device COM<number> stands for, or would stand for once present: the target of its
// entry in the port directory (also when that leads nowhere), else the device of the
// automatic rule; empty when neither gives one. Names the device in messages about a port
// that cannot be opened.
std::string PortDeviceCandidate(int number);

// Every present port, in ascending number order.
std::vector<PortEntry> ListPorts();

// "COM<n>" and the display name used in the port combo, "COM<n> (<device>)".
std::string PortName(int number);
std::string PortDisplayName(const PortEntry& entry);

// Reads a port number from a text with the sscanf pattern "COM%d"; 0 when the text does not
// match.
int ParsePortNumber(const std::string& text);

} // namespace vireo
