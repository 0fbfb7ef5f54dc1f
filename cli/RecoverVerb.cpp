#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Transfer.h"
#include "cli/Verbs.h"
#include "cli/WaitPort.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/FirmwareModel.h"
#include "platform/PortMap.h"
#include "serial/DeviceLink.h"

namespace vireo::cli {

namespace {

constexpr int kBootloaderBaudRate = 115200;

// The prompt, the upload choice and the transfer on an opened link.
int RecoverOnOpenLink(CDeviceLink& link, const CliOptions& options) {
    if (!EnterRecoveryUpload(link)) {
        if (Interrupted()) {
            PrintError("Interrupted.");
            return kExitInterrupted;
        }
        PrintError("ERROR: The device does not respond.");
        return kExitNoAnswer;
    }
    const TransferOutcome outcome =
        RunConsoleTransfer(link.m_serial, TransferVariant::Recovery, options.file, link.m_strReply);
    if (outcome.result != TransferResult::Completed)
        return ReportTransferFailure(TransferVariant::Recovery, outcome.result);
    PrintError("Firmware update is completed successfully.");
    return kExitOk;
}

} // namespace

int RunRecover(const CliOptions& options) {
    std::string model;
    if (DetectFirmwareModel(options.file, model) == 0) {
        PrintError("ERROR: The firmware file is invalid.");
        return kExitFailure;
    }
    CDeviceLink link;
    link.m_sleep = InterruptibleSleep;
    const int baudRate = options.baudRate ? options.baudRate : kBootloaderBaudRate;
    if (const int rc = OpenVerbPort(link.m_serial, options, baudRate, 10); rc != kExitOk)
        return rc;
    link.m_bPortOpen = 1;
    const int rc = RecoverOnOpenLink(link, options);
    WaitForOutputToLeave(baudRate); // the "2" that starts the new firmware, or a cancel
    link.m_serial.Close();
    link.m_bPortOpen = 0;
    return rc;
}

} // namespace vireo::cli
