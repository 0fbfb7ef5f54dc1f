// What the owner of a transfer shows when it did not complete: a status line text and a
// message box, in the order the kind of failure asks for.
#pragma once

#include "firmware/FirmwareTransfer.h"

#include <functional>
#include <string>

// Empty texts show nothing: no message box, or no change of the status line.
struct TransferFailureTexts {
    std::string status;
    std::string message;
};
TransferFailureTexts FailureTexts(TransferVariant variant, TransferResult result);

// Shows the texts of a failed transfer: the message box first for a file that cannot be
// used, after the status otherwise. showStatus sets the owner's status line.
void ReportTransferFailure(TransferVariant variant, TransferResult result,
                           const std::function<void(const std::string&)>& showStatus);
