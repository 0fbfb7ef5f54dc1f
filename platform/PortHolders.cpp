#include "platform/PortHolders.h"

#ifdef __linux__
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <unistd.h>
#endif

namespace vireo {

#ifdef __linux__

namespace {

// The pid a /proc entry name stands for; 0 for other entries.
int PidOf(const char* name) {
    int pid = 0;
    for (const char* c = name; *c; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c)) || pid > INT_MAX / 10 - 1)
            return 0;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

std::string ProcessName(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// 1 when one of the process's descriptors leads to target, 0 when none does, -1 when they
// cannot be read.
int HoldsDevice(const std::string& fdDir, const std::string& target) {
    DIR* fds = opendir(fdDir.c_str());
    if (!fds)
        return errno == EACCES || errno == EPERM ? -1 : 0; // else the process has ended
    int found = 0;
    char link[PATH_MAX];
    while (const dirent* fd = readdir(fds)) {
        if (fd->d_name[0] == '.')
            continue;
        const ssize_t len = readlink((fdDir + "/" + fd->d_name).c_str(), link, sizeof(link) - 1);
        if (len > 0 && static_cast<size_t>(len) == target.size() &&
            target.compare(0, target.size(), link, static_cast<size_t>(len)) == 0) {
            found = 1;
            break;
        }
    }
    closedir(fds);
    return found;
}

} // namespace

DeviceHolderScan FindDeviceHolders(const std::string& devicePath) {
    DeviceHolderScan scan;
    char* resolved = realpath(devicePath.c_str(), nullptr);
    const std::string target = resolved ? resolved : devicePath;
    std::free(resolved);
    DIR* proc = opendir("/proc");
    if (!proc)
        return scan;
    while (const dirent* entry = readdir(proc)) {
        const int pid = PidOf(entry->d_name);
        if (pid == 0)
            continue;
        const std::string name = ProcessName(pid);
        if (name == "ModemManager")
            scan.modemManagerRunning = true;
        const int holds = HoldsDevice("/proc/" + std::string(entry->d_name) + "/fd", target);
        if (holds < 0)
            scan.hidden = true;
        else if (holds > 0)
            scan.holders.push_back({pid, name});
    }
    closedir(proc);
    std::sort(scan.holders.begin(), scan.holders.end(),
              [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
    return scan;
}

#else

DeviceHolderScan FindDeviceHolders(const std::string&) {
    return {};
}

#endif

} // namespace vireo
