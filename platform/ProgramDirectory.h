#pragma once

#include <string>

namespace vireo {

// The program directory, with a trailing separator ("/" on POSIX, "\" on Windows). Construct
// files lie here, and the web update writes its downloads here.
//
// Run from the build tree (and always on Windows) it is the executable's folder. Run from an
// installed prefix (see InstalledLayout.h) it is the user's data folder, created on the first
// call and given the shipped construct files it lacks. Decided once per process.
std::string GetProgramDirectory();

} // namespace vireo
