// Where the Configuration page's reads and writes go: the local device, or a remote device
// reached through it by the EUI address that device reported. Local reads wait 1 second and
// local writes the caller's time-out; every remote transaction waits 15 seconds.
#pragma once

#include <string>

class CManagerCore;

class CConfigTarget {
public:
    static constexpr int kRemoteTimeoutSeconds = 15;
    static constexpr int kLocalReadTimeoutSeconds = 1;

    // The local device.
    explicit CConfigTarget(CManagerCore& manager) : m_manager(manager) {}
    // A remote device by its EUI address.
    CConfigTarget(CManagerCore& manager, std::string remoteEui)
        : m_manager(manager), m_remote(true), m_strRemoteEui(std::move(remoteEui)) {}

    // The value read with command, or "ERROR" (empty when not connected).
    std::string Read(const std::string& command) const;
    // 1 when the command was acknowledged with "OK", 0 otherwise.
    int Write(const std::string& command, int localTimeoutSeconds) const;

    bool IsRemote() const { return m_remote; }
    const std::string& RemoteEui() const { return m_strRemoteEui; }
    CManagerCore& Manager() const { return m_manager; }

private:
    CManagerCore& m_manager;
    bool m_remote = false;
    std::string m_strRemoteEui;
};
