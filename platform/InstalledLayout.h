// Where the program keeps its construct files and downloads when it runs from an installed
// prefix rather than from the folder it was built in.
#pragma once

#include <string>

namespace vireo {

// The parts of the environment that locate a user's data folder.
struct UserEnvironment {
    std::string xdgDataHome; // $XDG_DATA_HOME; used only when it is an absolute path
    std::string home;        // $HOME (or the password database's home folder)
};

struct ProgramLayout {
    // The program directory, with a trailing '/'.
    std::string programDirectory;
    // The installed, read-only data folder with a trailing '/'; empty for a build-tree run.
    std::string shippedDataDirectory;
};

// Decides the program directory from the executable's folder (trailing '/'). When
// exeDir + sharedRelative (for example "../share/vireo-manager") is a folder, the program runs
// installed: its program directory is the user's data folder, $XDG_DATA_HOME/vireo-manager or
// ~/.local/share/vireo-manager, since the executable's folder is not the user's to write.
// Without a home, the shipped folder itself is used. Otherwise the executable's folder is.
ProgramLayout ChooseProgramLayout(const std::string& exeDir, const std::string& sharedRelative,
                                  const UserEnvironment& env);

// Creates userDir (and its parents) and copies into it every construct file (*.vmcon) of
// shippedDir that it does not hold yet; a file already there is never replaced. Returns false
// with the reason in *why when userDir cannot be created. A file that cannot be copied is
// skipped: the others are still useful.
bool SeedUserDataDirectory(const std::string& shippedDir, const std::string& userDir,
                           std::string* why);

} // namespace vireo
