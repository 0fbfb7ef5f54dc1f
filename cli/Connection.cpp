#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/PortConsole.h"
#include "cli/PortOpenReport.h"
#include "cli/WaitPort.h"
#include "platform/PortMap.h"

#include <cstdio>

namespace vireo::cli {

void PrintError(const std::string& text) {
    if (CPortConsole* console = CurrentPortConsole()) {
        console->Message(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void PrepareManager(CManagerCore& manager) {
    manager.m_sleep = InterruptibleSleep;
}

void StartConnect(CManagerCore& manager, const CliOptions& options, int defaultBaudRate) {
    manager.m_strPortName = PortName(options.port);
    manager.m_nBaudRate = options.baudRate ? options.baudRate : defaultBaudRate;
    manager.m_nFlowControl = options.flowControl;
    manager.OnOpen();
}

int ConnectOutcome(CManagerCore& manager, const CliOptions& options) {
    if (Interrupted()) {
        DisconnectModule(manager);
        PrintError("Interrupted.");
        return kExitInterrupted;
    }
    if (manager.m_bPortOpen == 1) {
        NoteModule(IdentityOf(manager));
        return kExitOk;
    }
    if (manager.m_connectResult == ConnectResult::PortNotOpened)
        return FinishPortOpenFailure(manager.m_serial.OpenFailure(), options);
    if (manager.m_connectResult == ConnectResult::StaysInBootloader) {
        PrintError("The module on " + manager.m_strPortName +
                   " waits in its bootloader. Reload its firmware with:\n  vireo recover --port " +
                   manager.m_strPortName + " FILE.ebl");
    }
    return kExitNoAnswer;
}

int ConnectModule(CManagerCore& manager, const CliOptions& options, int defaultBaudRate) {
    if (options.waitPortSeconds > 0)
        return ConnectWhenReady(manager, options, defaultBaudRate);
    StartConnect(manager, options, defaultBaudRate);
    return ConnectOutcome(manager, options);
}

ModuleIdentity IdentityOf(const CManagerCore& manager) {
    ModuleIdentity identity;
    identity.port = manager.m_strPortName;
    identity.productName = manager.m_strProductName;
    identity.firmwareVersion = manager.m_strFirmwareVersion;
    identity.euiAddress = manager.m_strEuiAddress;
    identity.nodeName = manager.m_strNodeName;
    identity.sleepy = manager.m_bSleepyDevice == 1;
    return identity;
}

void DisconnectModule(CManagerCore& manager) {
    manager.ShutdownLink();
}

} // namespace vireo::cli
