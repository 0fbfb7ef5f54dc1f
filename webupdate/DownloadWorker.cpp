#include "webupdate/DownloadWorker.h"

namespace vireo {

bool CDownloadWorker::Start(std::string baseAddress, std::vector<DownloadEntry> list,
                            IDownloadView& view, std::function<void(const DownloadSummary&)> done,
                            HttpLimits limits) {
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the last run has ended; only its thread's return is left
    m_stop.store(false);
    m_running.store(true);
    m_thread = std::thread([this, base = std::move(baseAddress), list = std::move(list), &view,
                            done = std::move(done), limits] {
        const DownloadSummary summary = RunDownloads(base, list, view, m_stop, limits);
        m_running.store(false);
        if (done)
            done(summary);
    });
    return true;
}

void CDownloadWorker::Stop() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stop.store(true);
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CDownloadWorker::PrepareAcknowledge() {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_acknowledged = false;
}

void CDownloadWorker::WaitForAcknowledge() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_wake.wait(guard, [this] { return m_acknowledged || m_stop.load(); });
}

void CDownloadWorker::Acknowledge() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_acknowledged = true;
    }
    m_wake.notify_all();
}

} // namespace vireo
