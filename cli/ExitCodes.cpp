#include "cli/ExitCodes.h"

namespace vireo::cli {

const char* ExitCodeMeaning(int code) {
    switch (code) {
    case kExitOk: return "success";
    case kExitFailure: return "the operation failed";
    case kExitUsage: return "usage error";
    case kExitPortOpen: return "the port cannot be opened";
    case kExitNoAnswer: return "the module does not answer";
    case kExitTransfer: return "the firmware transfer failed";
    case kExitVerify: return "verification failed";
    case kExitServer: return "the update server cannot be reached";
    case kExitRefused: return "the module refused a command";
    case kExitNoSuchDevice: return "the port cannot be opened: no such device";
    case kExitPermissionDenied: return "the port cannot be opened: permission denied";
    case kExitPortBusy: return "the port cannot be opened: busy";
    case kExitNotSerial: return "the port cannot be opened: not a serial device";
    case kExitInterrupted: return "interrupted";
    default: return "unknown";
    }
}

} // namespace vireo::cli
