#include "platform/PortMap.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vireo {

std::string PortName(int number) {
    return "COM" + std::to_string(number);
}

std::string PortDisplayName(const PortEntry& entry) {
#ifdef _WIN32
    return PortName(entry.number);
#else
    return PortName(entry.number) + " (" + entry.device + ")";
#endif
}

int ParsePortNumber(const std::string& text) {
    int n = 0;
    if (std::sscanf(text.c_str(), "COM%d", &n) != 1)
        return 0;
    return n;
}

#ifdef _WIN32

std::string PortDirectory() {
    return {};
}

std::string PortDevicePath(int number) {
    if (number < 1)
        return {};
    return "\\\\.\\COM" + std::to_string(number);
}

std::string PortDeviceCandidate(int number) {
    return PortDevicePath(number);
}

std::vector<PortEntry> ListPorts() {
    std::vector<PortEntry> ports;
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        COMMCONFIG cc;
        DWORD size = sizeof(cc);
        if (GetDefaultCommConfigA(PortName(n).c_str(), &cc, &size))
            ports.push_back({n, PortDevicePath(n), false});
    }
    return ports;
}

#else

namespace {

bool IsCharDevice(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A /dev/ttyS<k> node exists for every possible UART slot; only those whose serial core
// reports a port type other than 0 (unknown) have hardware behind them.
bool IsRealUart(int k) {
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(k) + "/type");
    int value = 0;
    return type >> value && value != 0;
}

// Automatic number rule for devices found under /dev (see the header).
std::string AutomaticDevice(int number) {
    if (const char* only = std::getenv("VIREO_REGISTERED_PORTS_ONLY"); only && *only)
        return {};
    if (number >= 1 && number <= 16) {
        const int k = number - 1;
        const std::string path = "/dev/ttyS" + std::to_string(k);
        return IsCharDevice(path) && IsRealUart(k) ? path : std::string();
    }
    if (number >= 17 && number <= 80) {
        const std::string path = "/dev/ttyUSB" + std::to_string(number - 17);
        return IsCharDevice(path) ? path : std::string();
    }
    if (number >= 81 && number <= 144) {
        const std::string path = "/dev/ttyACM" + std::to_string(number - 81);
        return IsCharDevice(path) ? path : std::string();
    }
    return {};
}

// Path of a registered entry, when its link leads to a present character device.
std::string RegisteredDevice(int number) {
    const std::string entry = PortDirectory() + "/" + PortName(number);
    struct stat st {};
    if (lstat(entry.c_str(), &st) != 0)
        return {};
    if (!IsCharDevice(entry))
        return {};
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t len = readlink(entry.c_str(), target, sizeof(target) - 1);
        if (len > 0) {
            target[len] = '\0';
            if (target[0] == '/')
                return target;
        }
    }
    return entry;
}

} // namespace

std::string PortDirectory() {
    if (const char* dir = std::getenv("VIREO_PORT_DIR"); dir && *dir)
        return dir;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.config/vireo-manager/ports";
}

std::string PortDevicePath(int number) {
    if (number < 1 || number > kMaxPortNumber)
        return {};
    std::string path = RegisteredDevice(number);
    return path.empty() ? AutomaticDevice(number) : path;
}

std::string PortDeviceCandidate(int number) {
    if (number < 1 || number > kMaxPortNumber)
        return {};
    if (std::string present = PortDevicePath(number); !present.empty())
        return present;
    const std::string entry = PortDirectory() + "/" + PortName(number);
    char target[4096];
    const ssize_t len = readlink(entry.c_str(), target, sizeof(target) - 1);
    if (len > 0) {
        target[len] = '\0';
        return target[0] == '/' ? std::string(target) : entry;
    }
    struct stat st {};
    if (lstat(entry.c_str(), &st) == 0)
        return entry;
    if (const char* only = std::getenv("VIREO_REGISTERED_PORTS_ONLY"); only && *only)
        return {};
    if (number <= 16)
        return "/dev/ttyS" + std::to_string(number - 1);
    if (number <= 80)
        return "/dev/ttyUSB" + std::to_string(number - 17);
    if (number <= 144)
        return "/dev/ttyACM" + std::to_string(number - 81);
    return {};
}

std::vector<PortEntry> ListPorts() {
    std::vector<PortEntry> ports;
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        if (std::string reg = RegisteredDevice(n); !reg.empty())
            ports.push_back({n, reg, true});
        else if (std::string dev = AutomaticDevice(n); !dev.empty())
            ports.push_back({n, dev, false});
    }
    return ports;
}

#endif

} // namespace vireo
