#include "firmware/TransferWorker.h"

bool CTransferWorker::Start(CSerialPort& port, ITransferView& view, TransferSettings settings,
                            std::function<void(const TransferOutcome&)> done) {
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the last transfer has ended; only its thread's return is left
    m_line = std::make_unique<CPortTransferLine>(port);
    m_running.store(true);
    CPortTransferLine* line = m_line.get();
    m_thread =
        std::thread([this, line, &view, settings = std::move(settings), done = std::move(done)] {
            CFirmwareTransfer transfer(*line, view);
            const TransferOutcome outcome = transfer.Run(settings);
            m_running.store(false);
            if (done)
                done(outcome);
        });
    return true;
}

void CTransferWorker::Stop() {
    if (m_line)
        m_line->RequestStop();
    if (m_thread.joinable())
        m_thread.join();
}
