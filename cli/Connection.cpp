#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "platform/PortMap.h"

#include <cstdio>

namespace vireo::cli {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void PrepareManager(CManagerCore& manager) {
    manager.m_sleep = InterruptibleSleep;
}

int ConnectModule(CManagerCore& manager, const CliOptions& options, int defaultBaudRate) {
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
    if (manager.m_connectResult == ConnectResult::PortNotOpened) {
        PrintError(manager.m_serial.LastError());
        return kExitPortOpen;
    }
    if (manager.m_connectResult == ConnectResult::StaysInBootloader) {
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
