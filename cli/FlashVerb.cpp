#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/PortConsole.h"
#include "cli/Transfer.h"
#include "cli/Verbs.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/FirmwareModel.h"

namespace vireo::cli {

namespace {

constexpr int kFlashBaudRate = 115200;
constexpr int kNoFlowControl = 10;

// After a transfer that did not complete the module sits in its bootloader: anything more
// sent to it could be taken as a menu choice, so the port is closed without a word, once
// what the transfer sent last (a cancel) has left.
void AbandonModule(CManagerCore& manager) {
    WaitForOutputToLeave(manager.m_nBaudRate);
    manager.m_serial.Close();
    manager.m_bPortOpen = 0;
}

// The module identified after the update: its version must be a real answer, and the one
// asked for when there is one.
int VerifyNewVersion(const CManagerCore& manager, const CliOptions& options,
                     const std::string& oldVersion) {
    const std::string& version = manager.m_strFirmwareVersion;
    PrintResult("Old firmware version: " + oldVersion + "\nNew firmware version: " + version +
                "\n");
    NoteNewFirmwareVersion(version);
    if (version.empty() || version == "ERROR") {
        PrintError("ERROR: The module did not report its firmware version after the update.");
        return kExitVerify;
    }
    if (!options.expectVersion.empty() && version != options.expectVersion) {
        PrintError("ERROR: The module reports firmware version " + version + ", not " +
                   options.expectVersion + ".");
        return kExitVerify;
    }
    PrintError("Completed successfully.");
    return kExitOk;
}

int Interruption(CManagerCore& manager) {
    DisconnectModule(manager);
    PrintError("Interrupted.");
    return kExitInterrupted;
}

// The transfer into the module's bootloader and the identification afterwards.
int TransferAndVerify(CManagerCore& manager, const CliOptions& options) {
    const std::string oldVersion = manager.m_strFirmwareVersion;
    const TransferOutcome outcome = RunConsoleTransfer(manager.m_serial, TransferVariant::Local,
                                                       options.file, manager.m_strReply);
    if (outcome.result != TransferResult::Completed) {
        AbandonModule(manager);
        const int rc = ReportTransferFailure(TransferVariant::Local, outcome.result);
        PrintError("The module may be left in its bootloader; reload its firmware with:\n  "
                   "vireo recover --port " +
                   manager.m_strPortName + " FILE.ebl");
        return rc;
    }
    manager.RefreshAfterFirmwareUpdate();
    if (Interrupted())
        return Interruption(manager);
    const int rc = VerifyNewVersion(manager, options, oldVersion);
    DisconnectModule(manager);
    return rc;
}

// The connected module: model check, bootloader entry, transfer.
int FlashConnected(CManagerCore& manager, const CliOptions& options, const std::string& model) {
    if (!model.empty() && model != manager.m_strProductName && !options.force) {
        PrintError("ERROR: The firmware file is made for " + model + ", but the module on " +
                   manager.m_strPortName + " is a " + manager.m_strProductName +
                   ". Nothing was written; use --force to flash it anyway.");
        DisconnectModule(manager);
        return kExitFailure;
    }
    if (!EnterLocalBootloader(manager, false)) {
        if (Interrupted())
            return Interruption(manager);
        PrintError("ERROR: The device does not respond.");
        DisconnectModule(manager);
        return kExitNoAnswer;
    }
    return TransferAndVerify(manager, options);
}

} // namespace

int RunFlash(const CliOptions& options) {
    if (!options.remotes.empty())
        return RunRemoteFlash(options);
    const int baudRate = options.baudRate ? options.baudRate : kFlashBaudRate;
    if (baudRate != kFlashBaudRate || options.flowControl != kNoFlowControl) {
        PrintError("ERROR: Please change the baudrate to 115200 and flow control to 'none'.");
        return kExitUsage;
    }
    std::string model;
    if (DetectFirmwareModel(options.file, model) == 0) {
        PrintError("ERROR: The firmware file is invalid.");
        return kExitFailure;
    }
    CManagerCore manager;
    PrepareManager(manager);
    if (const int rc = ConnectModule(manager, options, kFlashBaudRate); rc != kExitOk)
        return rc;
    return FlashConnected(manager, options, model);
}

} // namespace vireo::cli
