// A batch of remote firmware updates: the ticked devices of the device list, started one after
// another in row order, each either sent the image file or told to clone the local firmware.
// The owner's timer calls Tick; a tick starts the next device unless one still runs, and asks
// for the next tick 5 s later while devices are left. A device whose bootloader entry fails
// counts as started and failed, and the next one is tried in the same tick. The batch keeps
// the addresses of the devices that failed, so that its end never passes a failure off as
// success.
//
// GUI-free and without I/O: the owner enters the bootloader and runs the device's thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CRemoteBatch {
public:
    static constexpr int kFirstTickMs = 100;
    static constexpr int kNextTickMs = 5000;

    struct Device {
        int row = 0;
        std::string address;
    };
    // Enters a device's bootloader and starts its work; false when the device did not answer.
    // It may also run the device to its end and call DeviceEnded before it returns.
    using StartDevice = std::function<bool(const Device& device, bool clone)>;

    // A new batch over the ticked devices, in row order. Forgets any earlier batch.
    void Begin(std::vector<Device> devices);
    // One tick: starts devices as the rule above says. The interval of the next tick in ms,
    // or 0 when no further tick is needed.
    int Tick(bool clone, const StartDevice& start);
    // The running device has ended; failureStatus is what its failure showed on the status
    // line. Gives the status line text for the moment (the batch's summary after the last).
    std::string DeviceEnded(bool ok, const std::string& failureStatus);
    // Gives up the rest of the batch (the line went away, the page closes).
    void Abandon();

    // Every device started and none running.
    bool Finished() const { return m_started >= SelectedCount() && !m_deviceRunning; }
    bool DeviceRunning() const { return m_deviceRunning; }
    int SelectedCount() const { return static_cast<int>(m_devices.size()); }
    int StartedCount() const { return m_started; }
    // The device started last (the one running, if any).
    const Device& Current() const { return m_current; }
    const std::vector<std::string>& FailedAddresses() const { return m_failed; }
    // The status line text of a finished batch.
    std::string Summary() const;

    // The interval between ticks while devices are left (tests shorten it).
    int m_nextTickMs = kNextTickMs;

private:
    std::vector<Device> m_devices;
    std::vector<bool> m_pending;
    Device m_current;
    bool m_currentClone = false;
    bool m_deviceRunning = false;
    int m_started = 0;
    std::vector<std::string> m_failed;
    std::string m_lastFailureStatus;
};

// Status line texts of a remote batch.
extern const char* const kRemoteEntryFailedStatus;
