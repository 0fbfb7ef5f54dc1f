#include "firmware/TransferReport.h"
#include "platform/UiServices.h"
#include "serial/DeviceLink.h"

TransferFailureTexts FailureTexts(TransferVariant variant, TransferResult result) {
    const bool recovery = variant == TransferVariant::Recovery;
    switch (result) {
    case TransferResult::Completed: return {};
    case TransferResult::FileError:
        return {"Firmware update error.", "ERROR: Could not open the firmware file."};
    case TransferResult::ReadError:
        return {"Firmware update error.", "ERROR: Could not read the firmware file."};
    case TransferResult::NoStartSignal:
        if (recovery)
            return {"", "ERROR: The device does not repond."};
        return {"Transmit error.", ""};
    case TransferResult::NoBlockAnswer:
    case TransferResult::RetriesExhausted:
    case TransferResult::NoEotAnswer:
    case TransferResult::LineLost:
        return {"Transmit error.", recovery ? "ERROR: Failed to update firmware." : ""};
    case TransferResult::NoCompletion:
        return {"No completion message from the device.",
                "ERROR: The device did not confirm the firmware update."};
    case TransferResult::Rejected:
        return {"The device rejected the firmware image.",
                recovery ? "ERROR: The device rejected the firmware image." : ""};
    case TransferResult::NoRestart:
        return {"The device did not restart after the update.",
                "ERROR: The device did not answer after the firmware update. Please check it "
                "and press Reload."};
    case TransferResult::Stopped: return {"Firmware update stopped.", ""};
    }
    return {};
}

void ReportTransferFailure(TransferVariant variant, TransferResult result,
                           const std::function<void(const std::string&)>& showStatus) {
    const TransferFailureTexts texts = FailureTexts(variant, result);
    const bool fileFault =
        result == TransferResult::FileError || result == TransferResult::ReadError;
    if (fileFault && !texts.message.empty())
        vireo::ShowMessage(texts.message, kAppCaption);
    if (!texts.status.empty())
        showStatus(texts.status);
    if (!fileFault && !texts.message.empty())
        vireo::ShowMessage(texts.message, kAppCaption);
}
