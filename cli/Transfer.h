// One firmware transfer from the console: the CRC table, the transfer on the port's line,
// run on the calling thread with the progress on standard error, Ctrl-C turned into a stop
// request; and what the console says and returns when it did not complete.
#pragma once

#include "firmware/FirmwareTransfer.h"

#include <string>

class CSerialPort;

namespace vireo::cli {

// reply: what the last exchange with the module left in the link's reply text.
TransferOutcome RunConsoleTransfer(CSerialPort& port, TransferVariant variant,
                                   const std::string& file, const std::string& reply);

// Closing the port discards what is still queued for sending: after a transfer, wait until
// its last writes (at most a block and the three cancel bytes, or the final "2") have left
// at the line rate, so that they reach the module. Not cut short by Ctrl-C.
void WaitForOutputToLeave(int baudRate);

// Prints the failure texts of a transfer that did not complete and gives the exit code.
int ReportTransferFailure(TransferVariant variant, TransferResult result);

} // namespace vireo::cli
