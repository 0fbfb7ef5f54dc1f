// Per-user state the program keeps between runs: for now, where the last traffic transcript
// was written, so that a support report can include it.
//
// The folder is $VIREO_STATE_DIR when set (tests set it), else on POSIX
// $XDG_STATE_HOME/vireo-manager or ~/.local/state/vireo-manager, and on Windows
// %LOCALAPPDATA%\Vireo Manager. It is created on first use.
#pragma once

#include <string>

namespace vireo {

std::string UserStateDirectory();

// Notes path (made absolute) as the last transcript. Failing to note it is not an error.
void RememberLastTranscript(const std::string& path);
// The last transcript noted; empty when none was.
std::string LastTranscriptPath();

} // namespace vireo
