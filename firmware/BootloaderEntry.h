// Bringing the local module into its bootloader's receiver before an image transfer. Both
// run on the caller's thread (the GUI thread, or the command line's) and block it for their
// sleeps, with the wait cursor shown by the caller.
#pragma once

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
