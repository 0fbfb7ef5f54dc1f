// What a command on several ports prints at the end: a table with a row per port, or one
// JSON object per port and line; and the exit code of the whole run.
#pragma once

#include "cli/CommandLine.h"
#include "cli/PortOutcome.h"

#include <string>
#include <vector>

namespace vireo::cli {

// 0 when every port succeeded; otherwise the code the failed ports share, or 1 (kExitFailure)
// when their codes differ.
int CombinedExitCode(const std::vector<int>& codes);

// Columns: port, module, version (flash: old and new version), result, time, and for a port
// that failed the message that says why. Columns are padded to their widest entry.
std::string SummaryTable(Verb verb, const std::vector<PortOutcome>& outcomes);

// One line: the verb's usual members (info: those of a single port), then exit_code,
// message and milliseconds.
std::string OutcomeJson(Verb verb, const PortOutcome& outcome);

} // namespace vireo::cli
