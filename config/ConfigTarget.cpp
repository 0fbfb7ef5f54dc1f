#include "config/ConfigTarget.h"
#include "app/ManagerCore.h"

std::string CConfigTarget::Read(const std::string& command) const {
    if (m_remote)
        return m_manager.QueryRemoteCommand(command, kRemoteTimeoutSeconds, m_strRemoteEui);
    return m_manager.QueryCommand(command, kLocalReadTimeoutSeconds);
}

int CConfigTarget::Write(const std::string& command, int localTimeoutSeconds) const {
    if (m_remote)
        return m_manager.SendRemoteCommand(command, kRemoteTimeoutSeconds, m_strRemoteEui);
    return m_manager.SendCommand(command, localTimeoutSeconds);
}
