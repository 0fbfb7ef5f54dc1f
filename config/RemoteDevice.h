// Switching the Configuration page to a remote device: the three identification queries that
// go to the address the user gave, wrapped by hand as "at+rc=" + address + "," + command
// through the local query (10 seconds each), and the construct file the remote device needs.
// All later traffic uses the EUI address the remote device reported, not the typed one.
#pragma once

#include <string>
#include <string_view>

class CDeviceLink;

struct RemoteIdentity {
    bool responded = false; // false: the product name query came back "ERROR"
    std::string productName;
    std::string euiAddress; // the reply to "AT+LONGADDR", whatever it was
    std::string firmwareVersion;
};

constexpr int kRemoteIdentifyTimeoutSeconds = 10;

// True when address can be put into the wrapper: not empty, and without a comma or a control
// character, which would end the address early or start another command.
bool IsUsableRemoteAddress(std::string_view address);

// The identification text sent for command: "at+rc=" + address + "," + command.
std::string RemoteIdentifyCommand(const std::string& address, const std::string& command);

// Asks the device at address for its product name, then (only when that answered) its EUI
// address and firmware version.
RemoteIdentity IdentifyRemoteDevice(CDeviceLink& link, const std::string& address);
