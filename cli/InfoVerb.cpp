#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/PortConsole.h"
#include "cli/Verbs.h"

namespace vireo::cli {

int RunInfo(const CliOptions& options) {
    CManagerCore manager;
    PrepareManager(manager);
    if (const int rc = ConnectModule(manager, options, 9600); rc != kExitOk)
        return rc;
    const ModuleIdentity identity = IdentityOf(manager);
    DisconnectModule(manager);
    PrintResult(options.json ? IdentityJson(identity) : IdentityText(identity));
    return kExitOk;
}

} // namespace vireo::cli
