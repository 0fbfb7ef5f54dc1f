// Exit codes of the vireo command-line tool. Scripts rely on them; README.md lists them.
#pragma once

namespace vireo::cli {

enum ExitCode : int {
    kExitOk = 0,            // the operation succeeded
    kExitFailure = 1,       // the operation failed (invalid file, model mismatch, ...)
    kExitUsage = 2,         // the command line is wrong
    kExitPortOpen = 3,      // the port cannot be opened
    kExitNoAnswer = 4,      // the module's application does not answer
    kExitTransfer = 5,      // the firmware transfer failed
    kExitVerify = 6,        // the module did not come back as expected after an update
    kExitServer = 7,        // the update server cannot be reached or gives no index
    kExitInterrupted = 130, // stopped by Ctrl-C
};

} // namespace vireo::cli
