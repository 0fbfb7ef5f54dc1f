#include "platform/UserState.h"
#include "platform/ProfileFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace vireo {

namespace {

constexpr const char* kLastTranscriptFile = "last-transcript.txt";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string UserStateDirectory() {
    if (std::string dir = Env("VIREO_STATE_DIR"); !dir.empty())
        return dir;
#ifdef _WIN32
    const std::string base = Env("LOCALAPPDATA");
    return base.empty() ? "" : base + "\\Vireo Manager";
#else
    if (std::string base = Env("XDG_STATE_HOME"); !base.empty())
        return base + "/vireo-manager";
    const std::string home = Env("HOME");
    return home.empty() ? "" : home + "/.local/state/vireo-manager";
#endif
}

void RememberLastTranscript(const std::string& path) {
    const std::string dir = UserStateDirectory();
    if (dir.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    WriteWholeFile((std::filesystem::path(dir) / kLastTranscriptFile).string(),
                   (error ? path : absolute.string()) + "\n");
}

std::string LastTranscriptPath() {
    const std::string dir = UserStateDirectory();
    if (dir.empty())
        return "";
    std::ifstream in(std::filesystem::path(dir) / kLastTranscriptFile);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace vireo
