#include "cli/Output.h"
#include "cli/Json.h"

namespace vireo::cli {

std::string IdentityText(const ModuleIdentity& identity) {
    return "Port:              " + identity.port + "\n" +
           "Product name:      " + identity.productName + "\n" +
           "Firmware version:  " + identity.firmwareVersion + "\n" +
           "EUI address:       " + identity.euiAddress + "\n" +
           "Node name:         " + identity.nodeName + "\n" +
           "Sleepy end device: " + (identity.sleepy ? "yes" : "no") + "\n";
}

std::string IdentityJson(const ModuleIdentity& identity) {
    return CJsonObject()
               .Add("port", identity.port)
               .Add("product_name", identity.productName)
               .Add("firmware_version", identity.firmwareVersion)
               .Add("eui_address", identity.euiAddress)
               .Add("node_name", identity.nodeName)
               .Add("sleepy_end_device", identity.sleepy)
               .Text() +
           "\n";
}

std::string PortsText(const std::vector<PortEntry>& ports) {
    std::string out;
    for (const PortEntry& port : ports)
        out += PortName(port.number) + "  " + port.device + "\n";
    return out;
}

std::string PortsJson(const std::vector<PortEntry>& ports) {
    std::vector<CJsonObject> elements;
    for (const PortEntry& port : ports)
        elements.push_back(
            CJsonObject().Add("name", PortName(port.number)).Add("device", port.device));
    return JsonArray(elements) + "\n";
}

std::string ScanText(const std::vector<ScanNode>& nodes) {
    std::string out;
    for (const ScanNode& n : nodes)
        out += std::to_string(n.index) + "\t" + n.type + "\t" + n.address + "\t" + n.version +
               "\t" + n.model + "\t" + n.name + "\n";
    return out;
}

std::string ScanJson(const std::vector<ScanNode>& nodes) {
    std::vector<CJsonObject> elements;
    for (const ScanNode& n : nodes)
        elements.push_back(CJsonObject()
                               .AddNumber("index", n.index)
                               .Add("type", n.type)
                               .Add("ieee_address", n.address)
                               .Add("version", n.version)
                               .Add("model", n.model)
                               .Add("node_name", n.name));
    return JsonArray(elements) + "\n";
}

} // namespace vireo::cli
