#include "platform/InstalledLayout.h"

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace vireo {

namespace {

const char kDataFolderName[] = "vireo-manager";

std::string WithSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

// The user's data folder for this program, or "" when the environment names no home.
std::string UserDataDirectory(const UserEnvironment& env) {
    if (!env.xdgDataHome.empty() && env.xdgDataHome.front() == '/')
        return WithSeparator(env.xdgDataHome) + kDataFolderName + '/';
    if (env.home.empty())
        return "";
    return WithSeparator(env.home) + ".local/share/" + kDataFolderName + '/';
}

bool IsConstructFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec) && entry.path().extension() == ".vmcon";
}

// Copies one file beside its target first and renames it into place, so that an interrupted
// copy never leaves a half construct file under the real name. The temporary name is unique,
// so that two programs starting together do not write into the same one.
void CopyIfMissing(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::exists(to, ec) || ec)
        return;
    fs::path part = to;
    part += ".part" + std::to_string(std::random_device{}());
    if (!fs::copy_file(from, part, fs::copy_options::overwrite_existing, ec))
        return;
    if (!fs::exists(to, ec) && !ec)
        fs::rename(part, to, ec);
    fs::remove(part, ec);
}

} // namespace

ProgramLayout ChooseProgramLayout(const std::string& exeDir, const std::string& sharedRelative,
                                  const UserEnvironment& env) {
    ProgramLayout layout;
    layout.programDirectory = WithSeparator(exeDir);
    if (sharedRelative.empty())
        return layout;
    std::error_code ec;
    const fs::path shipped = fs::path(layout.programDirectory) / sharedRelative;
    if (!fs::is_directory(shipped, ec))
        return layout;
    layout.shippedDataDirectory = WithSeparator(shipped.lexically_normal().string());
    const std::string user = UserDataDirectory(env);
    layout.programDirectory = user.empty() ? layout.shippedDataDirectory : user;
    return layout;
}

bool SeedUserDataDirectory(const std::string& shippedDir, const std::string& userDir,
                           std::string* why) {
    std::error_code ec;
    fs::create_directories(userDir, ec);
    if (ec || !fs::is_directory(userDir, ec)) {
        if (why)
            *why = ec ? ec.message() : "not a folder";
        return false;
    }
    for (fs::directory_iterator it(shippedDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsConstructFile(*it))
            CopyIfMissing(it->path(), fs::path(userDir) / it->path().filename());
    }
    return true;
}

} // namespace vireo
