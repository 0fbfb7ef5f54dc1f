#include "cli/Transfer.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/PortConsole.h"
#include "firmware/PortTransferLine.h"
#include "firmware/TransferReport.h"
#include "firmware/XmodemCrc.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace vireo::cli {

TransferOutcome RunConsoleTransfer(CSerialPort& port, TransferVariant variant,
                                   const std::string& file, const std::string& reply) {
    CrcTable table;
    BuildCrcTable(table);
    TransferSettings settings;
    settings.variant = variant;
    settings.filePath = file;
    settings.crcTable = &table;
    settings.reply = reply;
    CPortTransferLine line(port);
    const std::unique_ptr<CConsoleProgressView> view = NewProgressView();
    const CStopOnInterrupt stopOnInterrupt(line);
    return CFirmwareTransfer(line, *view).Run(settings);
}

void WaitForOutputToLeave(int baudRate) {
    constexpr int kBitsPerByte = 10;
    constexpr int kMarginMs = 100;
    const int bytes = CFirmwareTransfer::kBlockSize + 3;
    const int ms = bytes * kBitsPerByte * 1000 / (baudRate > 0 ? baudRate : 1200) + kMarginMs;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int ReportTransferFailure(TransferVariant variant, TransferResult result) {
    if (result == TransferResult::Stopped && Interrupted()) {
        PrintError("Interrupted: the firmware transfer was stopped.");
        return kExitInterrupted;
    }
    const TransferFailureTexts texts = FailureTexts(variant, result);
    if (!texts.status.empty())
        PrintError(texts.status);
    if (!texts.message.empty())
        PrintError(texts.message);
    return result == TransferResult::FileError ? kExitFailure : kExitTransfer;
}

} // namespace vireo::cli
