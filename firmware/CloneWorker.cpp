#include "firmware/CloneWorker.h"

bool CCloneWorker::Start(CSerialPort& port, ITransferView& view,
                         std::function<void(const CloneOutcome&)> done) {
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the last monitor has ended; only its thread's return is left
    m_line = std::make_unique<CPortTransferLine>(port);
    m_running.store(true);
    CPortTransferLine* line = m_line.get();
    m_thread = std::thread([this, line, &view, done = std::move(done)] {
        CCloneMonitor monitor(*line, view);
        const CloneOutcome outcome = monitor.Run();
        m_running.store(false);
        if (done)
            done(outcome);
    });
    return true;
}

void CCloneWorker::Stop() {
    if (m_line)
        m_line->RequestStop();
    if (m_thread.joinable())
        m_thread.join();
}
