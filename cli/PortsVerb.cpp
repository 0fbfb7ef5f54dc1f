#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Verbs.h"
#include "platform/PortMap.h"

#include <cstdio>

namespace vireo::cli {

int RunPorts(const CliOptions& options) {
    const std::vector<PortEntry> ports = ListPorts();
    const std::string text = options.json ? PortsJson(ports) : PortsText(ports);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

} // namespace vireo::cli
