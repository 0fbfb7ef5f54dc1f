#pragma once

#include <string>

namespace vireo {

// Directory of the running executable with a trailing separator ("/" on POSIX, "\" on
// Windows). Construct files and sample data lie here, and downloads are written here.
std::string GetProgramDirectory();

} // namespace vireo
