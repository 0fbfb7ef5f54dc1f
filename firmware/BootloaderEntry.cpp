#include "firmware/BootloaderEntry.h"
#include "app/ManagerCore.h"

bool EnterLocalBootloader(CManagerCore& manager, bool clone) {
    if (!clone) {
        manager.m_serial.Write("\n");
        manager.Sleep(100);
    }
    manager.Sleep(2000);
    manager.WakeSleepyDevice();
    if (manager.QueryCommand("AT+BOOTLOAD\n", 2) != "ENTER")
        return false;
    manager.Sleep(1000);
    manager.m_serial.Write("\n");
    manager.Sleep(2000);
    manager.m_serial.Write("1");
    manager.Sleep(2000);
    return true;
}

bool EnterRecoveryUpload(CDeviceLink& link) {
    link.m_strReply.clear();
    link.m_serial.m_rxRing.Clear();
    link.m_serial.Write("\n");
    for (int pass = 1;; ++pass) {
        link.TakeArrived();
        if (link.m_strReply.find("BL") != std::string::npos)
            break;
        if (pass == 100)
            return false;
        link.Sleep(100);
    }
    link.Sleep(2000);
    link.m_serial.Write("1\n");
    link.Sleep(2000);
    return true;
}

std::string RemoteBootloadCommand(bool clone, const std::string& address) {
    return std::string(clone ? "AT+BOOTLOAD=2," : "AT+BOOTLOAD=1,") + address + "\r\n";
}

bool EnterRemoteBootloader(CManagerCore& manager, bool clone, const std::string& address) {
    if (!clone) {
        manager.m_serial.Write("\n");
        manager.Sleep(100);
    }
    manager.Sleep(2000);
    // The remote module may still be restarting after an earlier command to it.
    manager.Sleep(5000);
    if (manager.QueryCommand(RemoteBootloadCommand(clone, address), 20) != "START")
        return false;
    if (!clone)
        manager.Sleep(2000);
    return true;
}
