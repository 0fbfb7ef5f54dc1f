#include "firmware/RemoteBatch.h"

const char* const kRemoteEntryFailedStatus = "Could not update remote device firmware.";

void CRemoteBatch::Begin(std::vector<Device> devices) {
    m_devices = std::move(devices);
    m_pending.assign(m_devices.size(), true);
    m_current = {};
    m_currentClone = false;
    m_deviceRunning = false;
    m_started = 0;
    m_failed.clear();
    m_lastFailureStatus.clear();
}

int CRemoteBatch::Tick(bool clone, const StartDevice& start) {
    int next = 0;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (!m_pending[i])
            continue;
        // One device at a time, whatever its kind: the line carries one exchange only.
        if (m_deviceRunning)
            return m_nextTickMs;
        m_pending[i] = false;
        m_current = m_devices[i];
        m_currentClone = clone;
        m_deviceRunning = true;
        ++m_started;
        if (!start(m_current, clone)) {
            m_deviceRunning = false;
            m_failed.push_back(m_current.address);
            m_lastFailureStatus = kRemoteEntryFailedStatus;
        }
        if (m_started < SelectedCount())
            next = m_nextTickMs;
    }
    // Devices that ran to their end within the tick leave nothing for a further one.
    return m_started >= SelectedCount() ? 0 : next;
}

std::string CRemoteBatch::DeviceEnded(bool ok, const std::string& failureStatus) {
    m_deviceRunning = false;
    if (!ok) {
        m_failed.push_back(m_current.address);
        m_lastFailureStatus = failureStatus;
    }
    if (Finished())
        return Summary();
    if (!ok)
        return failureStatus;
    return m_currentClone ? "The remote firmware update is completed successfully. Please wait."
                          : "Remote firmware update is completed successfully. Please wait.";
}

void CRemoteBatch::Abandon() {
    m_pending.assign(m_devices.size(), false);
    m_started = SelectedCount();
    m_deviceRunning = false;
}

std::string CRemoteBatch::Summary() const {
    if (m_failed.empty()) {
        if (!m_currentClone)
            return "All remote firmware updates are completed successfully.";
        return SelectedCount() == 1 ? "The remote firmware update is completed successfully."
                                    : "All firmware updates are completed successfully.";
    }
    if (SelectedCount() == 1)
        return m_lastFailureStatus;
    std::string text = "Could not update remote device firmware: ";
    for (size_t i = 0; i < m_failed.size(); ++i)
        text += (i ? ", " : "") + m_failed[i];
    return text + ".";
}
