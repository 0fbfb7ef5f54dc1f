// --wait-port SECONDS: a production bench plugs in the next module and the command starts by
// itself. The verb waits until its port appears and the module answers (term and recover:
// until the port opens), saying once on standard error what it waits for, and polls every
// kWaitPollMs meanwhile. A port that appears and goes again keeps the wait going; Ctrl-C ends
// it at once. When the time is up, the last attempt's failure is reported as without the
// option, with its exit code.
#pragma once

#include "cli/CommandLine.h"

#include <string>

class CManagerCore;
class CSerialPort;

namespace vireo::cli {

constexpr int kMaxWaitPortSeconds = 86400; // a day
constexpr int kWaitPollMs = 300;

// Reads the option's value, whole seconds 0..kMaxWaitPortSeconds; "" when usable, else the
// usage error.
std::string ParseWaitPortSeconds(const std::string& value, int& seconds);

// The connect sequence, repeated until the module answers, it turns out to wait in its
// bootloader, or the time is up. Messages of attempts that are tried again are not shown.
int ConnectWhenReady(CManagerCore& manager, const CliOptions& options, int defaultBaudRate);

// Opens the port for a verb that talks to the line itself, waiting when options ask. kExitOk,
// or the failure printed and its exit code.
int OpenVerbPort(CSerialPort& port, const CliOptions& options, int baudRate, int flowControl);

} // namespace vireo::cli
