// Bringing a module into its bootloader's receiver before an image transfer (or a clone). All
// run on the caller's thread (the GUI thread, or the command line's) and block it for their
// sleeps, with the wait cursor shown by the caller.
#pragma once

#include <string>

class CManagerCore;
class CDeviceLink;

// A module that runs its application: "AT+BOOTLOAD", then the menu choice "1". clone is true
// when the local firmware is to be cloned (no wake-up line feed then). False when the module
// did not confirm the bootloader command.
bool EnterLocalBootloader(CManagerCore& manager, bool clone);

// A module that sits in its bootloader (damaged firmware): a line feed brings up its prompt
// "BL", then "1\n" chooses the upload. False when no prompt came within 100 looks 100 ms
// apart. The reply text holds what the module said.
bool EnterRecoveryUpload(CDeviceLink& link);

// A module of the network, reached through the local one, which must run its application:
// "AT+BOOTLOAD=1,<address>" has the local module relay an image upload to it, and
// "AT+BOOTLOAD=2,<address>" (clone) has it copy the local firmware to it. True when the local
// module confirmed the start; for an upload its relay then waits for the image.
bool EnterRemoteBootloader(CManagerCore& manager, bool clone, const std::string& address);

// The command that starts an upload to, or a clone of the local firmware to, a remote module.
std::string RemoteBootloadCommand(bool clone, const std::string& address);
