// Exit codes of the vireo command-line tool. Scripts rely on them; README.md lists them.
#pragma once

namespace vireo::cli {

enum ExitCode : int {
    kExitOk = 0,       // the operation succeeded
    kExitFailure = 1,  // the operation failed (invalid file, model mismatch, ...)
    kExitUsage = 2,    // the command line is wrong
    kExitPortOpen = 3, // the port cannot be opened
    kExitNoAnswer = 4, // the module's application does not answer
    kExitTransfer = 5, // the firmware transfer failed
    kExitVerify = 6,   // the module did not come back as expected after an update
    kExitServer = 7,   // the update server cannot be reached or gives no index
    kExitRefused = 8,  // the module answered a command with an error (a value it does not take)
    // The port cannot be opened, by cause (kExitPortOpen for any other cause).
    kExitNoSuchDevice = 10,     // no such device: unplugged, or a wrong port name
    kExitPermissionDenied = 11, // the user may not use the device
    kExitPortBusy = 12,         // another program holds the device
    kExitNotSerial = 13,        // the port leads to a device that is no serial line
    kExitInterrupted = 130,     // stopped by Ctrl-C
};

// What a code means, in the words of README.md's table: "the module does not answer", ...
const char* ExitCodeMeaning(int code);

} // namespace vireo::cli
