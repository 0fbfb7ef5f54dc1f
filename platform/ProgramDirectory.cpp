#include "platform/ProgramDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace vireo {

std::string GetProgramDirectory() {
#ifdef _WIN32
    char path[MAX_PATH] = {};
    const DWORD len = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string exe(path, len);
    const auto cut = exe.find_last_of("\\/");
    return cut == std::string::npos ? std::string(".\\") : exe.substr(0, cut + 1);
#else
    char path[PATH_MAX] = {};
    const ssize_t len = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (len <= 0)
        return "./";
    std::string exe(path, static_cast<size_t>(len));
    const auto cut = exe.rfind('/');
    return cut == std::string::npos ? std::string("./") : exe.substr(0, cut + 1);
#endif
}

} // namespace vireo
