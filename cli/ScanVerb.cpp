#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Verbs.h"
#include "scan/ScanReply.h"

#include <cstdio>

namespace vireo::cli {

int RunScan(const CliOptions& options) {
    CManagerCore manager;
    PrepareManager(manager);
    if (const int rc = ConnectModule(manager, options, 9600); rc != kExitOk)
        return rc;
    manager.WakeSleepyDevice();
    const std::string reply = manager.ScanCommand("at+ds\r\n", 15);
    DisconnectModule(manager);
    if (reply == "ERROR") {
        PrintError("ERROR: Could not scan the remote device.");
        return kExitNoAnswer;
    }
    const std::vector<ScanNode> nodes = ParseScanReply(reply);
    const std::string text = options.json ? ScanJson(nodes) : ScanText(nodes);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

} // namespace vireo::cli
