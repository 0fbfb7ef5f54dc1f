// Runs one piece of work on the serial line at a time, on a thread of its own, for an owner
// with a window: the owner starts it, reads its running mark, and stops it cooperatively when
// it closes. The image transfer and the clone monitor are the two kinds of work.
//
// Threads: Start, Stop and the destructor belong to the owner's thread. The work and done are
// called on the worker thread; they must not wait for the owner's thread (post to it).
#pragma once

#include "firmware/PortTransferLine.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class CSerialPort;

template <class Outcome> class CLineWorker {
public:
    CLineWorker() = default;
    ~CLineWorker() { Stop(); }
    CLineWorker(const CLineWorker&) = delete;
    CLineWorker& operator=(const CLineWorker&) = delete;

    // The running mark: set by Start, cleared by the worker when the work has ended.
    bool Running() const { return m_running.load(); }
    // Asks running work to stop, and waits until its thread has ended.
    void Stop() {
        if (m_line)
            m_line->RequestStop();
        if (m_thread.joinable())
            m_thread.join();
    }

protected:
    // Starts work on the port's line; false, and nothing started, while work runs. done gets
    // the outcome after the running mark has been cleared.
    bool StartWork(CSerialPort& port, std::function<Outcome(CPortTransferLine&)> work,
                   std::function<void(const Outcome&)> done) {
        if (m_running.load())
            return false;
        if (m_thread.joinable())
            m_thread.join(); // the last work has ended; only its thread's return is left
        m_line = std::make_unique<CPortTransferLine>(port);
        m_running.store(true);
        CPortTransferLine* line = m_line.get();
        m_thread = std::thread([this, line, work = std::move(work), done = std::move(done)] {
            const Outcome outcome = work(*line);
            m_running.store(false);
            if (done)
                done(outcome);
        });
        return true;
    }

private:
    std::unique_ptr<CPortTransferLine> m_line;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};
