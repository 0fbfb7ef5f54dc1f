// Runs one image transfer at a time on a thread of its own (see CLineWorker).
#pragma once

#include "firmware/FirmwareTransfer.h"
#include "firmware/LineWorker.h"

class CTransferWorker : public CLineWorker<TransferOutcome> {
public:
    // Starts the transfer; false, and nothing started, while one runs.
    bool Start(CSerialPort& port, ITransferView& view, TransferSettings settings,
               std::function<void(const TransferOutcome&)> done) {
        return StartWork(
            port,
            [&view, settings = std::move(settings)](CPortTransferLine& line) {
                return CFirmwareTransfer(line, view).Run(settings);
            },
            std::move(done));
    }
};
