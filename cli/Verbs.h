// The verbs of the vireo tool. Each returns the exit code (ExitCodes.h) and prints its result
// on standard output, its errors and progress on standard error.
#pragma once

#include "cli/CommandLine.h"
#include "cli/ConsoleUi.h"
#include "cli/PortRun.h"

namespace vireo::cli {

int RunPorts(const CliOptions& options);
int RunInfo(const CliOptions& options);
int RunFlash(const CliOptions& options);
// flash --remote: the modules of the network, one after another.
int RunRemoteFlash(const CliOptions& options);
int RunRecover(const CliOptions& options);
int RunScan(const CliOptions& options);
int RunTerm(const CliOptions& options);
int RunUpdate(const CliOptions& options);
int RunGet(const CliOptions& options);
int RunSet(const CliOptions& options);
int RunExport(const CliOptions& options);
int RunImport(const CliOptions& options);
// The support bundle: platform, ports, line settings, module, construct file, transcripts.
int RunReport(const CliOptions& options);

// The verb on every port of options.ports at once (see MultiPortRun.cpp); the exit code as
// CombinedExitCode gives it.
int RunOnPorts(const CliOptions& options, VerbFunction verb);

// Parses the command line and runs the verb: the whole tool.
int RunCommandLine(int argc, char* argv[]);

} // namespace vireo::cli
