// Which programs hold a device open. On Linux every process's open descriptors are links
// under /proc/<pid>/fd; those that lead to the device name its holders. Descriptors of
// other users' processes can only be looked at with privileges, so the search may miss
// holders: it says so. Elsewhere nothing is found.
//
// May be called from any thread; it reads /proc each time.
#pragma once

#include <string>
#include <vector>

namespace vireo {

struct DeviceHolder {
    int pid = 0;
    std::string name; // /proc/<pid>/comm
};

struct DeviceHolderScan {
    std::vector<DeviceHolder> holders; // ascending pid, each process once
    bool hidden = false;               // some processes' descriptors could not be read
    bool modemManagerRunning = false;  // a process named ModemManager runs
};

// Processes (this one included) that hold devicePath open, by its resolved path.
DeviceHolderScan FindDeviceHolders(const std::string& devicePath);

} // namespace vireo
