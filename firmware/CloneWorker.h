// Runs one clone monitor at a time on a thread of its own, for the Firmware Update page: the
// page starts it, reads its running mark, and stops it cooperatively when it closes.
//
// Threads: Start, Stop and the destructor belong to the owner's thread. The view and done are
// called on the worker thread; they must not wait for the owner's thread (post to it).
#pragma once

#include "firmware/CloneMonitor.h"
#include "firmware/PortTransferLine.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class CSerialPort;

class CCloneWorker {
public:
    CCloneWorker() = default;
    ~CCloneWorker() { Stop(); }
    CCloneWorker(const CCloneWorker&) = delete;
    CCloneWorker& operator=(const CCloneWorker&) = delete;

    // The running mark: set by Start, cleared by the worker when the monitor has ended.
    bool Running() const { return m_running.load(); }
    // Starts the monitor; false, and nothing started, while one runs. done gets the outcome
    // after the running mark has been cleared.
    bool Start(CSerialPort& port, ITransferView& view,
               std::function<void(const CloneOutcome&)> done);
    // Asks a running monitor to stop, and waits until its thread has ended.
    void Stop();

private:
    std::unique_ptr<CPortTransferLine> m_line;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};
