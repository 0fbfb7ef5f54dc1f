// Connecting to the module as the window's Open button does, for the verbs that talk to a
// module that runs its application (info, flash), and the errors the console adds to the
// core's messages.
#pragma once

#include "app/ManagerCore.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleUi.h"
#include "cli/Output.h"

#include <string>

namespace vireo::cli {

// Prints "ERROR: ..." texts and other failures on standard error, as the core's messages are
// (on one of several ports: on the port's lines, see PortConsole.h).
void PrintError(const std::string& text);

// A manager whose waits end early on Ctrl-C.
void PrepareManager(CManagerCore& manager);

// Runs the connect sequence on the port and line settings of options (baudRate when it is
// not 0, else the verb's default given). kExitOk when connected; otherwise the core has
// shown its message and the result is the exit code, after a hint of the console's own.
// With --wait-port the sequence is repeated until the module answers (see WaitPort.h).
int ConnectModule(CManagerCore& manager, const CliOptions& options, int defaultBaudRate);

// The two halves of one attempt: the connect sequence, and the exit code of its outcome
// (with the console's hints and --json result).
void StartConnect(CManagerCore& manager, const CliOptions& options, int defaultBaudRate);
int ConnectOutcome(CManagerCore& manager, const CliOptions& options);

// The connected module as info shows it.
ModuleIdentity IdentityOf(const CManagerCore& manager);

// Leaves the module with echo on and closes the port, as closing the window does.
void DisconnectModule(CManagerCore& manager);

} // namespace vireo::cli
