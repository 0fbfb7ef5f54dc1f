// What the command line does when a port cannot be opened: the message (the window's text and
// a line naming the device and the cause), an exit code per cause and, for verbs with --json,
// a result object that carries both.
#pragma once

#include "cli/CommandLine.h"
#include "serial/PortOpenFailure.h"

#include <string>

class CSerialPort;

namespace vireo::cli {

// kExitNoSuchDevice, ... for the named causes; kExitPortOpen for any other.
int PortOpenExitCode(PortOpenCause cause);

// {"port", "exit_code", "cause", "message"} on one line and a line break; the message's two
// lines are joined by "\n".
std::string PortOpenJson(const PortOpenFailure& failure);

// For a failure whose message has been printed already (the connect sequence shows it): the
// JSON result on standard output when options ask for it; returns the exit code.
int FinishPortOpenFailure(const PortOpenFailure& failure, const CliOptions& options);

// Prints the message of port's failed Open on standard error, then as above.
int ReportPortOpenFailure(const CSerialPort& port, const CliOptions& options);

} // namespace vireo::cli
