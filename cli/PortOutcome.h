// What a verb run on one of several ports ended with: the verb's fields, the exit code and
// the message that says why.
#pragma once

#include "cli/Output.h"

#include <string>

namespace vireo::cli {

struct PortOutcome {
    std::string port;               // "COM3"
    ModuleIdentity module;          // as connected; firmwareVersion is the one before a flash
    std::string newFirmwareVersion; // flash: what the module reports after the update
    int exitCode = -1;
    std::string message; // the first error, else the last message; "OK" when all went well
    double seconds = 0;
};

} // namespace vireo::cli
