#include "config/RemoteDevice.h"
#include "serial/DeviceLink.h"

bool IsUsableRemoteAddress(std::string_view address) {
    if (address.empty())
        return false;
    for (char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (c == ',' || u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

std::string RemoteIdentifyCommand(const std::string& address, const std::string& command) {
    return "at+rc=" + address + "," + command;
}

RemoteIdentity IdentifyRemoteDevice(CDeviceLink& link, const std::string& address) {
    RemoteIdentity identity;
    const auto query = [&](const char* command) {
        return link.QueryCommand(RemoteIdentifyCommand(address, command),
                                 kRemoteIdentifyTimeoutSeconds);
    };
    const std::string product = query("at+productname\r\n");
    if (product == "ERROR")
        return identity;
    identity.responded = true;
    identity.productName = product;
    identity.euiAddress = query("AT+LONGADDR\r\n");
    identity.firmwareVersion = query("AT+VERSION\r\n");
    return identity;
}
