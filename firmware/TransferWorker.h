// Runs one image transfer at a time on a thread of its own, for an owner with a window: the
// owner starts it, reads its running mark, and stops it cooperatively when it closes.
//
// Threads: Start, Stop and the destructor belong to the owner's thread. The view and done are
// called on the worker thread; they must not wait for the owner's thread (post to it).
#pragma once

#include "firmware/FirmwareTransfer.h"
#include "firmware/PortTransferLine.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class CSerialPort;

class CTransferWorker {
public:
    CTransferWorker() = default;
    ~CTransferWorker() { Stop(); }
    CTransferWorker(const CTransferWorker&) = delete;
    CTransferWorker& operator=(const CTransferWorker&) = delete;

    // The running mark: set by Start, cleared by the worker when the transfer has ended.
    bool Running() const { return m_running.load(); }
    // Starts the transfer; false, and nothing started, while one runs. done gets the outcome
    // after the running mark has been cleared.
    bool Start(CSerialPort& port, ITransferView& view, TransferSettings settings,
               std::function<void(const TransferOutcome&)> done);
    // Asks a running transfer to stop, and waits until its thread has ended.
    void Stop();

private:
    std::unique_ptr<CPortTransferLine> m_line;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};
