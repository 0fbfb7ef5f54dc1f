// vireo flash --remote: updates modules of the radio network through the local one, one after
// another, from an image file or by cloning the local firmware. Each device gets its own
// lines on standard error; the exit code is 0 only when every device succeeded.
#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/ProgressView.h"
#include "cli/Transfer.h"
#include "cli/Verbs.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/CloneMonitor.h"
#include "firmware/FirmwareModel.h"
#include "firmware/PortTransferLine.h"
#include "firmware/RemoteBatch.h"
#include "firmware/TransferReport.h"

#include <cstdio>

namespace vireo::cli {

namespace {

constexpr int kRemoteBaudRate = 115200;

// The clone monitor's growing "Cloning...." would give a line per second on a log: the
// console shows the first status and the seconds on the bar.
class CCloneProgressView final : public ITransferView {
public:
    explicit CCloneProgressView(CConsoleProgressView& view) : m_view(view) {}
    void SetStatus(const std::string& text) override {
        if (!m_shown)
            m_view.SetStatus(text);
        m_shown = true;
    }
    void SetProgress(int percent) override { m_view.SetProgress(percent); }

private:
    CConsoleProgressView& m_view;
    bool m_shown = false;
};

// What a failed device showed; empty for success.
std::string CloneDevice(CManagerCore& manager) {
    CPortTransferLine line(manager.m_serial);
    CConsoleProgressView console(stderr, IsTerminal(stderr));
    CCloneProgressView view(console);
    const CStopOnInterrupt stopOnInterrupt(line);
    const CloneOutcome outcome = CCloneMonitor(line, view).Run();
    console.Finish();
    return outcome.result == CloneResult::Completed ? "" : kRemoteEntryFailedStatus;
}

std::string SendImage(CManagerCore& manager, const std::string& file) {
    const TransferOutcome outcome =
        RunConsoleTransfer(manager.m_serial, TransferVariant::Remote, file, manager.m_strReply);
    if (outcome.result == TransferResult::Completed)
        return "";
    const std::string status = FailureTexts(TransferVariant::Remote, outcome.result).status;
    return status.empty() ? "Transmit error." : status;
}

// One device of the batch, run to its end; false when its bootloader entry failed.
bool RunDevice(CManagerCore& manager, CRemoteBatch& batch, const CliOptions& options,
               const CRemoteBatch::Device& device) {
    PrintError("Device " + device.address + " (" + std::to_string(batch.StartedCount()) + " of " +
               std::to_string(batch.SelectedCount()) + "):");
    if (!EnterRemoteBootloader(manager, options.clone, device.address)) {
        if (!Interrupted())
            PrintError("ERROR: The remote device does not respond.");
        return false;
    }
    const std::string failure =
        options.clone ? CloneDevice(manager) : SendImage(manager, options.file);
    batch.DeviceEnded(failure.empty(), failure);
    PrintError(device.address + ": " + (failure.empty() ? "updated." : failure));
    return true;
}

// Every device must be of the image's model (of the local module's, for a clone) before any
// is touched.
bool CheckDevices(CManagerCore& manager, const CliOptions& options, const std::string& model) {
    for (const std::string& address : options.remotes) {
        const std::string product = manager.QueryRemoteCommand("at+productname\r\n", 5, address);
        if (options.clone && product != manager.m_strProductName) {
            PrintError("ERROR: Could not clone the firmware. The remote device(" + address +
                       ") has different model type.");
            return false;
        }
        if (!options.clone && product != model && !options.force) {
            PrintError("ERROR: The firmware file is incorrect for the remote device(" + address +
                       ").");
            return false;
        }
    }
    return true;
}

int RunBatch(CManagerCore& manager, const CliOptions& options) {
    CRemoteBatch batch;
    std::vector<CRemoteBatch::Device> devices;
    for (size_t i = 0; i < options.remotes.size(); ++i)
        devices.push_back({static_cast<int>(i), options.remotes[i]});
    batch.Begin(std::move(devices));
    // Each start runs its device to the end, so one pass goes through the whole batch.
    batch.Tick(options.clone, [&](const CRemoteBatch::Device& device, bool) {
        if (Interrupted())
            return false;
        return RunDevice(manager, batch, options, device);
    });
    if (Interrupted()) {
        DisconnectModule(manager);
        PrintError("Interrupted.");
        return kExitInterrupted;
    }
    // The last line says whether all went well, and names the devices that failed.
    PrintError(batch.Summary());
    DisconnectModule(manager);
    return batch.FailedAddresses().empty() ? kExitOk : kExitTransfer;
}

} // namespace

int RunRemoteFlash(const CliOptions& options) {
    const int baudRate = options.baudRate ? options.baudRate : kRemoteBaudRate;
    if (baudRate != kRemoteBaudRate) {
        PrintError("ERROR: Please change the baudrate to 115200.");
        return kExitUsage;
    }
    std::string model;
    if (!options.clone && DetectFirmwareModel(options.file, model) == 0) {
        PrintError("ERROR: The firmware file is invalid.");
        return kExitFailure;
    }
    CManagerCore manager;
    PrepareManager(manager);
    if (const int rc = ConnectModule(manager, options, kRemoteBaudRate); rc != kExitOk)
        return rc;
    if (manager.m_bSleepyDevice == 1) {
        PrintError("ERROR: Local device is a sleepy end device.");
        DisconnectModule(manager);
        return kExitFailure;
    }
    if (!CheckDevices(manager, options, model)) {
        DisconnectModule(manager);
        return kExitFailure;
    }
    return RunBatch(manager, options);
}

} // namespace vireo::cli
