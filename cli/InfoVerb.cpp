#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Verbs.h"

#include <cstdio>

namespace vireo::cli {

int RunInfo(const CliOptions& options) {
    CManagerCore manager;
    PrepareManager(manager);
    if (const int rc = ConnectModule(manager, options, 9600); rc != kExitOk)
        return rc;
    ModuleIdentity identity;
    identity.port = manager.m_strPortName;
    identity.productName = manager.m_strProductName;
    identity.firmwareVersion = manager.m_strFirmwareVersion;
    identity.euiAddress = manager.m_strEuiAddress;
    identity.nodeName = manager.m_strNodeName;
    identity.sleepy = manager.m_bSleepyDevice == 1;
    DisconnectModule(manager);
    const std::string text = options.json ? IdentityJson(identity) : IdentityText(identity);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

} // namespace vireo::cli
