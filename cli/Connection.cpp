#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "platform/PortMap.h"

#include <cstdio>

namespace vireo::cli {

namespace {

const char kDamagedQuestion[] = "The local device's firmware was demaged. Do you want to reload?";
const char kOpenFailed[] = "ERROR: Could not open serial port.";

} // namespace

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void PrepareManager(CManagerCore& manager) {
    manager.m_sleep = InterruptibleSleep;
}

int ConnectModule(CManagerCore& manager, const CliOptions& options, int defaultBaudRate,
                  const CConsoleUi& ui) {
    manager.m_strPortName = PortName(options.port);
    manager.m_nBaudRate = options.baudRate ? options.baudRate : defaultBaudRate;
    manager.m_nFlowControl = options.flowControl;
    manager.OnOpen();
    if (Interrupted()) {
        DisconnectModule(manager);
        PrintError("Interrupted.");
        return kExitInterrupted;
    }
    if (manager.m_bPortOpen == 1)
        return kExitOk;
    if (ui.WasShown(kOpenFailed)) {
        PrintError(manager.m_serial.LastError());
        return kExitPortOpen;
    }
    if (ui.WasShown(kDamagedQuestion)) {
        PrintError("The module on " + manager.m_strPortName +
                   " waits in its bootloader. Reload its firmware with:\n  vireo recover --port " +
                   manager.m_strPortName + " FILE.ebl");
    }
    return kExitNoAnswer;
}

void DisconnectModule(CManagerCore& manager) {
    manager.ShutdownLink();
}

} // namespace vireo::cli
