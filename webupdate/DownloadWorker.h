// Runs one download list at a time on a thread of its own, for an owner with a window: the
// owner starts it, reads its running mark, and stops it cooperatively when it closes. A stop
// ends a transfer under way within about a second and wakes a report that waits for the
// user, so Stop never waits for the owner's thread.
//
// Threads: Start, Stop, Acknowledge and the destructor belong to the owner's thread;
// WaitForAcknowledge to the worker (the view's Report). The view and done are called on the
// worker thread; they must not wait for the owner's thread except through
// WaitForAcknowledge.
#pragma once

#include "webupdate/DownloadRun.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vireo {

class CDownloadWorker {
public:
    CDownloadWorker() = default;
    ~CDownloadWorker() { Stop(); }
    CDownloadWorker(const CDownloadWorker&) = delete;
    CDownloadWorker& operator=(const CDownloadWorker&) = delete;

    // The running mark: set by Start, cleared by the worker when the run has ended.
    bool Running() const { return m_running.load(); }
    // Starts the run; false, and nothing started, while one runs. done gets the summary
    // after the running mark has been cleared.
    bool Start(std::string baseAddress, std::vector<DownloadEntry> list, IDownloadView& view,
               std::function<void(const DownloadSummary&)> done, HttpLimits limits = {});
    // Asks a running run to stop, and waits until its thread has ended.
    void Stop();

    // For a view that shows its reports on the owner's thread: the worker calls
    // PrepareAcknowledge, hands the report over, then WaitForAcknowledge, which returns once
    // the owner has called Acknowledge or the run is being stopped.
    void PrepareAcknowledge();
    void WaitForAcknowledge();
    void Acknowledge();

private:
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_acknowledged = false;
};

} // namespace vireo
