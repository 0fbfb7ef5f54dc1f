// What the verbs print on standard output, as text for people or as JSON for programs.
// Texts from the module go to the text form as they are; the JSON form escapes them.
#pragma once

#include "platform/PortMap.h"
#include "scan/ScanReply.h"

#include <string>
#include <vector>

namespace vireo::cli {

struct ModuleIdentity {
    std::string port; // "COM<n>"
    std::string productName;
    std::string firmwareVersion;
    std::string euiAddress;
    std::string nodeName;
    bool sleepy = false;
};

// One "Label: value" line each, ending with a line break.
std::string IdentityText(const ModuleIdentity& identity);
std::string IdentityJson(const ModuleIdentity& identity);

// "COM3  /dev/ttyUSB0", one line each.
std::string PortsText(const std::vector<PortEntry>& ports);
std::string PortsJson(const std::vector<PortEntry>& ports);

// One line per node, fields separated by tabs: number, type, address, version, model, name.
std::string ScanText(const std::vector<ScanNode>& nodes);
std::string ScanJson(const std::vector<ScanNode>& nodes);

} // namespace vireo::cli
