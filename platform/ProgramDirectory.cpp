#include "platform/ProgramDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/InstalledLayout.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#endif

#ifndef VIREO_SHARED_DATA_RELATIVE
#define VIREO_SHARED_DATA_RELATIVE ""
#endif

namespace vireo {

namespace {

#ifdef _WIN32

std::string FindProgramDirectory() {
    char path[MAX_PATH] = {};
    const DWORD len = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string exe(path, len);
    const auto cut = exe.find_last_of("\\/");
    return cut == std::string::npos ? std::string(".\\") : exe.substr(0, cut + 1);
}

#else

std::string ExecutableDirectory() {
    char path[PATH_MAX] = {};
    const ssize_t len = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (len <= 0)
        return "./";
    std::string exe(path, static_cast<size_t>(len));
    const auto cut = exe.rfind('/');
    return cut == std::string::npos ? std::string("./") : exe.substr(0, cut + 1);
}

UserEnvironment CurrentEnvironment() {
    UserEnvironment env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"))
        env.xdgDataHome = xdg;
    if (const char* home = std::getenv("HOME"))
        env.home = home;
    if (env.home.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
            env.home = pw->pw_dir;
    }
    return env;
}

std::string FindProgramDirectory() {
    const ProgramLayout layout = ChooseProgramLayout(
        ExecutableDirectory(), VIREO_SHARED_DATA_RELATIVE, CurrentEnvironment());
    if (layout.shippedDataDirectory.empty() ||
        layout.programDirectory == layout.shippedDataDirectory)
        return layout.programDirectory;
    std::string why;
    if (SeedUserDataDirectory(layout.shippedDataDirectory, layout.programDirectory, &why))
        return layout.programDirectory;
    // The shipped construct files can still be read; only downloads will fail.
    std::fprintf(stderr, "cannot create the data folder %s (%s); using %s\n",
                 layout.programDirectory.c_str(), why.c_str(), layout.shippedDataDirectory.c_str());
    return layout.shippedDataDirectory;
}

#endif

} // namespace

std::string GetProgramDirectory() {
    static const std::string directory = FindProgramDirectory();
    return directory;
}

} // namespace vireo
