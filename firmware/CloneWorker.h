// Runs one clone monitor at a time on a thread of its own (see CLineWorker).
#pragma once

#include "firmware/CloneMonitor.h"
#include "firmware/LineWorker.h"

class CCloneWorker : public CLineWorker<CloneOutcome> {
public:
    // Starts the monitor; false, and nothing started, while one runs.
    bool Start(CSerialPort& port, ITransferView& view,
               std::function<void(const CloneOutcome&)> done) {
        return StartWork(
            port, [&view](CPortTransferLine& line) { return CCloneMonitor(line, view).Run(); },
            std::move(done));
    }
};
