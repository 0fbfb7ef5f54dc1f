// One verb on one of several ports, on the calling thread: the port's console and message
// services are installed on the thread for the run, and the time taken is measured.
#pragma once

#include "cli/CommandLine.h"
#include "cli/PortOutcome.h"
#include "cli/ProgressBoard.h"

namespace vireo::cli {

using VerbFunction = int (*)(const CliOptions& options);

// Runs verb on options.port; index: the port's line on the board.
PortOutcome RunOnPort(VerbFunction verb, const CliOptions& options, CProgressBoard& board,
                      size_t index);

} // namespace vireo::cli
