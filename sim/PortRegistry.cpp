#include "sim/PortRegistry.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PortMap.h"

namespace vireo::sim {
namespace {

bool MakeDirs(const std::string& dir) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        partial = dir.substr(0, pos);
        if (partial.empty())
            continue;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadLink(const std::string& path) {
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    if (n < 0)
        return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

} // namespace

bool RegisterPort(const std::string& dir, int first, const std::string& target,
                  PortRegistration* reg, std::string* error) {
    *reg = {};
    if (!MakeDirs(dir)) {
        *error = "cannot create the port directory " + dir + ": " + std::strerror(errno);
        return false;
    }
    if (first < 1)
        first = 1;
    for (int n = first; n <= vireo::kMaxPortNumber; ++n) {
        std::string link = dir + "/" + vireo::PortName(n);
        struct stat lst {};
        if (lstat(link.c_str(), &lst) == 0) {
            struct stat st {};
            bool present = stat(link.c_str(), &st) == 0;
            if (!S_ISLNK(lst.st_mode) || present) {
                std::string what =
                    S_ISLNK(lst.st_mode) ? "points at " + ReadLink(link) : "is not a link";
                reg->notice +=
                    vireo::PortName(n) + " is taken (" + what + "), trying the next number\n";
                continue;
            }
            unlink(link.c_str()); // a stale link to a device that is gone
        }
        if (symlink(target.c_str(), link.c_str()) != 0) {
            if (errno == EEXIST)
                continue; // somebody else was quicker
            *error = "cannot create " + link + ": " + std::strerror(errno);
            return false;
        }
        reg->number = n;
        reg->linkPath = link;
        reg->target = target;
        return true;
    }
    *error = "no free port number from " + vireo::PortName(first) + " on in " + dir;
    return false;
}

void UnregisterPort(PortRegistration* reg) {
    if (reg->number == 0)
        return;
    if (ReadLink(reg->linkPath) == reg->target)
        unlink(reg->linkPath.c_str());
    *reg = {};
}

} // namespace vireo::sim
