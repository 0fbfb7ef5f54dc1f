// --log FILE: a transcript of the serial traffic of the whole command.
#pragma once

#include "cli/CommandLine.h"

#include <functional>

namespace vireo::cli {

// Runs run with the transcript of options.logFile recording every port, and returns its exit
// code. A file that cannot be created is a usage error, said before anything is done; a file
// that fills up meanwhile costs the transcript, not the command (a warning at the end).
int RunWithTranscript(const CliOptions& options, const std::function<int()>& run);

} // namespace vireo::cli
